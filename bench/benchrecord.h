#pragma once

// The record the benchmarks read: five header lines and 2000 rows
// "step X Y [more columns]" with CR LF, 20 cycles of a loop whose amplitude
// grows, the load leading the displacement so the loop encloses an area.
// With 17 columns it is about 180 KB. bench/make_record.py writes the same
// bytes for the scripts.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace kov::bench {

inline void writeRecord(const std::string &path, int columns)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "cyclic test\r\nsynthetic record\r\n2000 steps\r\nstep disp load\r\n(-) (mm) (kN)\r\n";
    const double pi = 3.14159265358979323846;
    char field[64];
    for (int i = 1; i <= 2000; ++i) {
        const double phase = 2.0 * pi * (i - 1) / 100.0;
        const double amp = 1.0 + 0.2 * (i - 1) / 100.0;
        std::snprintf(field, sizeof field, "%d %.4f %.3f", i, amp * 10.0 * std::sin(phase),
                      amp * 150.0 * std::sin(phase + 0.4));
        out << field;
        for (int k = 3; k < columns; ++k) {
            std::snprintf(field, sizeof field, " %.1f", 12.0 * std::cos(phase * (k - 2)));
            out << field;
        }
        out << "\r\n";
    }
}

/// A record of columns columns in the temporary folder, removed with the object.
struct TempRecord {
    explicit TempRecord(int columns)
        : path(std::filesystem::temp_directory_path() /
               ("kov-bench-" + std::to_string(::getpid()) + "-" + std::to_string(columns) + ".prn"))
    {
        writeRecord(path, columns);
    }
    ~TempRecord() { std::filesystem::remove(path); }
    TempRecord(const TempRecord &) = delete;
    TempRecord &operator=(const TempRecord &) = delete;

    std::string path;
};

} // namespace kov::bench

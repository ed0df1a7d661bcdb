#pragma once

// The record both benchmarks time: five header lines and 2000 rows
// "step X Y", 20 cycles of a loop whose amplitude grows, the load leading the
// displacement so the loop encloses an area.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace kov::bench {

/// Writes the record into the temporary folder as NAME-PID.prn and returns
/// its path; the caller removes it.
inline std::string writeGrowingLoopRecord(const std::string &name)
{
    const std::string path =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".prn");
    std::ofstream out(path, std::ios::binary);
    out << "cyclic test\r\nsynthetic\r\nrecord\r\nstep  disp  load\r\n      (mm)  (kN)\r\n";
    const double pi = 3.14159265358979323846;
    char line[96];
    for (int i = 1; i <= 2000; ++i) {
        const double phase = 2.0 * pi * (i - 1) / 100.0;
        const double amp = 1.0 + 0.2 * (i - 1) / 100.0;
        std::snprintf(line, sizeof line, "%5d %12.6f %10.4f\r\n", i, amp * 10.0 * std::sin(phase),
                      amp * 150.0 * std::sin(phase + 0.4));
        out << line;
    }
    return path;
}

} // namespace kov::bench

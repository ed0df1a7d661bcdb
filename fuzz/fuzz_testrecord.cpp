// libFuzzer harness: the test record reader, and the whole automatic analysis
// and results text behind it, on arbitrary file bytes and settings.
//
// The first 8 bytes choose the settings, the rest is the file:
//   0  SkipLines (signed)      1  XColumn (signed)     2  YColumn (signed)
//   3  XCoef (index into a table of awkward factors)   4  YCoef (the same)
//   5  mode: bit 0 runs the full analysis and the results text; bit 1 starts
//      from a stale DataLoaded = 1 with the counts of bytes 6 and 7
//   6  RowCount for a stale load (x 10)                7  ColumnCount for it
// Only kov::Failure may come out of the core; anything else is a finding.

#include "core/analysis/course.h"
#include "core/output/resultsfile.h"
#include "core/reader/testrecord.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

constexpr float Coefs[] = {1.0f, 1000.0f, -1.0f, 0.0f, 0.001f, 1e30f, -1e-30f, 3.4e38f,
                           1e-45f, 9.80665f, 2.0f, -0.5f, 1e10f, 1e-10f, 65536.0f, 123.456f};

float coefOf(std::uint8_t b)
{
    return Coefs[b % (sizeof Coefs / sizeof Coefs[0])];
}

/// One scratch file per process, rewritten for every input.
const std::string &scratchPath()
{
    static const std::string path = [] {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/kov-fuzz-record-" + std::to_string(getpid()) + ".prn";
    }();
    return path;
}

void writeScratch(const std::uint8_t *data, std::size_t size)
{
    std::FILE *f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr std::size_t Head = 8;
    if (size < Head)
        return 0;
    writeScratch(data + Head, size - Head);

    auto state = std::make_unique<kov::SharedState>();
    kov::applyStartValues(*state);
    state->SkipLines = static_cast<std::int8_t>(data[0]);
    state->XColumn = static_cast<std::int8_t>(data[1]);
    state->YColumn = static_cast<std::int8_t>(data[2]);
    state->XCoef = coefOf(data[3]);
    state->YCoef = coefOf(data[4]);
    state->DataFileName = scratchPath();
    const bool fullCourse = data[5] & 1;
    if (data[5] & 2) {
        state->DataLoaded = 1;
        state->RowCount = static_cast<float>(data[6]) * 10.0f;
        state->ColumnCount = static_cast<std::int16_t>(data[7]);
    }

    try {
        if (fullCourse && !state->DataLoaded) {
            const kov::AutomaticCourse course = kov::analyseRecord(*state);
            check(course.cycles >= 0 && course.cycles <= kov::MaxCycle);
            check(state->CycleNo == course.cycles);
            state->XUnit = "mm";
            state->YUnit = "tonf";
            std::tm now{};
            now.tm_year = 107;
            now.tm_mon = 4;
            now.tm_mday = 3;
            const std::string text = kov::resultsText(*state, now);
            // Five header lines and one row per cycle, each ended by CR LF.
            std::size_t lines = 0;
            for (std::size_t i = 0; i + 1 < text.size(); ++i)
                lines += text[i] == '\r' && text[i + 1] == '\n';
            check(lines == 5 + static_cast<std::size_t>(course.cycles));
        } else {
            kov::LoadTestRecord(*state);
        }
        // A fresh successful load holds 1..2000 whole steps and maxima >= 0.
        if (!(data[5] & 2)) {
            check(state->RowCount >= 1.0f && state->RowCount <= 2000.0f);
            check(std::floor(state->RowCount) == state->RowCount);
            check(state->MaxAbsX >= 0.0f && state->MaxAbsY >= 0.0f);
        }
        check(state->DataLoaded == 1);
    } catch (const kov::Failure &f) {
        switch (f.number()) {
        case 6: case 9: case 13: case 52: case 53: case 62: case 70: case 76: break;
        default: std::abort(); // a reader failure the user is never told about
        }
    }
    return 0;
}

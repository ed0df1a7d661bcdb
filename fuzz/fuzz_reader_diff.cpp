// libFuzzer harness: the one-pass test record reader against the three-pass
// reference on arbitrary file bytes and settings. Any difference in the
// error number, the counts, the maxima or any stored step is a finding.
//
// The first 8 bytes choose the settings, the rest is the file:
//   0  SkipLines (0..7)    1  XColumn (signed)    2  YColumn (signed)
//   3  XCoef and YCoef (two 4-bit indices into a table of awkward factors)
//   4  bit 0: start from a stale DataLoaded = 1 with RowCount (bytes 5, 6,
//      little-endian) and ColumnCount (byte 7, signed)

#include "tests/core/differential.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

constexpr float Coefs[] = {1.0f, 1000.0f, -1.0f, 0.0f, 0.001f, 1e30f, -1e-30f, 3.4e38f,
                           1e-45f, 9.80665f, 2.0f, -0.5f, 1e10f, 1e-10f, 65536.0f, 123.456f};

const std::string &scratchPath()
{
    static const std::string path = [] {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/kov-fuzz-diff-" + std::to_string(getpid()) + ".prn";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr std::size_t Head = 8;
    if (size < Head)
        return 0;
    std::FILE *f = std::fopen(scratchPath().c_str(), "wb");
    if (!f || (size > Head && std::fwrite(data + Head, 1, size - Head, f) != size - Head))
        std::abort();
    std::fclose(f);

    kov::reference::LoadSettings s;
    s.skipLines = static_cast<std::int16_t>(data[0] & 7);
    s.xColumn = static_cast<std::int8_t>(data[1]);
    s.yColumn = static_cast<std::int8_t>(data[2]);
    s.xCoef = Coefs[data[3] & 15];
    s.yCoef = Coefs[data[3] >> 4];
    s.stale = data[4] & 1;
    s.rowCount = static_cast<float>(data[5] | (data[6] << 8));
    s.columnCount = static_cast<std::int8_t>(data[7]);

    const std::string diff = kov::reference::compareReaders(scratchPath(), s);
    if (!diff.empty()) {
        std::fprintf(stderr, "readers differ: %s\n", diff.c_str());
        std::abort();
    }
    return 0;
}

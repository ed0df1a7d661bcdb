// libFuzzer harness: the results text and the results file name from any
// unit texts, record name and per-cycle values (units and names come from
// the command line of kov-batch, so any bytes, valid UTF-8 or not).
//
// Input: byte 0 the cycle count, bytes 1-2 the lengths of the two units,
// then the units, the record name up to the first NUL, and the remaining
// bytes as the floats and peak steps of the cycles.

#include "core/output/resultsfile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    std::size_t at = 3;
    auto take = [&](std::size_t n) {
        n = std::min(n, size - at);
        std::string s(bytes + at, n);
        at += n;
        return s;
    };
    auto state = std::make_unique<kov::SharedState>();
    state->CycleNo = static_cast<std::int16_t>(data[0] % (kov::MaxCycle + 1));
    state->XUnit = take(data[1] % 32);
    state->YUnit = take(data[2] % 32);
    const std::size_t nul = std::string(bytes + at, size - at).find('\0');
    state->DataFileName = take(nul == std::string::npos ? 16 : nul);
    if (at < size)
        ++at;
    for (int n = 1; n <= state->CycleNo && size - at >= 16; ++n) {
        float v[3];
        std::memcpy(v, bytes + at, sizeof v);
        state->CycleEnergy(n) = v[0];
        state->TotalEnergy(n) = v[1];
        state->ResultDamping(n) = v[2];
        std::uint16_t steps[2];
        std::memcpy(steps, bytes + at + 12, sizeof steps);
        state->PeakStep(0, n) = static_cast<std::int16_t>(steps[0] % 2048);
        state->PeakStep(1, n) = static_cast<std::int16_t>(steps[1] % 2048);
        at += 16;
    }

    try {
        const std::string name = kov::resultsFileName(state->DataFileName);
        check(name.size() >= 8 && name.compare(name.size() - 8, 8, "-kov.prn") == 0);
        check(name.compare(0, name.size() - 8, state->DataFileName, 0, name.size() - 8) == 0);
    } catch (const kov::Failure &f) {
        check(f.number() == 52);
    }
    std::tm now{};
    now.tm_year = 126;
    try {
        const std::string text = kov::resultsText(*state, now);
        std::size_t lines = 0;
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            lines += text[i] == '\r' && text[i + 1] == '\n';
        check(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
        // A unit may itself hold CR LF; there are never fewer lines.
        check(lines >= 5 + static_cast<std::size_t>(state->CycleNo));
    } catch (const kov::Failure &f) {
        check(f.number() == 9); // a peak step beyond the data arrays
    }
    return 0;
}

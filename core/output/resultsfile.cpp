#include "core/output/resultsfile.h"

#include "core/output/atomicfile.h"
#include "core/output/formats.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kov {

namespace {

/// The length in bytes of the character at text[i]: a valid UTF-8 sequence
/// (shortest form, no surrogates, at most U+10FFFF) is one character; any
/// other byte is a character of its own.
std::size_t characterLength(const std::string &text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned lead = byte(i);
    // The allowed range of the second byte follows from the lead byte.
    unsigned low = 0x80, high = 0xBF;
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned b = byte(i + k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
            return 1;
    }
    return length;
}

/// Byte offsets of the characters of UTF-8 text (Unicode code points; a
/// byte that is not part of a valid UTF-8 character counts as one).
std::vector<std::size_t> codePointStarts(const std::string &text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); i += characterLength(text, i))
        starts.push_back(i);
    return starts;
}

/// The rightmost count characters of text.
std::string rightChars(const std::string &text, std::size_t count)
{
    const auto starts = codePointStarts(text);
    if (starts.size() <= count)
        return text;
    return text.substr(starts[starts.size() - count]);
}

/// A unit label: right-aligned in width characters, its leftmost characters
/// cut when it is longer.
std::string label(const std::string &inner, std::size_t width)
{
    return rightChars(std::string(width, ' ') + "(" + inner + ")", width);
}

std::string twoDigits(int v)
{
    return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

} // namespace

std::string normalisedAbsolutePath(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec)
        p = std::filesystem::path(path);
    return p.lexically_normal().string();
}

std::string resultsFileName(const std::string &dataFileName)
{
    return outputFileName(dataFileName, "-kov.prn");
}

std::string outputFileName(const std::string &dataFileName, const std::string &ending)
{
    const auto starts = codePointStarts(dataFileName);
    if (starts.size() < 4)
        throw Failure(err::BadFileName,
                      "No results file name can be derived from the data file name \"" + dataFileName +
                          "\": Bad file name or number");
    return dataFileName.substr(0, starts[starts.size() - 4]) + ending;
}

std::string resultsText(SharedState &state, const std::tm &now)
{
    const std::string energyLabel = label(state.YUnit + "*" + state.XUnit, 10);
    state.XUnit = label(state.XUnit, 6);
    state.YUnit = label(state.YUnit, 6);

    const char *crlf = "\r\n";
    std::string out;
    out += ResultsFirstLine;
    out += crlf;
    out += "File Name = " + normalisedAbsolutePath(state.DataFileName) + ", at " + twoDigits(now.tm_mon + 1) + "-" +
           twoDigits(now.tm_mday) + "-" + std::to_string(now.tm_year + 1900) + ", " +
           twoDigits(now.tm_hour) + ":" + twoDigits(now.tm_min) + ":" + twoDigits(now.tm_sec);
    out += crlf;
    out += "     /Peak-1                /Peak-2                /Energy";
    out += crlf;
    out += "Cycle Step        X        Y Step        X        Y     Energy      Total        kov";
    out += crlf;
    out += std::string(13, ' ') + state.XUnit + "   " + state.YUnit + std::string(8, ' ') + state.XUnit +
           "   " + state.YUnit + " " + energyLabel + " " + energyLabel;
    out += crlf;

    const int last = state.CycleNo;
    for (int n = 1; n <= last; ++n) {
        const int p1 = state.PeakStep(0, n);
        const int p2 = state.PeakStep(1, n);
        out += padLeft(std::to_string(n), 5) + " ";
        out += padLeft(std::to_string(p1), 4) + " ";
        out += padLeft(formatFixed3(state.XData(p1)), 8) + " ";
        out += padLeft(formatFixed3(state.YData(p1)), 8) + " ";
        out += padLeft(std::to_string(p2), 4) + " ";
        out += padLeft(formatFixed3(state.XData(p2)), 8) + " ";
        out += padLeft(formatFixed3(state.YData(p2)), 8) + " ";
        out += formatExp4(state.CycleEnergy(n)) + " ";
        out += formatExp4(state.TotalEnergy(n)) + " ";
        out += formatExp4(state.ResultDamping(n));
        out += crlf;
    }
    return out;
}

std::string WriteResultsFile(SharedState &state, PendingWrites *pending)
{
    const std::string target = resultsFileName(normalisedAbsolutePath(state.DataFileName));
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    std::string text;
    try {
        text = resultsText(state, now);
    } catch (const Failure &f) {
        // A peak step outside the data arrays: nothing is written.
        failWrite(f.number(), target);
    }

    if (pending)
        pending->write(target, text);
    else
        writeFileAtomically(target, text);
    return target;
}

} // namespace kov

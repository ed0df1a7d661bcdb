#include "output/resultsfile.h"

#include "output/formats.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace {

/// Byte offsets of the Unicode code points of UTF-8 text (a stray byte that
/// is not UTF-8 counts as one character of its own).
std::vector<std::size_t> codePointStarts(const std::string &text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80 || starts.empty())
            starts.push_back(i);
    }
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

std::string displayPath(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec)
        p = std::filesystem::path(path);
    return p.lexically_normal().string();
}

[[noreturn]] void fail(int number, const std::string &target)
{
    throw Failure(number, "Cannot write " + target + ": " + errorDescription(number));
}

int writeErrorNumber(int e)
{
    return errorNumberOfErrno(e, err::DeviceIO);
}

} // namespace

std::string resultsFileName(const std::string &dataFileName)
{
    const auto starts = codePointStarts(dataFileName);
    if (starts.size() < 4)
        throw Failure(err::BadFileName,
                      "No results file name can be derived from the data file name \"" + dataFileName +
                          "\": Bad file name or number");
    return dataFileName.substr(0, starts[starts.size() - 4]) + "-kov.prn";
}

std::string resultsText(SharedState &state, const std::tm &now)
{
    const std::string energyLabel = label(state.YUnit + "*" + state.XUnit, 10);
    state.XUnit = label(state.XUnit, 6);
    state.YUnit = label(state.YUnit, 6);

    const char *crlf = "\r\n";
    std::string out;
    out += "Absorbed Energy and Equivalent Damping Factor calculated by kov1";
    out += crlf;
    out += "File Name = " + displayPath(state.DataFileName) + ", at " + twoDigits(now.tm_mon + 1) + "-" +
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

std::string WriteResultsFile(SharedState &state)
{
    const std::string target = resultsFileName(state.DataFileName);
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    std::string text;
    try {
        text = resultsText(state, now);
    } catch (const Failure &f) {
        // A peak step outside the data arrays: nothing is written.
        fail(f.number(), target);
    }

    // Write beside the target and rename over it only when everything is on
    // disk, so a failed write never destroys an earlier results file.
    const std::filesystem::path targetPath(target);
    std::string folder = targetPath.parent_path().string();
    if (folder.empty())
        folder = ".";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        fail(errno == EACCES ? err::AccessDenied : err::PathNotFound, target);
    }
    if (!S_ISDIR(st.st_mode))
        fail(err::PathNotFound, target);
    std::string temp = folder + "/." + targetPath.filename().string() + ".tmp-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        fail(errorNumberOfErrno(errno, err::PathAccess), target);
    temp.assign(name.data());

    auto abandon = [&](int number) {
        ::close(fd);
        ::unlink(temp.c_str());
        fail(number, target);
    };

    // The new file gets the permissions of the file it replaces, or the
    // usual ones of a new file.
    mode_t mode = 0;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);

    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(writeErrorNumber(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        abandon(writeErrorNumber(errno));
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        fail(writeErrorNumber(e), target);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        fail(errorNumberOfErrno(e, err::PathAccess), target);
    }
    return target;
}

} // namespace kov

#include "core/output/fileidentity.h"

#include "core/output/resultsfile.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

FileId fileIdOf(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return {0, st.st_dev, st.st_ino, {}};
    const std::filesystem::path p(path);
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : ".";
    if (::stat(folder.c_str(), &st) == 0)
        return {1, st.st_dev, st.st_ino, p.filename().string()};
    return {2, 0, 0, normalisedAbsolutePath(path)};
}

bool isResultsFile(const std::string &path, std::optional<FileId> *id)
{
    // Non-blocking, so that a named pipe given as a record is not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    std::string head(ResultsFirstLine.size() + 2, '\0');
    ssize_t n = 0;
    if (::fstat(fd, &st) == 0) {
        if (id)
            *id = FileId{0, st.st_dev, st.st_ino, {}};
        if (S_ISREG(st.st_mode))
            n = ::pread(fd, head.data(), head.size(), 0);
    }
    ::close(fd);
    if (n < static_cast<ssize_t>(ResultsFirstLine.size()))
        return false;
    head.resize(static_cast<std::size_t>(n));
    const std::string_view rest = std::string_view(head).substr(ResultsFirstLine.size());
    return head.starts_with(ResultsFirstLine) && (rest.empty() || rest[0] == '\n' || rest.starts_with("\r\n"));
}

} // namespace kov

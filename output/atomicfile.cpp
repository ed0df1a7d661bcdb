#include "output/atomicfile.h"

#include "app/core/failure.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace {

int writeErrorNumber(int e)
{
    return errorNumberOfErrno(e, err::DeviceIO);
}

/// Creates a new temporary file ".kov-XXXXXXXX.tmp" in folder. The mode 0666
/// lets the kernel apply the umask, as for any new file.
int createTemporary(const std::string &folder, std::string &name)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits))
            bits = static_cast<std::uint64_t>(::getpid()) * std::uint64_t{0x9E3779B97F4A7C15} +
                   static_cast<std::uint64_t>(attempt);
        std::string suffix;
        for (int i = 0; i < 8; ++i, bits /= std::uint64_t{36})
            suffix += digits[bits % std::uint64_t{36}];
        name = folder + "/.kov-" + suffix + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

/// Makes the renames in folder durable; a folder that cannot be synced is no failure.
void syncFolder(const std::string &folder)
{
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

void failWrite(int number, const std::string &target)
{
    throw Failure(number, "Cannot write " + target + ": " + errorDescription(number), Failure::Kind::FileWrite);
}

void FolderSyncs::add(const std::string &folder)
{
    const std::lock_guard lock(m_mutex);
    m_folders.insert(folder);
}

void FolderSyncs::syncAll()
{
    std::set<std::string> folders;
    {
        const std::lock_guard lock(m_mutex);
        folders.swap(m_folders);
    }
    for (const std::string &folder : folders)
        syncFolder(folder);
}

void writeFileAtomically(const std::string &target, std::string_view bytes, FolderSyncs *folders)
{
    const std::filesystem::path targetPath(target);
    std::string folder = targetPath.parent_path().string();
    if (folder.empty())
        folder = ".";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        failWrite(errno == EACCES ? err::AccessDenied : err::PathNotFound, target);
    if (!S_ISDIR(st.st_mode))
        failWrite(err::PathNotFound, target);

    // An existing target: a file the user may not write stays untouched, and
    // a FIFO or device is never replaced by (nor blocks on) a regular file.
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            throw Failure(err::AccessDenied, "Cannot write " + target + ": a folder has this name",
                          Failure::Kind::FileWrite);
        if (S_ISREG(old.st_mode) && ::access(target.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
            failWrite(err::AccessDenied, target);
        if (!S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
            failWrite(err::PathAccess, target);
    }

    std::string temp;
    const int fd = createTemporary(folder, temp);
    if (fd < 0)
        failWrite(errorNumberOfErrno(errno, err::PathAccess), target);

    auto abandon = [&](int number) {
        ::close(fd);
        ::unlink(temp.c_str());
        failWrite(number, target);
    };

    if (exists && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 07777) != 0)
        abandon(writeErrorNumber(errno));

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(writeErrorNumber(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    // The data (and the size) reach the disk before the name does.
    if (::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS)
        abandon(writeErrorNumber(errno));
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        failWrite(writeErrorNumber(e), target);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        failWrite(errorNumberOfErrno(e, err::PathAccess), target);
    }
    if (folders)
        folders->add(folder);
    else
        syncFolder(folder);
}

} // namespace kov

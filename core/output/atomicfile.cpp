#include "core/output/atomicfile.h"

#include "core/state/failure.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace {

/// The most threads closing the files a group replaced.
constexpr std::size_t MaxClosers = 4;

/// A close of a replaced file that takes longer is slow: the disk waits for
/// the device to discard the freed blocks, and closer threads pay off.
constexpr std::chrono::microseconds SlowClose{250};

int writeErrorNumber(int e)
{
    return errorNumberOfErrno(e, err::DeviceIO);
}

/// Creates a new temporary file ".kov-XXXXXXXX.tmp" in folder, opened with
/// access (O_WRONLY, O_RDWR). The mode 0666 lets the kernel apply the umask,
/// as for any new file.
int createTemporary(const std::string &folder, std::string &name, int access = O_WRONLY, mode_t mode = 0666)
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
        const int fd = ::open(name.c_str(), access | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
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

/// Renames the synced temporary file over its target; 0 or the number of
/// the failure, the temporary file then removed.
int renameOver(const PendingFile &file)
{
    if (::rename(file.temp.c_str(), file.target.c_str()) == 0)
        return 0;
    const int e = errno;
    ::unlink(file.temp.c_str());
    return errorNumberOfErrno(e, err::PathAccess);
}

} // namespace

void failWrite(int number, const std::string &target)
{
    throw Failure(number, "Cannot write " + target + ": " + errorDescription(number), Failure::Kind::FileWrite);
}

std::string writeFailureLine(int number, const std::string &target)
{
    return "Cannot write " + target + ": " + errorDescription(number) + " (" + std::to_string(number) + ")";
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

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target))
{
    m_folder = std::filesystem::path(m_target).parent_path().string();
    if (m_folder.empty())
        m_folder = ".";
    struct stat st {};
    if (::stat(m_folder.c_str(), &st) != 0)
        failWrite(errno == EACCES ? err::AccessDenied : err::PathNotFound, m_target);
    if (!S_ISDIR(st.st_mode))
        failWrite(err::PathNotFound, m_target);
    m_device = st.st_dev;

    // An existing target: a file the user may not write stays untouched, and
    // a FIFO or device is never replaced by (nor blocks on) a regular file.
    struct stat old {};
    const bool exists = ::lstat(m_target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            throw Failure(err::AccessDenied, "Cannot write " + m_target + ": a folder has this name",
                          Failure::Kind::FileWrite);
        if (S_ISREG(old.st_mode) && ::access(m_target.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
            failWrite(err::AccessDenied, m_target);
        if (!S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
            failWrite(err::PathAccess, m_target);
    }

    m_fd = createTemporary(m_folder, m_temp);
    if (m_fd < 0)
        failWrite(errorNumberOfErrno(errno, err::PathAccess), m_target);
    if (exists && S_ISREG(old.st_mode) && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        abandon(writeErrorNumber(errno));
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.c_str());
    }
}

void AtomicFile::abandon(int number)
{
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.c_str());
    failWrite(number, m_target);
}

void AtomicFile::write(std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(writeErrorNumber(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

void AtomicFile::copyFrom(int from, std::uint64_t offset, std::uint64_t length)
{
    // In the kernel where it can (no trip through user memory, a shared
    // extent where the file system offers one), else through a buffer.
    auto at = static_cast<off_t>(offset);
    std::uint64_t left = length;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(from, &at, m_fd, nullptr, left, 0);
        if (n > 0) {
            left -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            break;
        abandon(writeErrorNumber(errno));
    }
    std::string buffer(std::min<std::uint64_t>(left, std::uint64_t{1} << 16), '\0');
    while (left > 0) {
        const ssize_t n = ::pread(from, buffer.data(), std::min<std::uint64_t>(left, buffer.size()), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            abandon(n == 0 ? err::DeviceIO : writeErrorNumber(errno));
        write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        at += n;
        left -= static_cast<std::uint64_t>(n);
    }
}

PendingFile AtomicFile::release(bool sync)
{
    PendingFile file{m_target, m_temp, m_folder, m_device, m_fd};
    if (!sync) {
        m_fd = -1;
        return file;
    }
    // The data (and the size) reach the disk before the name does.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        abandon(writeErrorNumber(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(m_temp.c_str());
        failWrite(writeErrorNumber(e), m_target);
    }
    file.fd = -1;
    return file;
}

void AtomicFile::commit(FolderSyncs *folders)
{
    const PendingFile file = release(true);
    if (const int number = renameOver(file))
        failWrite(number, m_target);
    if (folders)
        folders->add(m_folder);
    else
        syncFolder(m_folder);
}

void writeFileAtomically(const std::string &target, std::string_view bytes, FolderSyncs *folders)
{
    AtomicFile file(target);
    file.write(bytes);
    file.commit(folders);
}

GroupPublisher::GroupPublisher(int openFiles) : m_openLeft(openFiles) {}

PendingFile GroupPublisher::write(const std::string &target, std::string_view bytes)
{
    // Beyond the open files allowed, a file is synced at once, as alone.
    const bool keepOpen = m_openLeft.fetch_sub(1) > 0;
    try {
        AtomicFile writer(target);
        writer.write(bytes);
        PendingFile file = writer.release(!keepOpen);
        if (file.fd < 0)
            m_openLeft.fetch_add(1);
        return file;
    } catch (...) {
        m_openLeft.fetch_add(1);
        throw;
    }
}

std::vector<int> GroupPublisher::publish(std::vector<PendingFile *> files)
{
    // One sync per filesystem writes the data of the whole group back at
    // once: far cheaper than an fdatasync per file, each of which waits for
    // a journal commit of its own.
    std::set<dev_t> synced;
    for (const PendingFile *file : files)
        if (file->fd >= 0 && synced.insert(file->device).second)
            ::syncfs(file->fd);
    // syncfs reports a write error of any file of the filesystem, not which
    // one. Each file's own error comes from its own descriptor: waiting on
    // its (now finished) writeback reports an error since the file was
    // opened. fdatasync would report it as well, but it also flushes the
    // disk's cache once more, per file, which the sync above has done.
    std::vector<int> failures(files.size(), 0);
    for (std::size_t i = 0; i < files.size(); ++i) {
        PendingFile &file = *files[i];
        if (file.fd < 0)
            continue;
        if (::sync_file_range(file.fd, 0, 0,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0 &&
            errno != EINVAL && errno != ESPIPE)
            failures[i] = writeErrorNumber(errno);
        if (::close(file.fd) != 0 && failures[i] == 0)
            failures[i] = writeErrorNumber(errno);
        file.fd = -1;
        m_openLeft.fetch_add(1);
    }
    // A replaced file is held open across its rename, so that freeing its
    // blocks happens at its last close, after the renames: on a disk with
    // online discard that waits for the device, milliseconds a file, which
    // the closers then wait for while the group's records are printed.
    std::vector<int> replaced;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (failures[i] != 0) {
            ::unlink(files[i]->temp.c_str());
            continue;
        }
        // Held only within the descriptors allowed: the threads writing the
        // next records need theirs.
        int old = -1;
        if (m_openLeft.fetch_sub(1) > 0)
            old = ::open(files[i]->target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (old < 0)
            m_openLeft.fetch_add(1);
        if ((failures[i] = renameOver(*files[i])) == 0)
            m_folders.add(files[i]->folder);
        if (old >= 0)
            replaced.push_back(old);
    }
    letGo(std::move(replaced));
    return failures;
}

GroupPublisher::~GroupPublisher()
{
    joinClosers();
}

void GroupPublisher::letGo(std::vector<int> replaced)
{
    // The closers of the group before have had a group's time: mostly done.
    joinClosers();
    // Mostly a close frees the blocks at once (a file in memory, a disk
    // without online discard): cheaper here than starting a thread. Once a
    // close is slow, the rest of the call's go to the closers.
    auto left = replaced.begin();
    while (left != replaced.end() && !m_slowCloses) {
        const auto start = std::chrono::steady_clock::now();
        ::close(*left++);
        m_openLeft.fetch_add(1);
        m_slowCloses = std::chrono::steady_clock::now() - start > SlowClose;
    }
    replaced.erase(replaced.begin(), left);
    if (replaced.empty())
        return;
    // The waits of several files overlap; the group's records are printed
    // meanwhile.
    const std::size_t count = std::min<std::size_t>(MaxClosers, replaced.size());
    auto shared = std::make_shared<const std::vector<int>>(std::move(replaced));
    for (std::size_t k = 0; k < count; ++k)
        m_closers.emplace_back([this, shared, k, count] {
            for (std::size_t i = k; i < shared->size(); i += count) {
                ::close((*shared)[i]);
                m_openLeft.fetch_add(1);
            }
        });
}

void GroupPublisher::joinClosers()
{
    for (std::thread &t : m_closers)
        t.join();
    m_closers.clear();
}

void GroupPublisher::syncFolders()
{
    // The renames' durability does not wait for the replaced files to be
    // freed: the folders are synced while the closers go on.
    m_folders.syncAll();
    joinClosers();
}

int openScratchFile(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // A file system without unnamed files: a named one, its name removed at once.
    std::string name;
    const int named = createTemporary(folder, name, O_RDWR, 0600);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

} // namespace kov

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace kov {

/// Whether written files are flushed to the disk before they take their
/// names (on by default). Off (kov-batch --no-sync), a crash of the system
/// may leave a file empty or cut short; a crash of the program alone still
/// leaves every file its earlier self or the new one whole.
void setFileSync(bool sync);
bool fileSync();

/// A folder that files are written into, held open from the creation of a
/// temporary file to its rename, so that both happen in the same folder even
/// when it is renamed meanwhile. Needs no read permission on the folder.
class Folder {
public:
    /// Opens the folder of path ("." for a bare name). Throws Failure of
    /// writing target: 76 it does not exist, 70 no permission.
    Folder(const std::string &path, const std::string &target);
    ~Folder();
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }
    /// Whether path still names this folder (not renamed or removed).
    bool inPlace() const;
    /// Makes the renames in it durable; a folder that cannot be synced is no failure.
    void sync() const;

private:
    std::string m_path;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

/// A file written whole to its temporary file beside its target, not yet
/// renamed over it. Unless fileSync() is off, its data is on the disk, or on
/// its way there while it holds the file open (fd), and reaches it before
/// the rename. A pending file that goes without being published removes its
/// temporary file.
class PendingFile {
public:
    PendingFile(std::string target, std::string temp, std::shared_ptr<const Folder> folder, int fd = -1);
    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&other) noexcept;
    ~PendingFile();

    const std::string &target() const { return m_target; }

    /// Flushes the data of a file held open to the disk and closes it: 0,
    /// or the number of the failure, the temporary file then removed.
    int flush();

    /// Flushes a file still held open, then renames the temporary file over the target: 0, or the number of the
    /// failure (76 the folder moved or went, or that of the flush), the temporary file removed
    /// and the target as it was. Either way the file is no longer pending.
    int publish();

    /// The folder it is in, until it is published.
    const std::shared_ptr<const Folder> &folder() const { return m_folder; }

private:
    void discard();

    std::string m_target;
    std::string m_temp; ///< its name in the folder
    std::shared_ptr<const Folder> m_folder;
    int m_fd = -1; ///< held open while its data is on its way to the disk
};

/// A file written in pieces that readers see whole or not at all: the pieces
/// go to a temporary file in the target's folder (a short name, so any legal
/// target name works), which commit() flushes to the disk and renames over
/// the target. A new file gets the usual permissions under the process's
/// umask; a replaced file keeps its permission bits. A symbolic link at the
/// target is replaced, never followed, when it points to a regular file or
/// to nothing.
///
/// Every failure throws Failure whose description names the target and the
/// reason; the earlier file, if any, stays as it was: 76 the folder does not
/// exist (or moved), 70 no permission to write the folder or the existing
/// target (also a folder at the target's name, or a link to one), 75 the
/// target is a special file or a link to one (a FIFO, a device, a socket),
/// 61 disk full, 67 too many open files, 57 any other device error. A writer
/// destroyed without a successful commit removes its temporary file.
class AtomicFile {
public:
    /// Checks the target and creates the temporary file; with folder, in
    /// that one (the target's folder, opened already).
    explicit AtomicFile(std::string target, std::shared_ptr<const Folder> folder = nullptr);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(std::string_view bytes);
    /// Appends length bytes of the file from, read from offset on.
    void copyFrom(int from, std::uint64_t offset, std::uint64_t length);
    /// Flushes the file, renames it over the target and makes the rename
    /// durable.
    void commit();
    /// Flushes the file and closes it, leaving the rename to the caller.
    PendingFile finish();

private:
    [[noreturn]] void abandon(int number);

    std::string m_target;
    std::shared_ptr<const Folder> m_folder;
    std::string m_temp;
    int m_fd = -1;
};

/// Writes bytes to target as AtomicFile does, in one step.
void writeFileAtomically(const std::string &target, std::string_view bytes);

/// Publishes the files of many records: write() leaves each file in its
/// temporary file (on any thread, so the jobs write in parallel) with its
/// data on its way to the disk, the caller publishes a group of them in
/// order, and syncFolders() then makes the renames durable, each folder
/// once. After a crash each target is its earlier file
/// or the new one whole. The folders of files written are held open, once
/// each, while a file of theirs is pending.
class Publisher {
public:
    /// Writes bytes to a temporary file beside target, with every check and
    /// failure of AtomicFile.
    PendingFile write(const std::string &target, std::string_view bytes);

    /// Publishes files, each 0 or the number of its failure: their data
    /// flushed side by side, then each renamed over its target in order,
    /// then the files they replaced let go side by side. Remembers their
    /// folders for syncFolders().
    std::vector<int> publish(const std::vector<PendingFile *> &files);

    /// Syncs the folders of the files published since the last call, once each.
    void syncFolders();

private:
    std::shared_ptr<const Folder> folderOf(const std::string &target);

    std::mutex m_mutex;
    std::map<std::string, std::weak_ptr<const Folder>> m_open; ///< the folders held, by path
    std::vector<std::shared_ptr<const Folder>> m_renamedInto;
};

/// The files one record wrote through a Publisher, in the order written.
struct PendingWrites {
    Publisher &publisher;
    std::vector<PendingFile> files;

    void write(const std::string &target, std::string_view bytes) { files.push_back(publisher.write(target, bytes)); }
};

/// A new file for scratch data that has no name, so that it vanishes with
/// the process however that ends: open(O_TMPFILE) in folder, or where its
/// file system lacks that, a new file there removed at once. Read and
/// write; -1 with errno set when neither works.
int openScratchFile(const std::string &folder);

/// The failure of writing target: "Cannot write TARGET: DESCRIPTION", of
/// kind FileWrite.
[[noreturn]] void failWrite(int number, const std::string &target);

/// The line of the failure of writing target, as a caller prints a caught
/// Failure: "Cannot write TARGET: DESCRIPTION (N)".
std::string writeFailureLine(int number, const std::string &target);

} // namespace kov

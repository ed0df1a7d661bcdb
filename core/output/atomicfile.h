#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace kov {

/// The folders whose renames a caller makes durable together, once each,
/// instead of once per file: a file renamed into a folder that is synced
/// only later is, after a crash before that, the earlier file or absent,
/// never a part. Safe to share between threads.
class FolderSyncs {
public:
    void add(const std::string &folder);
    /// Syncs every folder added since the last call, once each.
    void syncAll();

private:
    std::mutex m_mutex;
    std::set<std::string> m_folders;
};

/// Writes bytes to the file target so that readers see either the earlier
/// file whole or the new one whole, never a part: the bytes go to a temporary
/// file in the target's folder (a short name, so any legal target name works),
/// are flushed to disk, and the temporary file is renamed over the target only
/// when complete. A new file gets the usual permissions under the process's
/// umask; a replaced file keeps its permission bits. A symbolic link at the
/// target is replaced by the new file, never followed.
///
/// Throws Failure whose description names the target and the reason; the
/// earlier file, if any, stays as it was: 76 the folder does not exist,
/// 70 no permission to write the folder or the existing target (also a folder
/// at the target's name), 75 the target is a special file (a FIFO, a device),
/// 61 disk full, 57 any other device error.
/// With folders, the rename is left for folders->syncAll() to make durable.
void writeFileAtomically(const std::string &target, std::string_view bytes, FolderSyncs *folders = nullptr);

/// A file written whole to its temporary file beside target, not yet
/// renamed over it (GroupPublisher::publish does that).
struct PendingFile {
    std::string target;
    std::string temp;   ///< the temporary file in the target's folder
    std::string folder; ///< the target's folder, "." for a bare name
    dev_t device = 0;   ///< the filesystem of the folder
    /// Open while the data may not be on the disk yet; -1 once it is synced.
    int fd = -1;
};

/// A file written in pieces that readers see whole or not at all, as
/// writeFileAtomically writes one: the pieces go to a temporary file beside
/// the target, which commit() syncs and renames over the target. Every
/// failure throws as writeFileAtomically does; a writer destroyed without a
/// successful commit removes its temporary file and leaves the earlier
/// target as it was.
class AtomicFile {
public:
    /// Checks the target and creates the temporary file.
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(std::string_view bytes);
    /// Appends length bytes of the file from, read from offset on.
    void copyFrom(int from, std::uint64_t offset, std::uint64_t length);
    /// Syncs the file and renames it over the target; with folders, the
    /// rename is left for folders->syncAll() to make durable.
    void commit(FolderSyncs *folders = nullptr);
    /// Hands the written temporary file over for a later rename: with sync
    /// its data is flushed to disk and it is closed first, else it stays
    /// open. A failed flush throws as commit() does.
    PendingFile release(bool sync);

private:
    [[noreturn]] void abandon(int number);

    std::string m_target;
    std::string m_folder;
    std::string m_temp;
    dev_t m_device = 0;
    int m_fd = -1;
};

/// Publishes many files at lower cost than writeFileAtomically, which
/// syncs each file on its own: write() leaves each file in its temporary
/// file, and publish() syncs a whole group of them at once and renames each
/// over its target. A file is still renamed only once its data is on the
/// disk, so after a crash each target is its earlier file or the new one
/// whole. write() may run on several threads at once; the rest is for one
/// thread.
class GroupPublisher {
public:
    /// openFiles: how many descriptors the publisher may hold: temporary
    /// files waiting for the group's sync (a file written beyond that is
    /// synced on its own) and replaced files waiting to be closed.
    explicit GroupPublisher(int openFiles);
    ~GroupPublisher();
    GroupPublisher(const GroupPublisher &) = delete;
    GroupPublisher &operator=(const GroupPublisher &) = delete;

    /// Writes bytes to a temporary file beside target, with every check of
    /// writeFileAtomically and its failures (the temporary file removed).
    PendingFile write(const std::string &target, std::string_view bytes);

    /// Makes the data of files durable, one syncfs() per filesystem, then
    /// renames each over its target, in order. Returns for each file 0 or
    /// the number of its failure (a write error found by the sync, a failed
    /// rename), its temporary file removed and its target as it was.
    std::vector<int> publish(std::vector<PendingFile *> files);

    /// Makes the renames of every file published so far durable: each
    /// folder synced once.
    void syncFolders();

private:
    void letGo(std::vector<int> replaced);
    void joinClosers();

    std::atomic<int> m_openLeft;
    FolderSyncs m_folders;
    std::vector<std::thread> m_closers; ///< closing the files the last group replaced
    bool m_slowCloses = false;          ///< a replaced file's close was slow: close on the closers
};

/// The files one caller wrote through a GroupPublisher, in the order written.
struct PendingWrites {
    GroupPublisher &publisher;
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

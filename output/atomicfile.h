#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

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

private:
    [[noreturn]] void abandon(int number);

    std::string m_target;
    std::string m_folder;
    std::string m_temp;
    int m_fd = -1;
};

/// A new file for scratch data that has no name, so that it vanishes with
/// the process however that ends: open(O_TMPFILE) in folder, or where its
/// file system lacks that, a new file there removed at once. Read and
/// write; -1 with errno set when neither works.
int openScratchFile(const std::string &folder);

/// The failure of writing target: "Cannot write TARGET: DESCRIPTION", of
/// kind FileWrite.
[[noreturn]] void failWrite(int number, const std::string &target);

} // namespace kov

#include "core/reader/recordfile.h"

#include "core/state/failure.h"
#include "core/state/sharedstate.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace {

int openErrorNumber(const std::string &path, int e)
{
    if (e == ENOENT) {
        // A missing file in an existing folder, or a missing folder?
        const std::size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return err::PathNotFound;
        return err::FileNotFound;
    }
    if (e == ENOTDIR)
        return err::PathNotFound;
    return errorNumberOfErrno(e, err::PathAccess);
}

} // namespace

RecordFile::RecordFile(const std::string &path, const RecordConvention &convention)
{
    // A NUL would cut the name short and open some other file.
    if (path.empty() || path.find('\0') != std::string::npos)
        throw Failure(err::BadFileName);
    // O_NONBLOCK keeps a named pipe from hanging the open; it changes
    // nothing for a regular file.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        const int e = errno;
        throw Failure(openErrorNumber(path, e));
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A folder is refused like a file we may not read. A device, pipe
        // or socket may not be read twice over (and /dev/zero would
        // never end), so it is refused too.
        const bool folder = S_ISDIR(st.st_mode);
        ::close(m_fd);
        m_fd = -1;
        throw Failure(folder ? err::AccessDenied : err::PathAccess);
    }
    m_fileSize = static_cast<unsigned long long>(st.st_size);
    if (convention.workbooks) {
        if (const WorkbookKind kind = this->kind(); kind != WorkbookKind::None) {
            try {
                m_lines = openSheetLines(m_fd, m_fileSize, kind, convention);
            } catch (...) {
                ::close(m_fd);
                m_fd = -1;
                throw;
            }
        }
    }
}

RecordFile::~RecordFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void RecordFile::rewind()
{
    if (m_lines) {
        m_lines->rewind();
        m_pos = m_len = 0;
        m_eof = false;
        return;
    }
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        throw Failure(err::DeviceIO);
    m_pos = 0;
    m_len = 0;
    m_eof = false;
    m_offset = 0;
}

void RecordFile::skipLines(int count)
{
    for (int k = 0; k < count; ++k) {
        if (!available())
            throw Failure(err::PastEnd);
        for (;;) {
            const unsigned char *begin = data();
            const unsigned char *end = begin + (m_len - m_pos);
            const unsigned char *p = begin;
            while (p != end && *p != '\n' && *p != '\r')
                ++p;
            m_pos += static_cast<std::size_t>(p - begin);
            if (p != end) {
                ++m_pos;
                // The LF of a CR LF may be the first byte of the next read.
                if (*p == '\r' && available() && *data() == '\n')
                    ++m_pos;
                break;
            }
            if (!available())
                break;
        }
    }
}

bool RecordFile::skipByteOrderMark()
{
    m_mark = 0;
    unsigned char head[4] = {};
    const std::size_t n = readAt(0, head, sizeof head);
    const std::string_view start(reinterpret_cast<const char *>(head), n);
    // UTF-32 first: its little-endian mark begins with UTF-16's.
    const char *encoding = start.starts_with(std::string_view("\xFF\xFE\0\0", 4))   ? "UTF-32"
                           : start.starts_with(std::string_view("\0\0\xFE\xFF", 4)) ? "UTF-32"
                           : start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF") ? "UTF-16"
                                                                                          : nullptr;
    if (encoding)
        throw Failure(err::TypeMismatch,
                      std::string("the record is ") + encoding +
                          " text, which is not read: save it as UTF-8 (\"CSV UTF-8\" or \"Text\" in a spreadsheet "
                          "program, UTF-8 in a text editor) and run again",
                      Failure::Kind::Input);
    if (!start.starts_with("\xEF\xBB\xBF"))
        return false;
    m_mark = 3;
    if (m_offset == m_len && m_pos < m_mark) // the first buffer is read already
        m_pos = std::min(m_mark, m_len);
    return true;
}

std::size_t RecordFile::readAt(unsigned long long offset, unsigned char *to, std::size_t count)
{
    offset += m_mark;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, to + done, count - done, static_cast<off_t>(offset + done));
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            throw Failure(e == EISDIR ? err::AccessDenied : errorNumberOfErrno(e, err::DeviceIO));
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

WorkbookKind RecordFile::kind()
{
    unsigned char head[8] = {};
    return workbookKindOf(std::string_view(reinterpret_cast<const char *>(head), readAt(0, head, sizeof head)));
}

std::optional<std::vector<SheetInfo>> RecordFile::workbookSheets(bool extents)
{
    const WorkbookKind kind = this->kind();
    if (kind == WorkbookKind::None)
        return std::nullopt;
    return sheetsOf(m_fd, m_fileSize, kind, extents);
}

void RecordFile::passWholeFile()
{
    for (;;) {
        const std::size_t n = readAt(m_passed, m_buffer.get(), BufferSize);
        if (n == 0)
            break;
        m_sink->bytes(m_buffer.get(), n);
        m_passed += n;
    }
    m_sink->end();
    m_sink = nullptr;
}

bool RecordFile::fill()
{
    if (m_eof)
        return false;
    if (m_lines) {
        if (m_sink)
            passWholeFile();
        m_pos = 0;
        m_len = m_lines->read(m_buffer.get(), BufferSize);
        m_eof = m_len == 0;
        return !m_eof;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer.get(), BufferSize);
        if (n > 0) {
            // The first bytes of the file: the mark is skipped.
            m_pos = m_offset == 0 ? std::min(m_mark, static_cast<std::size_t>(n)) : 0;
            m_len = static_cast<std::size_t>(n);
            m_offset += m_len;
            // After a rewind, only the bytes beyond those passed on already.
            if (m_sink && m_offset > m_passed) {
                const std::size_t fresh = static_cast<std::size_t>(m_offset - m_passed);
                m_sink->bytes(m_buffer.get() + (m_len - fresh), fresh);
                m_passed = m_offset;
            }
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            throw Failure(e == EISDIR ? err::AccessDenied : errorNumberOfErrno(e, err::DeviceIO));
        }
        m_eof = true;
        m_pos = m_len = 0;
        if (m_sink && m_offset == m_passed) {
            m_sink->end();
            m_sink = nullptr;
        }
        return false;
    }
}

} // namespace kov

#include "tests/reader/referencereader.h"

#include "reader/numberscan.h"
#include "reader/numtext.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov::reference {

namespace {

/// Sequential text input on one file: lines and blank- or comma-delimited
/// fields, read through a fixed buffer. Line ends are CR LF, LF or a lone CR.
/// The file is opened once; every pass starts again on the same descriptor,
/// so a file replaced by another while it is read is read whole, as it was.
class RecordFile {
public:
    explicit RecordFile(const std::string &path)
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
            // or socket cannot be read three times over (and /dev/zero would
            // never end), so it is refused too.
            const bool folder = S_ISDIR(st.st_mode);
            ::close(m_fd);
            m_fd = -1;
            throw Failure(folder ? err::AccessDenied : err::PathAccess);
        }
    }
    ~RecordFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    /// True when no character is left to read.
    bool atEnd() { return peek() < 0; }

    /// Consumes the characters up to the next line end and the line end.
    /// Fails with error 62 at the end of the file.
    void skipLine()
    {
        if (atEnd())
            throw Failure(err::PastEnd);
        for (;;) {
            const int c = get();
            if (c < 0 || c == '\n')
                return;
            if (c == '\r') {
                if (peek() == '\n')
                    get();
                return;
            }
        }
    }

    /// Starts reading again from the beginning of the file.
    void rewind()
    {
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            throw Failure(err::DeviceIO);
        m_pos = 0;
        m_len = 0;
        m_eof = false;
    }

    /// Reads one field: skips leading blanks, takes the characters up to a
    /// blank, a comma or a line end, then consumes the blanks after it and
    /// one delimiter (a comma or a line end). The field's characters go to
    /// number when one is given, piece by piece, so a field of any length
    /// takes no memory. Fails with error 62 when no field is left, also
    /// when only blanks are.
    void readField(NumberScanner *number)
    {
        skipBlanks();
        if (atEnd())
            throw Failure(err::PastEnd);
        for (bool wanted = number != nullptr;;) {
            if (m_pos == m_len && !fill())
                break;
            const char *begin = m_buffer.get() + m_pos;
            const char *end = m_buffer.get() + m_len;
            const char *p = begin;
            while (p != end && !endsField(static_cast<unsigned char>(*p)))
                ++p;
            if (wanted)
                wanted = number->feed(std::string_view(begin, static_cast<std::size_t>(p - begin)));
            m_pos += static_cast<std::size_t>(p - begin);
            if (p != end)
                break;
        }
        skipBlanks();
        const int c = peek();
        if (c == ',' || c == '\n') {
            get();
        } else if (c == '\r') {
            get();
            if (peek() == '\n')
                get();
        }
    }

private:
    static bool isBlank(int c) { return c == ' ' || c == '\t'; }
    static bool endsField(int c) { return isBlank(c) || c == ',' || c == '\n' || c == '\r'; }

    static int openErrorNumber(const std::string &path, int e)
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

    void skipBlanks()
    {
        while (isBlank(peek()))
            get();
    }

    int peek()
    {
        if (m_pos == m_len && !fill())
            return -1;
        return static_cast<unsigned char>(m_buffer[m_pos]);
    }

    int get()
    {
        const int c = peek();
        if (c >= 0)
            ++m_pos;
        return c;
    }

    bool fill()
    {
        if (m_eof)
            return false;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer.get(), BufferSize);
            if (n > 0) {
                m_pos = 0;
                m_len = static_cast<std::size_t>(n);
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int e = errno;
                throw Failure(e == EISDIR ? err::AccessDenied : errorNumberOfErrno(e, err::DeviceIO));
            }
            m_eof = true;
            return false;
        }
    }

    int m_fd = -1;
    // On the heap: the reader may run on a thread with a small stack.
    static constexpr std::size_t BufferSize = 65536;
    std::unique_ptr<char[]> m_buffer = std::make_unique_for_overwrite<char[]>(BufferSize);
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_eof = false;
};

/// Converts a field of a chosen column that number has read: it must spell
/// a number as a whole (FieldNumber), else error 13.
double fieldNumber(const NumberScanner &number)
{
    const std::optional<double> value = number.value();
    if (!value)
        throw Failure(err::TypeMismatch);
    return *value;
}

void skipHeader(RecordFile &file, std::int16_t skipLines)
{
    for (int k = 0; k < skipLines; ++k)
        file.skipLine();
}

} // namespace

void LoadTestRecord(SharedState &state)
{
    state.MaxAbsX = -999999.0f;
    state.MaxAbsY = -999999.0f;

    RecordFile file(state.DataFileName);
    if (state.DataLoaded != 1) {
        // Row count pass: every line after the header is one step.
        skipHeader(file, state.SkipLines);
        long long n = 0;
        do {
            ++n;
            file.skipLine();
        } while (!file.atEnd());
        state.RowCount = static_cast<float>(n);

        // Field count pass: the fields per row are the total over the rows.
        file.rewind();
        skipHeader(file, state.SkipLines);
        long long m = 0;
        do {
            ++m;
            file.readField(nullptr);
        } while (!file.atEnd());
        const double perRow = std::nearbyint(static_cast<double>(m) / static_cast<double>(state.RowCount));
        if (perRow > 32767.0)
            throw Failure(err::Overflow);
        state.ColumnCount = static_cast<std::int16_t>(perRow);
        state.DataLoaded = 1;
        file.rewind();
    }

    // Value pass: the stream of fields is grouped ColumnCount at a time.
    skipHeader(file, state.SkipLines);
    const double xCoef = static_cast<double>(state.XCoef);
    const double yCoef = static_cast<double>(state.YCoef);
    for (long long i = 1; static_cast<double>(i) <= static_cast<double>(state.RowCount); ++i) {
        // Each chosen field is converted, then stored, in column order: a
        // failure later in the row leaves the earlier fields stored, and in
        // a row beyond the arrays the first chosen field ends the load, with
        // its own conversion error or else with error 9 at its store.
        for (int j = 1; j <= state.ColumnCount; ++j) {
            if (j != state.XColumn && j != state.YColumn) {
                file.readField(nullptr);
                continue;
            }
            NumberScanner number(FieldNumber);
            file.readField(&number);
            const double f = fieldNumber(number);
            if (j == state.XColumn)
                state.XData(i) = toFloat(f * xCoef);
            if (j == state.YColumn)
                state.YData(i) = toFloat(f * yCoef);
        }
        // Beyond the arrays this access fails with error 9 when no column matched.
        const float ax = std::fabs(state.XData(i));
        if (ax >= state.MaxAbsX)
            state.MaxAbsX = ax;
        const float ay = std::fabs(state.YData(i));
        if (ay >= state.MaxAbsY)
            state.MaxAbsY = ay;
    }
}

} // namespace kov::reference

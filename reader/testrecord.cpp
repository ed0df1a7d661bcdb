#include "reader/testrecord.h"

#include "reader/numtext.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace {

/// A chosen field longer than this cannot be a sensible number; keeping only
/// a bounded prefix keeps memory bounded whatever the file holds.
constexpr std::size_t MaxFieldText = 4096;

/// Sequential text input on one file: lines and blank- or comma-delimited
/// fields, read through a fixed buffer. Line ends are CR LF, LF or a lone CR.
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

    /// Reads one field: skips leading blanks, takes the characters up to a
    /// blank, a comma or a line end, then consumes the blanks after it and
    /// one delimiter (a comma or a line end). Keeps at most keep characters
    /// of the field in text; sets truncated when it had more.
    /// Fails with error 62 when no field is left.
    void readField(std::string &text, std::size_t keep, bool &truncated)
    {
        text.clear();
        truncated = false;
        if (atEnd())
            throw Failure(err::PastEnd);
        skipBlanks();
        for (;;) {
            const int c = peek();
            if (c < 0 || isBlank(c) || c == ',' || c == '\n' || c == '\r')
                break;
            get();
            if (text.size() < keep)
                text.push_back(static_cast<char>(c));
            else
                truncated = true;
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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// Converts a field of a chosen column: it must spell a number as a whole,
/// [+-]? (digits [. digits?] | . digits) ([EeDd] [+-]? digits)?, else
/// error 13. The value is correctly rounded to double.
double fieldNumber(const std::string &field, bool truncated)
{
    if (truncated || field.empty())
        throw Failure(err::TypeMismatch);
    std::string number;
    std::size_t i = 0;
    bool negative = false;
    if (field[i] == '+' || field[i] == '-') {
        negative = field[i] == '-';
        ++i;
    }
    std::size_t digits = 0;
    long long leading = 0;
    bool nonZero = false;
    while (i < field.size() && isDigit(field[i])) {
        nonZero = nonZero || field[i] != '0';
        if (nonZero)
            ++leading;
        number.push_back(field[i++]);
        ++digits;
    }
    long long fractionZeros = 0; // zeros after the point before the first significant digit
    if (i < field.size() && field[i] == '.') {
        number.push_back(field[i++]);
        while (i < field.size() && isDigit(field[i])) {
            if (field[i] != '0')
                nonZero = true;
            else if (!nonZero)
                ++fractionZeros;
            number.push_back(field[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        throw Failure(err::TypeMismatch);
    long long exponent = 0;
    if (i < field.size()) {
        const char c = field[i];
        if (c != 'e' && c != 'E' && c != 'd' && c != 'D')
            throw Failure(err::TypeMismatch);
        ++i;
        number.push_back('e');
        if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
            if (field[i] == '-')
                number.push_back('-');
            ++i;
        }
        bool expNegative = !number.empty() && number.back() == '-';
        std::size_t expDigits = 0;
        while (i < field.size() && isDigit(field[i])) {
            if (exponent < 1000000)
                exponent = exponent * 10 + (field[i] - '0');
            number.push_back(field[i++]);
            ++expDigits;
        }
        if (expDigits == 0 || i != field.size())
            throw Failure(err::TypeMismatch);
        if (expNegative)
            exponent = -exponent;
    }
    double value = 0.0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), value);
    if (r.ec == std::errc::result_out_of_range)
        value = (leading - fractionZeros + exponent > 0) ? HUGE_VAL : 0.0;
    else if (r.ec != std::errc())
        throw Failure(err::TypeMismatch);
    return negative ? -value : value;
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

    std::string field;
    bool truncated = false;

    if (state.DataLoaded != 1) {
        // Row count pass: every line after the header is one step.
        {
            RecordFile file(state.DataFileName);
            skipHeader(file, state.SkipLines);
            long long n = 0;
            do {
                ++n;
                file.skipLine();
            } while (!file.atEnd());
            state.RowCount = static_cast<float>(n);
        }
        // Field count pass: the fields per row are the total over the rows.
        {
            RecordFile file(state.DataFileName);
            skipHeader(file, state.SkipLines);
            long long m = 0;
            do {
                ++m;
                file.readField(field, 0, truncated);
            } while (!file.atEnd());
            const double perRow = std::nearbyint(static_cast<double>(m) / static_cast<double>(state.RowCount));
            if (perRow > 32767.0)
                throw Failure(err::Overflow);
            state.ColumnCount = static_cast<std::int16_t>(perRow);
            state.DataLoaded = 1;
        }
    }

    // Value pass: the stream of fields is grouped ColumnCount at a time.
    RecordFile file(state.DataFileName);
    skipHeader(file, state.SkipLines);
    const double xCoef = static_cast<double>(state.XCoef);
    const double yCoef = static_cast<double>(state.YCoef);
    for (long long i = 1; static_cast<double>(i) <= static_cast<double>(state.RowCount); ++i) {
        // A row within the arrays stores each chosen field as soon as it is
        // read, so a failure later in the row leaves it stored. A row beyond
        // the arrays is read and converted whole before the store fails, so
        // its own field errors are reported first.
        const bool inArrays = StepArray::inRange(i);
        for (int j = 1; j <= state.ColumnCount; ++j) {
            const bool chosen = j == state.XColumn || j == state.YColumn;
            file.readField(field, chosen ? MaxFieldText : 0, truncated);
            if (!chosen)
                continue;
            const double f = fieldNumber(field, truncated);
            if (j == state.XColumn) {
                const float x = toFloat(f * xCoef);
                if (inArrays)
                    state.XData(i) = x;
            }
            if (j == state.YColumn) {
                const float y = toFloat(f * yCoef);
                if (inArrays)
                    state.YData(i) = y;
            }
        }
        // Beyond the arrays this access fails with error 9, whether or not a
        // column matched.
        const float ax = std::fabs(state.XData(i));
        if (ax >= state.MaxAbsX)
            state.MaxAbsX = ax;
        const float ay = std::fabs(state.YData(i));
        if (ay >= state.MaxAbsY)
            state.MaxAbsY = ay;
    }
}

} // namespace kov

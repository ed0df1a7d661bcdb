#include "tests/core/referencereader.h"

#include "core/reader/numberscan.h"
#include "core/reader/numtext.h"
#include "core/reader/recordfile.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kov::reference {

namespace {

/// Sequential text input on one file, character by character: lines and
/// blank- or comma-delimited fields, as the three passes read them. The
/// file and its buffer are the reader's own (RecordFile).
class RecordFile {
public:
    explicit RecordFile(const std::string &path) : m_file(path) {}

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
    void rewind() { m_file.rewind(); }

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
            if (!m_file.available())
                break;
            const char *begin = reinterpret_cast<const char *>(m_file.data());
            const char *end = begin + m_file.size();
            const char *p = begin;
            while (p != end && !endsField(static_cast<unsigned char>(*p)))
                ++p;
            if (wanted)
                wanted = number->feed(std::string_view(begin, static_cast<std::size_t>(p - begin)));
            m_file.consume(static_cast<std::size_t>(p - begin));
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

    void skipBlanks()
    {
        while (isBlank(peek()))
            get();
    }

    int peek() { return m_file.available() ? *m_file.data() : -1; }

    int get()
    {
        const int c = peek();
        if (c >= 0)
            m_file.consume(1);
        return c;
    }

    kov::RecordFile m_file;
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

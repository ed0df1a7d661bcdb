#include "core/reader/testrecord.h"

#include "core/reader/fastpaths.h"
#include "core/reader/numberscan.h"
#include "core/reader/numtext.h"
#include "core/reader/recordfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

namespace {

using fast::BlockSize;
using fast::ByteMasks;

/// The set bits of x, in a few register operations: a plain popcount would
/// be a library call on processors without the instruction.
inline int bitCount(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

/// The byte classes of the n bytes at p, a block or the end of a read.
inline ByteMasks classify(const unsigned char *p, std::size_t n, char delimiter)
{
    if (n == BlockSize)
        return fast::classifyBlock(p, delimiter);
    // A short block (the end of a read): classified from a padded copy,
    // then the padding is cut off.
    unsigned char block[BlockSize] = {};
    std::memcpy(block, p, n);
    ByteMasks m = fast::classifyBlock(block, delimiter);
    const std::uint64_t valid = (std::uint64_t{1} << n) - 1;
    m.blank &= valid;
    m.comma &= valid;
    m.lineFeed &= valid;
    m.carriageReturn &= valid;
    return m;
}

/// The values of one chosen column, by row from 0, in blocks of rows, so that
/// storing them in the state can give each block back once it is stored: a
/// record's values are held once, never twice.
class RowValues {
public:
    /// Row r (from 0) is kept at index r + 1, the index of its step in the
    /// state, so that a block here is a block of the state's arrays too and
    /// can be handed over whole.
    void set(long long row, float value)
    {
        const auto index = static_cast<std::size_t>(row) + 1;
        const auto block = index / BlockRows;
        const auto offset = index % BlockRows;
        if (block >= m_blocks.size())
            m_blocks.resize(block + 1);
        StepArray::Block &values = m_blocks[block];
        // The first block grows by doubling, so a short record costs little;
        // a record that goes on past it is long, and its blocks come whole.
        if (offset >= values.size())
            values.resize(block > 0 ? BlockRows
                                    : std::min(BlockRows, std::max({offset + 1, 2 * values.size(), std::size_t{256}})));
        values[offset] = value;
    }

    /// The value of a row; 0 when none was set (or its block was given back).
    float get(long long row) const
    {
        const auto index = static_cast<std::size_t>(row) + 1;
        const auto block = index / BlockRows;
        const auto offset = index % BlockRows;
        if (block >= m_blocks.size() || offset >= m_blocks[block].size())
            return 0.0f;
        return m_blocks[block][offset];
    }

    /// The values from row on, as far as its block holds them.
    std::span<const float> from(long long row) const
    {
        const auto index = static_cast<std::size_t>(row) + 1;
        const auto block = index / BlockRows;
        const auto offset = index % BlockRows;
        if (block >= m_blocks.size() || offset >= m_blocks[block].size())
            return {};
        return std::span<const float>(m_blocks[block]).subspan(offset);
    }

    /// Hands over the block of the rows from row on (row + 1 a multiple of
    /// BlockRows), leaving them unset here.
    StepArray::Block take(long long row)
    {
        const auto block = (static_cast<std::size_t>(row) + 1) / BlockRows;
        return block < m_blocks.size() ? std::move(m_blocks[block]) : StepArray::Block();
    }

    /// Gives back the blocks that lie wholly before row.
    void releaseBefore(long long row)
    {
        const std::size_t blocks = std::min(m_blocks.size(), (static_cast<std::size_t>(row) + 1) / BlockRows);
        for (std::size_t b = 0; b < blocks; ++b)
            StepArray::Block().swap(m_blocks[b]);
    }

    static constexpr std::size_t BlockRows = StepArray::BlockLength;

private:
    std::vector<StepArray::Block> m_blocks;
};

/// One sweep over the data lines of a record (what follows the header):
/// counts the lines and the fields and converts the fields of the chosen
/// columns of the rows the state holds and the one after them (which always
/// ends a load), grouping the stream of fields a given
/// number of columns at a time.
///
/// A field is read as the field reader of a sequential text file reads one:
/// leading blanks (space, tab) are skipped, the field runs up to a blank, a
/// comma or a line end (CR LF, LF or a lone CR), then the blanks after it and
/// one delimiter (a comma or a line end) are consumed. So a field is either
/// a run of field bytes (anything but blanks, commas, CR and LF), or empty:
/// a comma or line end whose last non-blank byte before it is a comma, a line
/// end or the start of the data. Fields never span line ends, so there are
/// at least as many fields as lines.
///
/// The sweep works on blocks of 64 bytes as bit masks, one bit per byte, and
/// carries the state of the last byte of a block into the next; only the
/// start of each field and the bytes of a chosen field are looked at one by one.
///
/// When the number of columns is not known, the fields of the first line are
/// taken as one row, which is the right grouping for any record whose first
/// data line holds the usual number of fields.
///
/// With decimal commas a semicolon takes the comma's place between fields,
/// and a comma is a field byte like any other.
class FieldSweep {
public:
    /// columns 0: not known yet. fieldLimit: the sweep may stop once it has
    /// counted that many fields. recordedRows: the rows whose chosen fields
    /// are converted.
    FieldSweep(const SharedState &state, long long columns, long long fieldLimit, long long recordedRows,
               const RecordConvention &convention)
        : m_xIndex(state.XColumn >= 1 ? state.XColumn - 1 : -1), m_yIndex(state.YColumn >= 1 ? state.YColumn - 1 : -1),
          m_columns(columns), m_limit(fieldLimit), m_recordedRows(recordedRows),
          m_xCoef(static_cast<double>(state.XCoef)), m_yCoef(static_cast<double>(state.YCoef)),
          m_delimiter(fieldDelimiter(convention)),
          m_grammar(convention.decimalComma ? FieldNumberDecimalComma : FieldNumber)
    {
        if (columns != 0)
            groupBy(columns);
    }

    /// Reads the next bytes of the data lines. Returns false once the field
    /// limit is reached: the rest of the record is not needed.
    bool consume(const unsigned char *p, const unsigned char *end)
    {
        if (p == end)
            return true;
        m_any = true;
        while (p != end) {
            const std::size_t n = std::min(BlockSize, static_cast<std::size_t>(end - p));
            sweepBlock(p, n);
            p += n;
            // A chosen field still open is read to its end first.
            if (m_fields >= m_limit && !m_open)
                return false;
        }
        return true;
    }

    /// The end of the record.
    void finish()
    {
        if (m_open)
            closeField();
        // Trailing blanks after a delimiter (or nothing but blanks) leave
        // the field reader looking for one more field.
        m_blanksAtEnd = m_any && m_lastBlank && !m_afterField;
        // A last line without a line end is a line too.
        if (m_any && !m_lastLineEnd)
            ++m_lines;
        if (m_columns == 0)
            m_columns = m_fields;
    }

    long long lines() const { return m_lines; }
    /// The fields counted: all of them, or at least the field limit.
    long long fields() const { return m_fields; }
    /// The grouping the chosen fields were recorded with (0: no field).
    long long columns() const { return m_columns; }
    /// Only blanks follow the last delimiter: one more field read fails.
    bool blanksAtEnd() const { return m_blanksAtEnd; }

    /// The chosen field of a row (from 0) that the sweep recorded, slot 0
    /// for the X column and 1 for the Y column, as it is stored: its number
    /// times the column's coefficient, rounded to float; NaN when it is not
    /// a number, infinity when the product lies beyond the float range (no
    /// product of a number and a finite coefficient is either).
    float value(long long row, int slot) const { return slot == 0 ? m_x.get(row) : m_y.get(row); }
    /// The values of a slot from row on, as far as its block of rows holds them.
    std::span<const float> values(long long row, int slot) const { return slot == 0 ? m_x.from(row) : m_y.from(row); }
    /// Hands over a whole block of a slot's values (RowValues::take).
    StepArray::Block take(long long row, int slot) { return slot == 0 ? m_x.take(row) : m_y.take(row); }

    /// Gives back the values of the rows before row.
    void releaseBefore(long long row)
    {
        m_x.releaseBefore(row);
        m_y.releaseBefore(row);
    }

private:
    void sweepBlock(const unsigned char *p, std::size_t n)
    {
        const ByteMasks m = classify(p, n, m_delimiter);
        const std::uint64_t valid = n == BlockSize ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
        const std::uint64_t blank = m.blank;
        const std::uint64_t field = valid & ~(blank | m.comma | m.lineFeed | m.carriageReturn);
        // A line end is a CR, or an LF that does not follow a CR.
        const std::uint64_t lineEnds = m.carriageReturn | (m.lineFeed & ~((m.carriageReturn << 1) | m_lastCr));
        const std::uint64_t delimiters = m.comma | lineEnds;
        // Bytes whose last non-blank byte (themselves included) is a field
        // byte: the field bytes and the blank runs after them. A carry
        // injected at the start of such a blank run clears the whole run
        // when added to the blanks.
        const std::uint64_t inject = ((field << 1) | m_afterField) & blank;
        const std::uint64_t afterField = field | (blank & ~(blank + inject));
        // Where each field starts: the first byte of a run of field bytes,
        // or the delimiter of an empty field.
        const std::uint64_t starts = field & ~((field << 1) | m_lastField);
        const std::uint64_t empties = delimiters & ~((afterField << 1) | m_afterField);
        std::uint64_t anchors = starts | empties;

        if (m_open)
            feedRun(p, field, 0, n);
        m_lines += bitCount(lineEnds);
        if (m_columns == 0 && lineEnds != 0) {
            // The first line end: the fields up to it make the first row.
            const int end = std::countr_zero(lineEnds);
            const std::uint64_t upTo = end == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << end) - 1;
            walk(anchors & upTo, p, field, n);
            anchors &= ~upTo;
            groupBy(m_fields);
            m_column = 0;
            m_row = 1;
        }
        walk(anchors, p, field, n);

        const std::size_t last = n - 1;
        m_lastField = (field >> last) & 1;
        m_lastCr = (m.carriageReturn >> last) & 1;
        m_afterField = (afterField >> last) & 1;
        m_lastBlank = ((blank >> last) & 1) != 0;
        m_lastLineEnd = (((m.lineFeed | m.carriageReturn) >> last) & 1) != 0;
    }

    /// Counts the fields that start at the anchors of a block, in order, and
    /// opens those of the chosen columns.
    void walk(std::uint64_t anchors, const unsigned char *p, std::uint64_t field, std::size_t n)
    {
        while (anchors != 0) {
            // Pass over the fields before the next chosen one.
            const long long skip = fieldsBeforeChosen();
            long long passed = bitCount(anchors);
            if (skip < passed) {
                // The chosen field starts in this block: drop the anchors before it.
                for (passed = 0; passed < skip; ++passed)
                    anchors &= anchors - 1;
            } else {
                anchors = 0;
            }
            advance(passed);
            if (anchors == 0)
                return;
            const int i = std::countr_zero(anchors);
            anchors &= anchors - 1;

            m_openRow = m_row;
            m_openX = m_column == m_xIndex;
            m_openY = m_column == m_yIndex;
            const std::uint64_t stops = ~field & (~std::uint64_t{0} << i);
            const std::size_t end = stops == 0 ? n : std::min(n, static_cast<std::size_t>(std::countr_zero(stops)));
            if (end < n) {
                // The whole field (perhaps empty) lies in this block.
                store(scanNumber(std::string_view(reinterpret_cast<const char *>(p + i), end - static_cast<std::size_t>(i)),
                                 m_grammar));
            } else {
                m_number.emplace(m_grammar);
                m_open = true;
                feedRun(p, field, static_cast<std::size_t>(i), n);
            }
            advance(1);
        }
    }

    /// The fields to pass over before the next one of a chosen column in a
    /// recorded row (a very large number when there is none).
    long long fieldsBeforeChosen() const
    {
        if (m_row >= m_recordedRows)
            return None;
        if (m_columns == 0)
            return fieldsBeforeChosenOnFirstLine();
        if (m_low == None)
            return None;
        if (m_column <= m_low)
            return m_low - m_column;
        if (m_column <= m_high)
            return m_high - m_column;
        return m_row + 1 >= m_recordedRows ? None : m_columns - m_column + m_low;
    }

    /// While the first line goes on, its row is not known: only a chosen
    /// column still ahead in it counts.
    long long fieldsBeforeChosenOnFirstLine() const
    {
        long long here = None;
        for (const long long c : {m_xIndex, m_yIndex})
            if (c >= m_column)
                here = std::min(here, c);
        return here == None ? None : here - m_column;
    }

    /// The chosen columns within a row, once the fields of a row are known.
    void groupBy(long long columns)
    {
        m_columns = columns;
        m_low = m_high = None;
        for (const long long c : {m_xIndex, m_yIndex}) {
            if (c < 0 || c >= m_columns)
                continue;
            m_low = std::min(m_low, c);
            m_high = m_high == None ? c : std::max(m_high, c);
        }
    }

    void advance(long long fields)
    {
        m_fields += fields;
        m_column += fields;
        if (m_columns != 0 && m_column >= m_columns) {
            // Mostly into the next row only: no division for that.
            if (m_column < 2 * m_columns) {
                ++m_row;
                m_column -= m_columns;
            } else {
                m_row += m_column / m_columns;
                m_column %= m_columns;
            }
        }
    }

    /// Feeds the open field the run of field bytes from byte i of the block;
    /// closes it when the run ends within the block.
    void feedRun(const unsigned char *p, std::uint64_t field, std::size_t i, std::size_t n)
    {
        const std::uint64_t stops = ~field & (~std::uint64_t{0} << i);
        const std::size_t end = stops == 0 ? n : std::min(n, static_cast<std::size_t>(std::countr_zero(stops)));
        m_number->feed(std::string_view(reinterpret_cast<const char *>(p + i), end - i));
        if (end < n)
            closeField();
    }

    void closeField()
    {
        store(m_number->value());
        m_open = false;
    }

    /// Records the number of the field just read (nullopt: not a number).
    void store(std::optional<double> v)
    {
        if (m_openX)
            m_x.set(m_openRow, stored(v, m_xCoef));
        if (m_openY)
            m_y.set(m_openRow, stored(v, m_yCoef));
    }

    static float stored(std::optional<double> v, double coef)
    {
        if (!v)
            return std::numeric_limits<float>::quiet_NaN();
        const double product = *v * coef;
        if (!(std::fabs(product) < 0x1.ffffffp127)) // rounds beyond the largest float
            return std::numeric_limits<float>::infinity();
        return static_cast<float>(product);
    }

    static constexpr long long None = std::numeric_limits<long long>::max();

    const long long m_xIndex;
    const long long m_yIndex;
    long long m_columns;
    long long m_low = None;  ///< the first chosen column within a row (None: no column chosen)
    long long m_high = None; ///< the last one (m_low when one column is chosen twice)
    const long long m_limit;
    const long long m_recordedRows;
    const double m_xCoef;
    const double m_yCoef;
    const char m_delimiter;
    const NumberGrammar m_grammar;

    // The last byte read, carried into the next block.
    std::uint64_t m_lastField = 0;   ///< it is a field byte
    std::uint64_t m_lastCr = 0;      ///< it is a CR
    std::uint64_t m_afterField = 0;  ///< the last non-blank byte up to it is a field byte
    bool m_lastBlank = false;
    bool m_lastLineEnd = false;
    bool m_any = false;              ///< a byte was read

    bool m_blanksAtEnd = false;
    long long m_lines = 0;
    long long m_fields = 0;
    long long m_column = 0;          ///< column of the next field in its row, from 0
    long long m_row = 0;             ///< row of the next field, from 0

    // A chosen field whose bytes may go on in the next block.
    bool m_open = false;
    bool m_openX = false;
    bool m_openY = false;
    long long m_openRow = 0;
    std::optional<NumberScanner> m_number;
    RowValues m_x;
    RowValues m_y;
};

/// Sweeps the data lines after the header; stops early at the sweep's field limit.
void sweepRecord(RecordFile &file, std::int16_t skipLines, FieldSweep &sweep)
{
    file.skipLines(skipLines);
    while (file.available()) {
        const bool more = sweep.consume(file.data(), file.data() + file.size());
        file.consumeAll();
        if (!more)
            return;
    }
    sweep.finish();
}

/// A recorded value as it is stored, or the failure of its field: 13 when it
/// is not a number, 6 when its product overflows.
float checkedValue(float value)
{
    if (std::isnan(value))
        throw Failure(err::TypeMismatch);
    if (std::isinf(value))
        throw Failure(err::Overflow);
    return value;
}

/// Stores the rows as reading the stream of fields ColumnCount at a time
/// stores them, with the same failures in the same order: a chosen field is
/// converted, then stored, in column order, so a failure later in a row
/// leaves the earlier fields stored, and in a row beyond the arrays the first
/// chosen field ends the load, with its own conversion error or else with
/// error 9 at its store. A field beyond the fields of the record is error 62.
void storeRows(SharedState &state, FieldSweep &sweep, long long fields)
{
    const long long columns = state.ColumnCount;

    // The chosen columns within a row, in column order, each once.
    std::array<long long, 2> chosen{};
    int chosenCount = 0;
    const long long low = std::min(state.XColumn, state.YColumn);
    const long long high = std::max(state.XColumn, state.YColumn);
    for (const long long c : {low, high})
        if (c >= 1 && c <= columns && (chosenCount == 0 || chosen[0] != c))
            chosen[static_cast<std::size_t>(chosenCount++)] = c;

    long long i = 1;
    if (columns >= 1 && state.XColumn >= 1 && state.XColumn <= columns && state.YColumn >= 1 &&
        state.YColumn <= columns) {
        // The rows that can run past neither the fields nor the arrays go a
        // block of rows at a time; a block holding a field that is not a
        // number or overflows is left to the row by row store below, which
        // fails at the right field.
        const double rowCount = static_cast<double>(state.RowCount);
        long long whole = std::min(fields / columns, std::min(state.XData.last(), state.YData.last()));
        if (rowCount < static_cast<double>(whole))
            whole = static_cast<long long>(rowCount);
        // Step i lies in block i / BlockRows of the state's arrays and of the sweep's values alike.
        const auto blockRows = static_cast<long long>(RowValues::BlockRows);
        while (i <= whole) {
            const long long last = std::min(whole, (i / blockRows + 1) * blockRows - 1);
            const auto count = static_cast<std::size_t>(last - i + 1);
            const std::span<const float> xs = sweep.values(i - 1, 0);
            const std::span<const float> ys = sweep.values(i - 1, 1);
            if (xs.size() < count || ys.size() < count)
                break;
            float maxX = state.MaxAbsX;
            float maxY = state.MaxAbsY;
            bool finite = true;
            for (std::size_t k = 0; k < count; ++k) {
                finite = finite && std::isfinite(xs[k]) && std::isfinite(ys[k]);
                maxX = std::max(maxX, std::fabs(xs[k]));
                maxY = std::max(maxY, std::fabs(ys[k]));
            }
            if (!finite)
                break;
            if (i % blockRows == 0 && count == RowValues::BlockRows) {
                // A whole block (never the first, which holds step 0): handed over, not copied.
                const auto block = static_cast<std::size_t>(i / blockRows);
                state.XData.adoptBlock(block, sweep.take(i - 1, 0));
                state.YData.adoptBlock(block, sweep.take(i - 1, 1));
            } else {
                state.XData.assign(i, xs.data(), count);
                state.YData.assign(i, ys.data(), count);
            }
            state.MaxAbsX = maxX;
            state.MaxAbsY = maxY;
            i = last + 1;
            if (i % blockRows == 0)
                sweep.releaseBefore(last);
        }
    }
    for (; static_cast<double>(i) <= static_cast<double>(state.RowCount); ++i) {
        const long long rowStart = (i - 1) * columns;
        for (int c = 0; c < chosenCount; ++c) {
            const long long j = chosen[static_cast<std::size_t>(c)];
            if (rowStart + j - 1 >= fields)
                throw Failure(err::PastEnd);
            if (j == state.XColumn)
                state.XData(i) = checkedValue(sweep.value(i - 1, 0));
            if (j == state.YColumn)
                state.YData(i) = checkedValue(sweep.value(i - 1, 1));
        }
        if (columns >= 1 && rowStart + columns > fields)
            throw Failure(err::PastEnd);
        // Beyond the arrays this access fails with error 9 when no column matched.
        const float ax = std::fabs(state.XData(i));
        if (ax >= state.MaxAbsX)
            state.MaxAbsX = ax;
        const float ay = std::fabs(state.YData(i));
        if (ay >= state.MaxAbsY)
            state.MaxAbsY = ay;
        if (i % static_cast<long long>(RowValues::BlockRows) == 0)
            sweep.releaseBefore(i);
    }
}

/// The rows a load converts: those the state holds and the one after them,
/// which always ends the load.
long long recordedRows(const SharedState &state)
{
    return static_cast<long long>(state.limits().steps) + 1;
}

/// The fields that storing RowCount rows of columns fields reads at most:
/// up to the row after the last the state holds, which ends the load.
long long fieldsNeeded(double rowCount, long long columns, long long recorded)
{
    if (columns < 1 || !(rowCount >= 1.0))
        return 0;
    const long long rows = rowCount >= static_cast<double>(recorded) ? recorded : static_cast<long long>(rowCount);
    return rows * columns;
}

} // namespace

void LoadTestRecord(SharedState &state)
{
    LoadTestRecord(state, RecordConvention{}, nullptr);
}

void LoadTestRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink)
{
    state.MaxAbsX = -999999.0f;
    state.MaxAbsY = -999999.0f;

    RecordFile file(state.DataFileName, convention);
    file.passBytesTo(sink);
    if (convention.byteOrderMark && !file.isWorkbook())
        file.skipByteOrderMark();
    if (state.DataLoaded != 1) {
        // One sweep counts the lines and fields and records the chosen
        // fields, grouped by the fields of the first line.
        auto sweep = std::make_unique<FieldSweep>(state, 0, std::numeric_limits<long long>::max(),
                                                  recordedRows(state), convention);
        sweepRecord(file, state.SkipLines, *sweep);
        // Every line after the header is one step; a record with no line
        // after its header has none and reads past the end.
        if (sweep->lines() == 0)
            throw Failure(err::PastEnd);
        // A float counts rows exactly up to the most a state may hold; a
        // longer record fails saying so (the window's limit fails with 9 alone).
        if (state.limits() != WindowLimits && sweep->lines() > state.limits().steps)
            throw Failure(err::OutOfRange,
                          "the record has " + std::to_string(sweep->lines()) + " data rows, more than the " +
                              std::to_string(state.limits().steps) + " that can be analysed",
                          Failure::Kind::Input);
        // A count beyond 2^24 rounds, but never below the rows a state holds.
        state.RowCount = static_cast<float>(sweep->lines());
        // Counting the fields reads one more after trailing blanks.
        if (sweep->blanksAtEnd())
            throw Failure(err::PastEnd);
        // The fields per row are the total over the rows, halves to even.
        const double perRow = std::nearbyint(static_cast<double>(sweep->fields()) / static_cast<double>(state.RowCount));
        if (perRow > 32767.0)
            throw Failure(err::Overflow);
        state.ColumnCount = static_cast<std::int16_t>(perRow);
        state.DataLoaded = 1;
        if (sweep->columns() == state.ColumnCount) {
            storeRows(state, *sweep, sweep->fields());
            return;
        }
        // An irregular first line: read the chosen fields again, now grouped right.
        file.rewind();
    }

    // The counts are known: read only the fields that storing the rows needs.
    const long long needed = fieldsNeeded(static_cast<double>(state.RowCount), state.ColumnCount, recordedRows(state));
    auto sweep = std::make_unique<FieldSweep>(state, state.ColumnCount, needed, recordedRows(state), convention);
    if (needed == 0)
        file.skipLines(state.SkipLines);
    else
        sweepRecord(file, state.SkipLines, *sweep);
    storeRows(state, *sweep, std::min(sweep->fields(), needed));
}

} // namespace kov

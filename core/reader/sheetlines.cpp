#include "core/reader/sheetlines.h"

#include "core/state/failure.h"

#include <algorithm>
#include <cstring>

namespace kov {

namespace {

/// The stand-ins of the bytes that a line's grammar gives a meaning, in a
/// cell's text: a no-break space, a single low-9 quotation mark, a
/// fullwidth semicolon and a right double quotation mark.
constexpr std::string_view NoBreakSpace = "\xC2\xA0";
constexpr std::string_view CommaStandIn = "\xE2\x80\x9A";
constexpr std::string_view SemicolonStandIn = "\xEF\xBC\x9B";
constexpr std::string_view QuoteStandIn = "\xE2\x80\x9D";

} // namespace

std::string sheetText(std::string_view line)
{
    std::string text;
    text.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        const std::string_view rest = line.substr(i);
        char plain = 0;
        std::size_t length = 0;
        for (const auto &[standIn, byte] : {std::pair{NoBreakSpace, ' '}, std::pair{CommaStandIn, ','},
                                             std::pair{SemicolonStandIn, ';'}, std::pair{QuoteStandIn, '"'}})
            if (rest.starts_with(standIn)) {
                plain = byte;
                length = standIn.size();
            }
        if (length != 0) {
            text += plain;
            i += length;
        } else {
            text += line[i++];
        }
    }
    return text;
}

namespace sheet {

void refuse(const std::string &why)
{
    throw Failure(err::BadFileFormat, why);
}

std::string cellName(long long row, long long column)
{
    std::string letters;
    for (long long c = column; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

void appendCellText(std::string &out, std::string_view text, char delimiter)
{
    std::size_t plain = 0; // the bytes from here on need no stand-in so far
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string_view standIn;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            standIn = NoBreakSpace;
        else if (c == delimiter)
            standIn = delimiter == ',' ? CommaStandIn : SemicolonStandIn;
        else if (c == '"')
            standIn = QuoteStandIn;
        else
            continue;
        out.append(text.substr(plain, i - plain)).append(standIn);
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

RowWriter::RowWriter(const RecordConvention &convention, long long columns, unsigned long long limit)
    : m_delimiter(fieldDelimiter(convention)), m_decimalComma(convention.decimalComma), m_columns(columns),
      m_limit(limit)
{
}

void RowWriter::startCell(long long column)
{
    if (m_column == 0) {
        // The first value of the row: the rows before it that made no line
        // make empty ones now.
        for (long long r = m_lastLine + 1; r < m_row; ++r) {
            m_out.append(static_cast<std::size_t>(m_columns - 1), m_delimiter);
            m_out += '\n';
        }
        m_lastLine = m_row;
        m_column = 1;
    } else {
        ++m_column;
        m_out += m_delimiter;
    }
    for (; m_column < column; ++m_column)
        m_out += m_delimiter;
}

void RowWriter::number(long long column, std::string_view text)
{
    startCell(column);
    if (!m_decimalComma) {
        appendCellText(m_out, text, m_delimiter);
        return;
    }
    for (const char c : text)
        appendCellText(m_out, c == '.' ? std::string_view(",") : std::string_view(&c, 1), m_delimiter);
}

void RowWriter::text(long long column, std::string_view text)
{
    startCell(column);
    appendCellText(m_out, text, m_delimiter);
}

void RowWriter::endRow()
{
    if (m_column == 0)
        return;
    for (; m_column < m_columns; ++m_column)
        m_out += m_delimiter;
    m_out += '\n';
    m_column = 0;
}

std::size_t RowWriter::read(unsigned char *to, std::size_t capacity)
{
    const std::size_t n = std::min(capacity, pending());
    std::memcpy(to, m_out.data() + m_read, n);
    m_read += n;
    m_made += n;
    if (m_made > m_limit)
        refuse("the sheet's lines would take more than " + std::to_string(m_limit) +
               " bytes, more than a workbook of this size may unpack into (a ZIP bomb?)");
    if (m_read == m_out.size()) {
        m_out.clear();
        m_read = 0;
    } else if (m_read > m_out.size() / 2) {
        m_out.erase(0, m_read);
        m_read = 0;
    }
    return n;
}

void RowWriter::restart()
{
    m_made = 0;
    m_row = m_lastLine = m_column = 0;
    m_out.clear();
    m_read = 0;
}

} // namespace sheet

} // namespace kov

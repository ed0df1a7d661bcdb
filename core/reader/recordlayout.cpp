#include "core/reader/recordlayout.h"

#include "core/reader/numberscan.h"
#include "core/reader/sheetlines.h"
#include "core/state/failure.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace kov {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

/// The lines of a block, one at a time; a line cut by the end of a block
/// that is not the whole record is not complete.
class LineCursor {
public:
    LineCursor(std::string_view block, bool whole) : m_block(block), m_whole(whole) {}

    /// The next line, or nullopt at the end of the block or at a cut line.
    std::optional<std::string_view> next()
    {
        if (m_at >= m_block.size())
            return std::nullopt;
        const std::size_t end = m_block.find_first_of("\r\n", m_at);
        if (end == std::string_view::npos) {
            if (!m_whole)
                return std::nullopt;
            const std::string_view line = m_block.substr(m_at);
            m_at = m_block.size();
            return line;
        }
        // A CR whose LF would begin the next block cannot be told from a lone CR.
        if (m_block[end] == '\r' && end + 1 == m_block.size() && !m_whole)
            return std::nullopt;
        const std::string_view line = m_block.substr(m_at, end - m_at);
        m_at = end + 1;
        if (m_block[end] == '\r' && m_at < m_block.size() && m_block[m_at] == '\n')
            ++m_at;
        return line;
    }

    /// The block ended because the record did.
    bool atRecordEnd() const { return m_whole && m_at >= m_block.size(); }

private:
    std::string_view m_block;
    bool m_whole;
    std::size_t m_at = 0;
};

/// A piece of a header line, with where it lies on the line.
struct Token {
    std::string_view text;
    std::size_t begin;
    std::size_t end;
};

enum class Split { Delimiter, Tab, Blank };

/// Splits a header line: at its delimiters when it has one outside quotes,
/// else at tabs when it has one, else at runs of blanks.
std::vector<Token> headerTokens(std::string_view line, char delimiter, Split &split)
{
    auto holds = [&](char c) {
        bool quoted = false;
        for (const char b : line) {
            if (b == '"')
                quoted = !quoted;
            else if (b == c && !quoted)
                return true;
        }
        return false;
    };
    split = holds(delimiter) ? Split::Delimiter : holds('\t') ? Split::Tab : Split::Blank;
    const char at = split == Split::Delimiter ? delimiter : '\t';
    std::vector<Token> tokens;
    std::size_t begin = 0;
    bool quoted = false;
    bool inToken = false;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const bool lineEnd = i == line.size();
        const char c = lineEnd ? '\0' : line[i];
        if (!lineEnd && c == '"')
            quoted = !quoted;
        if (split == Split::Blank) {
            const bool separator = lineEnd || (isBlank(c) && !quoted);
            if (!separator && !inToken) {
                begin = i;
                inToken = true;
            } else if (separator && inToken) {
                tokens.push_back({line.substr(begin, i - begin), begin, i});
                inToken = false;
            }
        } else if (lineEnd || (c == at && !quoted)) {
            tokens.push_back({line.substr(begin, i - begin), begin, i});
            begin = i + 1;
        }
    }
    return tokens;
}

bool isNumber(std::string_view text, const RecordConvention &convention)
{
    return scanNumber(text, convention.decimalComma ? FieldNumberDecimalComma : FieldNumber).has_value();
}

/// A unit as a header writes it, without the brackets around it: "(kN)" is kN.
std::string_view unitText(std::string_view text)
{
    text = trimmedName(text);
    if (text.size() >= 2) {
        const char open = text.front(), close = text.back();
        if ((open == '(' && close == ')') || (open == '[' && close == ']') || (open == '{' && close == '}'))
            text = trimmedName(text.substr(1, text.size() - 2));
    }
    return text;
}

/// Short, and no digit: what a unit looks like ("kN", "mm", "μm/m").
bool looksLikeUnit(std::string_view text)
{
    constexpr std::size_t MaxUnitBytes = 12;
    return text.size() <= MaxUnitBytes && std::none_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// The units of a units line under the names of the line before it, one
/// per name; empty when the line does not read as units.
std::vector<std::string> unitsUnder(const std::vector<Token> &names, Split nameSplit, std::string_view line,
                                    char delimiter)
{
    Split split{};
    const std::vector<Token> tokens = headerTokens(line, delimiter, split);
    if (split != nameSplit || tokens.empty())
        return {};
    std::vector<std::string> units(names.size());
    if (tokens.size() == names.size()) {
        for (std::size_t i = 0; i < tokens.size(); ++i)
            units[i] = std::string(unitText(tokens[i].text));
    } else if (split == Split::Blank && tokens.size() < names.size()) {
        // Columns aligned by blanks: a unit belongs to the name it overlaps.
        for (const Token &t : tokens) {
            const auto under = std::find_if(names.begin(), names.end(),
                                            [&](const Token &n) { return t.begin < n.end && n.begin < t.end; });
            if (under == names.end())
                return {};
            std::string &unit = units[static_cast<std::size_t>(under - names.begin())];
            if (!unit.empty())
                return {};
            unit = std::string(unitText(t.text));
        }
    } else {
        return {};
    }
    const bool any = std::any_of(units.begin(), units.end(), [](const std::string &u) { return !u.empty(); });
    if (!any || !std::all_of(units.begin(), units.end(), [](const std::string &u) { return looksLikeUnit(u); }))
        return {};
    return units;
}

/// Names and units from the last header lines.
void findNames(RecordLayout &layout, const RecordConvention &convention)
{
    const char delimiter = fieldDelimiter(convention);
    const auto namesOf = [&](std::string_view line, Split &split) -> std::optional<std::vector<Token>> {
        std::vector<Token> tokens = headerTokens(line, delimiter, split);
        // The names may stop before the last columns (channels left unnamed).
        if (tokens.empty() || static_cast<long long>(tokens.size()) > layout.columns ||
            std::any_of(tokens.begin(), tokens.end(), [&](const Token &t) { return isNumber(trimmedName(t.text), convention); }))
            return std::nullopt;
        return tokens;
    };
    const std::size_t n = layout.header.size();
    Split split{};
    if (n >= 2) {
        if (const auto names = namesOf(layout.header[n - 2], split)) {
            std::vector<std::string> units = unitsUnder(*names, split, layout.header[n - 1], delimiter);
            if (!units.empty()) {
                layout.namesLine = static_cast<int>(n - 1);
                layout.unitsLine = static_cast<int>(n);
                for (const Token &t : *names)
                    layout.names.emplace_back(trimmedName(t.text));
                layout.units = std::move(units);
                return;
            }
        }
    }
    if (n >= 1) {
        if (const auto names = namesOf(layout.header[n - 1], split)) {
            layout.namesLine = static_cast<int>(n);
            for (const Token &t : *names)
                layout.names.emplace_back(trimmedName(t.text));
        }
    }
}

bool readsAsDataRow(const std::vector<std::string_view> &fields, const RecordConvention &convention)
{
    return std::all_of(fields.begin(), fields.end(), [&](std::string_view f) { return isNumber(f, convention); });
}

[[noreturn]] void noDataRow(bool whole)
{
    throw Failure(err::PastEnd, whole ? "no line of the record reads as a row of numbers"
                                      : "no row of numbers within the first 64 KiB of the record: give the "
                                        "number of header lines with --skip-lines");
}

} // namespace

std::string_view trimmedName(std::string_view text)
{
    const auto trim = [](char c) { return isBlank(c) || c == '"' || c == '\''; };
    while (!text.empty() && trim(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && trim(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> readerFields(std::string_view line, const RecordConvention &convention)
{
    const char delimiter = fieldDelimiter(convention);
    std::vector<std::string_view> fields;
    bool afterField = false; // the last non-blank byte is a field byte
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == delimiter) {
            if (!afterField)
                fields.push_back(line.substr(i, 0));
            afterField = false;
            ++i;
        } else {
            const std::size_t begin = i;
            while (i < line.size() && !isBlank(line[i]) && line[i] != delimiter)
                ++i;
            fields.push_back(line.substr(begin, i - begin));
            afterField = true;
        }
    }
    if (!afterField)
        fields.push_back(line.substr(line.size(), 0));
    return fields;
}

namespace {

/// findLayout, or nullopt when the block ends before the answer and is not the whole record.
std::optional<RecordLayout> layoutWithin(std::string_view block, bool whole, int skipLines,
                                         const RecordConvention &convention)
{
    RecordLayout layout;
    LineCursor lines(block, whole);
    if (skipLines >= 0) {
        for (int k = 0; k < skipLines; ++k) {
            const auto line = lines.next();
            if (!line && whole)
                throw Failure(err::PastEnd);
            if (!line)
                return std::nullopt;
            layout.header.emplace_back(*line);
        }
        const auto row = lines.next();
        if (!row && whole)
            throw Failure(err::PastEnd, "no data row after the header lines");
        if (!row)
            return std::nullopt;
        layout.firstRow = std::string(*row);
        layout.columns = static_cast<long long>(readerFields(*row, convention).size());
        findNames(layout, convention);
        return layout;
    }

    constexpr std::size_t MaxHeaderLines = 32767;
    std::optional<std::string_view> line = lines.next();
    std::vector<std::string_view> fields;
    bool fieldsKnown = false;
    while (line) {
        if (!fieldsKnown)
            fields = readerFields(*line, convention);
        fieldsKnown = false;
        const std::optional<std::string_view> after = lines.next();
        if (readsAsDataRow(fields, convention)) {
            // As many fields as the row after it, when there is one to see.
            std::vector<std::string_view> next;
            if (after)
                next = readerFields(*after, convention);
            if (!after || next.size() == fields.size()) {
                layout.firstRow = std::string(*line);
                layout.columns = static_cast<long long>(fields.size());
                findNames(layout, convention);
                return layout;
            }
            fields = std::move(next);
            fieldsKnown = true;
        }
        if (layout.header.size() == MaxHeaderLines)
            throw Failure(err::PastEnd, "no row of numbers within the first 32767 lines of the record");
        layout.header.emplace_back(*line);
        line = after;
    }
    if (whole || lines.atRecordEnd())
        noDataRow(true);
    return std::nullopt;
}

} // namespace

RecordLayout findLayout(std::string_view block, bool whole, int skipLines, const RecordConvention &convention)
{
    if (auto layout = layoutWithin(block, whole, skipLines, convention))
        return std::move(*layout);
    if (skipLines >= 0)
        throw Failure(err::PastEnd, "the header lines run beyond the first 64 KiB of the record");
    noDataRow(false);
}

RecordLayout readLayout(const std::string &path, int skipLines, const RecordConvention &convention)
{
    RecordFile file(path, convention);
    // A workbook's names and units are its cells' texts.
    const auto asCells = [&](RecordLayout layout) {
        if (file.isWorkbook())
            for (std::vector<std::string> *texts : {&layout.names, &layout.units})
                for (std::string &text : *texts)
                    text = std::string(trimmedName(sheetText(text)));
        return layout;
    };
    if (convention.byteOrderMark && !file.isWorkbook())
        file.skipByteOrderMark();
    // Most headers end within a few lines: a small read first, then up to
    // 64 KiB when the answer lies beyond it.
    const auto block = std::make_unique_for_overwrite<char[]>(LayoutBlockSize);
    std::size_t size = 0;
    for (const std::size_t want : {std::size_t{4096}, LayoutBlockSize}) {
        while (size < want && file.available()) {
            const std::size_t n = std::min(want - size, file.size());
            std::memcpy(block.get() + size, file.data(), n);
            file.consume(n);
            size += n;
        }
        const bool whole = !file.available();
        if (auto layout = layoutWithin(std::string_view(block.get(), size), whole, skipLines, convention))
            return asCells(std::move(*layout));
        if (whole)
            break;
    }
    return asCells(findLayout(std::string_view(block.get(), size), false, skipLines, convention));
}

bool dataRowsHoldSemicolons(const std::string &path, int skipLines)
{
    try {
        RecordFile file(path);
        // A workbook's lines separate its cells with commas, whatever its cells hold.
        if (file.workbookSheets(false))
            return false;
        file.skipLines(skipLines);
        if (!file.available())
            return false;
        const std::string_view rest(reinterpret_cast<const char *>(file.data()), file.size());
        return rest.find(';') != std::string_view::npos;
    } catch (const Failure &) {
        return false;
    }
}

} // namespace kov

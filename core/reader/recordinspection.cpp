#include "core/reader/recordinspection.h"

#include "core/reader/recordfile.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace kov {

namespace {

/// The data rows after the header as the reader counts them (every line,
/// the last one also without a line end), and the start of the last with
/// its length: memory stays bounded whatever the length of a line.
void countDataRows(RecordInspection &r, const std::string &path, int skipLines, const RecordConvention &convention)
{
    RecordFile file(path, convention);
    if (!file.isWorkbook())
        file.skipByteOrderMark();
    file.skipLines(skipLines);
    std::string line;
    std::size_t length = 0;
    bool any = false, lastCr = false;
    while (file.available()) {
        const std::string_view bytes(reinterpret_cast<const char *>(file.data()), file.size());
        for (const char c : bytes) {
            any = true;
            if (c == '\n' && lastCr) {
                lastCr = false;
                continue;
            }
            lastCr = c == '\r';
            if (c == '\r' || c == '\n') {
                ++r.dataRows;
                r.lastRow.swap(line);
                r.lastRowLength = length;
                line.clear();
                length = 0;
            } else if (length++ < MaxKeptLine) {
                line += c;
            }
        }
        file.consumeAll();
    }
    if (length > 0 || (any && r.dataRows == 0)) {
        ++r.dataRows;
        r.lastRow.swap(line);
        r.lastRowLength = length;
    }
}

/// The column whose name alone says it holds words of one list and none of
/// the other, when exactly one does; else 0.
std::int16_t guessColumn(const RecordLayout &layout, std::initializer_list<std::string_view> words,
                         std::initializer_list<std::string_view> others)
{
    std::int16_t found = 0;
    for (std::size_t i = 0; i < layout.names.size(); ++i) {
        const auto has = [&](std::initializer_list<std::string_view> list) {
            return std::any_of(list.begin(), list.end(), [&](std::string_view w) { return containsIgnoringCase(layout.names[i], w); });
        };
        if (has(words) && !has(others)) {
            if (found != 0)
                return 0;
            found = static_cast<std::int16_t>(i + 1);
        }
    }
    return found;
}

InspectedUnit unitOf(const RecordLayout &layout, std::int16_t column, bool given, const std::string &value)
{
    const std::string fromHeader = headerUnit(layout, column);
    if (!given && !fromHeader.empty())
        return {fromHeader, false, layout.unitsLine};
    return {value, given, 0};
}

} // namespace

RecordInspection inspectRecord(const ReadingOptions &options, const std::string &record)
{
    RecordInspection r;
    r.layout = readLayout(record, options.skipLinesGiven ? options.skipLines : -1, options.convention());
    const RecordLayout &layout = r.layout;
    countDataRows(r, record, static_cast<int>(layout.header.size()), options.convention());
    r.sheets = RecordFile(record).workbookSheets(true);
    if (r.sheets)
        r.sheet = chooseSheet(*r.sheets, options.sheet);

    if (!options.xColumnName.empty() || !options.yColumnName.empty()) {
        ReadingOptions named = options;
        named.skipLinesAuto = true;
        Settings settings = options;
        if (!applyLayout(named, layout, record, settings, r.columnError))
            return r;
        r.xColumn = settings.xColumn;
        r.yColumn = settings.yColumn;
    } else {
        r.xColumn = guessColumn(layout, {"disp", "stroke", "drift", "deflection"}, {"force", "load"});
        r.yColumn = guessColumn(layout, {"force", "load"}, {"disp", "stroke", "drift", "deflection"});
    }
    if (r.columnsKnown()) {
        r.xUnit = unitOf(layout, r.xColumn, options.xUnitGiven, options.xUnit);
        r.yUnit = unitOf(layout, r.yColumn, options.yUnitGiven, options.yUnit);
    }
    return r;
}

} // namespace kov

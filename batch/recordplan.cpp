#include "batch/recordplan.h"

#include "core/analysis/course.h"
#include "core/output/jsontext.h"
#include "core/reader/recordfile.h"
#include "core/reader/recordinspection.h"
#include "core/reader/testrecord.h"
#include "core/reader/workbook.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kov::batch {

namespace {

/// The most bytes of a line that --inspect keeps and shows.
constexpr std::size_t MaxShownLine = 1024;

/// A line of the record as it may be shown on a terminal: control
/// characters (but tabs) as '?'; past MaxShownLine bytes cut, with the
/// line's length (length: that of the whole line, when line is its start).
std::string shown(std::string_view line, std::size_t length = 0)
{
    length = std::max(length, line.size());
    std::string text(line.substr(0, MaxShownLine));
    for (char &c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
            c = '?';
    if (length > MaxShownLine)
        text += "... (cut: " + std::to_string(length) + " bytes)";
    return text;
}

/// An option value as a shell reads it back.
std::string shellWord(const std::string &text)
{
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("%+-./:=@_^").find(c) != std::string_view::npos;
    });
    if (plain)
        return text;
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/// --inspect's line on rows at rest at the start of a record read with
/// settings; nothing when there are none or the record does not load.
void inspectRest(const std::string &record, const Settings &settings, const RecordConvention &convention,
                 std::ostream &out)
{
    if (const auto rest = recordRestAtStart(record, settings, convention))
        out << "  at rest: rows 1 to " << rest->rows << " stay within 1% of each column's range; to skip them: --rows "
            << rest->rows + 1 << ": --x-offset " << shortestText(rest->x) << " --y-offset " << shortestText(rest->y)
            << '\n';
}

void inspectRecord(const Options &options, const std::string &record, std::ostream &out)
{
    const RecordConvention convention = options.convention();
    const RecordInspection r = kov::inspectRecord(options, record);
    const RecordLayout &layout = r.layout;

    out << record << '\n';
    if (RecordFile file(record); file.skipByteOrderMark())
        out << "  byte-order mark: UTF-8 (not part of the first line)\n";
    std::string line = "--skip-lines " + std::to_string(layout.header.size());
    if (const auto &sheets = r.sheets) {
        const std::size_t chosen = r.sheet;
        out << "  sheets: " << sheets->size() << '\n';
        for (std::size_t i = 0; i < sheets->size(); ++i) {
            const SheetInfo &sheet = (*sheets)[i];
            out << "    " << i + 1 << "  " << shown(sheet.name) << ": " << sheet.rows << (sheet.rows == 1 ? " row, " : " rows, ")
                << sheet.columns << (sheet.columns == 1 ? " column" : " columns") << (i == chosen ? " (read)" : "") << '\n';
        }
        if (!options.sheet.empty())
            line = "--sheet " + shellWord((*sheets)[chosen].name) + " " + line;
    }
    out << "  header lines: " << layout.header.size() << '\n';
    for (std::size_t i = 0; i < layout.header.size(); ++i)
        out << "  " << (i + 1 < 10 ? "   " : i + 1 < 100 ? "  " : i + 1 < 1000 ? " " : "") << i + 1 << "  "
            << shown(layout.header[i]) << '\n';
    out << "  columns: " << layout.columns;
    if (layout.namesLine != 0)
        out << " (names on header line " << layout.namesLine
            << (layout.unitsLine != 0 ? ", units on header line " + std::to_string(layout.unitsLine) : "") << ")";
    else
        out << " (no header line names them)";
    out << '\n';
    for (std::size_t i = 0; i < layout.names.size(); ++i) {
        out << "    " << i + 1 << "  " << shown(layout.names[i]);
        if (const std::string unit = headerUnit(layout, static_cast<long long>(i + 1)); !unit.empty())
            out << "  [" << shown(unit) << "]";
        out << '\n';
    }
    out << "  data rows: " << r.dataRows << '\n'
        << "  first row: " << shown(layout.firstRow) << '\n'
        << "  last row:  " << shown(r.lastRow, r.lastRowLength) << '\n';

    // The options that read the record: its sheet and header count, and X
    // and Y when the names say which is which.
    if (options.decimalComma)
        line = "--decimal-comma " + line;
    if (!r.columnError.empty())
        throw Failure(err::TypeMismatch, r.columnError.substr(r.columnError.find(": ") + 2));
    if (!r.columnsKnown()) {
        out << "  options: " << line << '\n'
            << "  X and Y: cannot tell from " << (layout.names.empty() ? "the header" : "the column names")
            << "; give --x-column and --y-column\n";
        return;
    }
    line += " --x-column " + std::to_string(r.xColumn) + " --y-column " + std::to_string(r.yColumn);
    std::string sources;
    for (const auto &[axis, unit] : {std::pair{"x", &r.xUnit}, std::pair{"y", &r.yUnit}}) {
        const std::string source = unit->given        ? std::string("--") + axis + "-unit"
                                   : unit->headerLine ? "header line " + std::to_string(unit->headerLine)
                                                      : std::string("the default");
        line += std::string(" --") + axis + "-unit " + shellWord(unit->text);
        sources += std::string(sources.empty() ? "" : "; ") + axis + " unit " + shown(unit->text) + ": " + source;
    }
    out << "  options: " << line << '\n' << "  (" << sources << ")\n";
    Settings settings = options;
    settings.xColumn = r.xColumn;
    settings.yColumn = r.yColumn;
    settings.skipLines = static_cast<std::int16_t>(layout.header.size());
    inspectRest(record, settings, convention, out);
}

} // namespace

std::optional<std::vector<RecordReading>> planReadings(const std::vector<CallRecord> &records, std::string &error)
{
    std::vector<RecordReading> readings;
    for (const CallRecord &call : records) {
        auto reading = resolveReading(*call.options, call.record, error);
        if (!reading)
            return std::nullopt;
        readings.push_back(std::move(*reading));
    }
    return readings;
}

int inspectRecords(const std::vector<CallRecord> &records, std::ostream &out, std::ostream &err)
{
    int status = 0;
    for (const CallRecord &call : records) {
        const Options &options = *call.options;
        const std::string &record = call.record;
        try {
            inspectRecord(options, record, out);
        } catch (const Failure &f) {
            err << record << ": " << failureLine(f) << '\n';
            if (!options.decimalComma &&
                dataRowsHoldSemicolons(record, options.skipLinesGiven ? options.skipLines : 0))
                err << record << ": " << "the data rows hold semicolons: for decimal commas, add --decimal-comma\n";
            status = 1;
        }
    }
    return status;
}

} // namespace kov::batch

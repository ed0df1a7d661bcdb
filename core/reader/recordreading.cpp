#include "core/reader/recordreading.h"

#include "core/reader/workbook.h"

#include <algorithm>
#include <tuple>

namespace kov {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

/// "1 Time, 2 Force, 3 Disp": the columns a header names.
std::string columnList(const RecordLayout &layout)
{
    std::string text;
    for (std::size_t i = 0; i < layout.names.size(); ++i)
        text += (i ? ", " : "") + std::to_string(i + 1) + " " + layout.names[i];
    return text;
}

/// The column (from 1) named name in the layout, or else the one column
/// whose name contains it (with a note naming it); sets error when no
/// column has that name and none or several contain it, or several have it.
std::optional<std::int16_t> columnNamed(const RecordLayout &layout, const std::string &name, const std::string &record,
                                        std::string &error, std::string &note)
{
    if (layout.names.empty()) {
        error = "kov-batch: " + record + ": no header line names its " + std::to_string(layout.columns) +
                " columns, so there is no column '" + name + "'";
        return std::nullopt;
    }
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < layout.names.size(); ++i)
        if (sameIgnoringCase(layout.names[i], name))
            found.push_back(i + 1);
    if (found.size() == 1)
        return static_cast<std::int16_t>(found[0]);
    std::vector<std::size_t> containing;
    for (std::size_t i = 0; found.empty() && i < layout.names.size(); ++i)
        if (containsIgnoringCase(layout.names[i], name))
            containing.push_back(i + 1);
    if (containing.size() == 1) {
        note = "column " + std::to_string(containing[0]) + ", '" + layout.names[containing[0] - 1] +
               "', whose name contains it";
        return static_cast<std::int16_t>(containing[0]);
    }
    error = "kov-batch: " + record + ": " +
            (!found.empty()        ? std::to_string(found.size()) + " columns are named '" + name + "'"
             : containing.empty() ? "no column is named '" + name + "'"
                                  : "no column is named '" + name + "', and the names of " +
                                        std::to_string(containing.size()) + " columns contain it") +
            "; the columns are: " + columnList(layout);
    return std::nullopt;
}

} // namespace

bool containsIgnoringCase(std::string_view text, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (sameIgnoringCase(text.substr(i, word.size()), word))
            return true;
    return false;
}

std::string headerUnit(const RecordLayout &layout, long long column)
{
    if (layout.unitsLine == 0 || column < 1 || column > static_cast<long long>(layout.units.size()))
        return {};
    return layout.units[static_cast<std::size_t>(column - 1)];
}

bool applyLayout(const ReadingOptions &options, const RecordLayout &layout, const std::string &record,
                 Settings &settings, std::string &error, std::vector<std::string> *notes)
{
    if (options.skipLinesAuto)
        settings.skipLines = static_cast<std::int16_t>(layout.header.size());
    for (auto [option, name, column] : {std::tuple{"--x-column ", &options.xColumnName, &settings.xColumn},
                                        std::tuple{"--y-column ", &options.yColumnName, &settings.yColumn}}) {
        if (name->empty())
            continue;
        std::string note;
        const auto found = columnNamed(layout, *name, record, error, note);
        if (!found)
            return false;
        *column = *found;
        if (!note.empty() && notes)
            notes->push_back(option + *name + ": " + note);
    }
    if (const std::string unit = headerUnit(layout, settings.xColumn); !unit.empty() && !options.xUnitGiven)
        settings.xUnit = unit;
    if (const std::string unit = headerUnit(layout, settings.yColumn); !unit.empty() && !options.yUnitGiven)
        settings.yUnit = unit;
    return true;
}

std::optional<RecordReading> resolveReading(const ReadingOptions &options, const std::string &record,
                                            std::string &error)
{
    RecordReading r{options, options.convention(), std::nullopt, {}};
    if (!options.sheet.empty()) {
        try {
            if (const auto sheets = RecordFile(record).workbookSheets(false))
                chooseSheet(*sheets, options.sheet);
        } catch (const Failure &f) {
            if (f.number() == err::OutOfRange) {
                error = "kov-batch: " + record + ": " + f.what();
                return std::nullopt;
            }
            r.failure = f;
            return r;
        }
    }
    if (!options.readsHeader())
        return r;
    try {
        const RecordLayout layout = readLayout(record, options.skipLinesAuto ? -1 : options.skipLines, r.convention);
        if (!applyLayout(options, layout, record, r.settings, error, &r.notes))
            return std::nullopt;
    } catch (const Failure &f) {
        r.failure = f;
    }
    return r;
}

std::string decimalCommaHint(const ReadingOptions &options, const RecordReading &reading, const std::string &record)
{
    if (options.decimalComma || !dataRowsHoldSemicolons(record, reading.failure ? 0 : reading.settings.skipLines))
        return {};
    return "the data rows hold semicolons: for decimal commas, add --decimal-comma";
}

} // namespace kov

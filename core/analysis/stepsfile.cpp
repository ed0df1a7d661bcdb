#include "core/analysis/stepsfile.h"

#include "core/reader/recorddigest.h"
#include "core/reader/recordfile.h"
#include "core/state/failure.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace kov {

namespace {

/// The lines of a CSV text as rows of cells, with the line each row starts
/// on; a quoted cell may hold delimiters, quotes (doubled) and line ends. A
/// row of nothing but blanks and commas is left out.
std::vector<std::pair<int, std::vector<std::string>>> csvRows(std::string_view text)
{
    std::vector<std::pair<int, std::vector<std::string>>> rows;
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false, any = false;
    int line = 1, rowLine = 1;
    auto endRow = [&] {
        cells.push_back(std::move(cell));
        cell.clear();
        if (any)
            rows.emplace_back(rowLine, std::move(cells));
        cells.clear();
        any = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                line += c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
                cell += c;
            }
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endRow();
            rowLine = ++line;
        } else if (c == ',') {
            cells.push_back(std::move(cell));
            cell.clear();
        } else if (c == '"') {
            quoted = any = true;
        } else {
            cell += c;
            any = any || (c != ' ' && c != '\t');
        }
    }
    endRow();
    return rows;
}

std::string trimmed(const std::string &text)
{
    const std::size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    return text.substr(a, text.find_last_not_of(" \t") - a + 1);
}

[[noreturn]] void fail(int number, const std::string &name, int line, const std::string &reason)
{
    throw Failure(number, name + " line " + std::to_string(line) + ": " + reason, Failure::Kind::Input);
}

} // namespace

std::vector<StepCorrection> parseSteps(const std::string &text, const std::string &name)
{
    std::string_view body(text);
    if (body.starts_with("\xef\xbb\xbf"))
        body.remove_prefix(3);
    const auto rows = csvRows(body);
    if (rows.empty())
        fail(err::TypeMismatch, name, 1, "no header line naming the column 'cycle'");
    // Where each column of interest stands; -1: not in the file.
    const char *names[] = {"cycle", "end_step", "peak1_step", "peak2_step"};
    int at[4] = {-1, -1, -1, -1};
    const auto &[headerLine, header] = rows.front();
    for (std::size_t i = 0; i < header.size(); ++i)
        for (int k = 0; k < 4; ++k)
            if (trimmed(header[i]) == names[k] && at[k] < 0)
                at[k] = static_cast<int>(i);
    if (at[0] < 0)
        fail(err::TypeMismatch, name, headerLine, "the header names no column 'cycle'");

    std::map<int, StepCorrection> byCycle;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto &[line, cells] = rows[r];
        std::optional<int> values[4];
        for (int k = 0; k < 4; ++k) {
            if (at[k] < 0 || static_cast<std::size_t>(at[k]) >= cells.size())
                continue;
            const std::string cell = trimmed(cells[static_cast<std::size_t>(at[k])]);
            if (cell.empty())
                continue;
            int v = 0;
            const char *begin = cell.data() + (cell[0] == '+' ? 1 : 0);
            const auto [end, ec] = std::from_chars(begin, cell.data() + cell.size(), v);
            if (ec != std::errc() || end != cell.data() + cell.size() || begin == end)
                fail(err::TypeMismatch, name, line, std::string(names[k]) + " '" + cell + "' is not a whole number");
            values[k] = v;
        }
        if (!values[0])
            fail(err::TypeMismatch, name, line, "no cycle given");
        if (*values[0] < 1)
            fail(err::OutOfRange, name, line, "cycle " + std::to_string(*values[0]) + " does not exist (cycles count from 1)");
        const auto [it, added] = byCycle.try_emplace(*values[0], StepCorrection{*values[0], values[1], values[2], values[3], line});
        if (!added)
            fail(err::OutOfRange, name, line,
                 "cycle " + std::to_string(*values[0]) + " is given twice (first on line " + std::to_string(it->second.line) + ")");
    }
    std::vector<StepCorrection> corrections;
    for (auto &[cycle, c] : byCycle)
        corrections.push_back(c);
    return corrections;
}

StepsFile readStepsFile(const std::string &path)
{
    StepsFile steps;
    steps.path = path;
    std::string text;
    RecordDigest digest;
    try {
        RecordFile file(path);
        file.passBytesTo(&digest);
        while (file.available()) {
            text.append(reinterpret_cast<const char *>(file.data()), file.size());
            file.consumeAll();
        }
    } catch (const Failure &f) {
        throw Failure(f.number(), "the steps file " + path + ": " + errorDescription(f.number()), Failure::Kind::Input);
    }
    steps.sha256 = digest.sha256().value_or("");
    steps.corrections = parseSteps(text, path);
    return steps;
}

std::string withBaseName(const std::string &pattern, const std::string &baseName)
{
    // One pass, so a %n that the base name brings in stays as it is.
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'n') {
            name += baseName;
            ++i;
        } else {
            name += pattern[i];
        }
    }
    return name;
}

} // namespace kov

#include "batch/campaign.h"

#include "core/output/fileidentity.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace kov::batch {

namespace fs = std::filesystem;

bool parseCsv(const std::string &text, std::vector<std::vector<CsvField>> &rows, std::string &error)
{
    // A NUL byte would end a path where the system reads it: a file of
    // another kind, never a record's name.
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
        error = "line " + std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<long>(nul), '\n')) +
                ": a NUL byte (not a text file)";
        return false;
    }
    std::size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    long line = 1;
    std::vector<CsvField> row;
    auto endRow = [&] {
        // A blank line is one empty unquoted field: no row.
        if (!(row.size() == 1 && row[0].text.empty() && row[0].line < 0))
            rows.push_back(std::move(row));
        row.clear();
    };
    while (i < text.size()) {
        CsvField field{{}, line};
        if (text[i] == '"') {
            const long opened = line;
            for (++i;; ++i) {
                if (i >= text.size()) {
                    error = "line " + std::to_string(opened) + ": a quoted field is never closed";
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.text += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n')
                    ++line;
                field.text += text[i];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\n' && text.compare(i, 2, "\r\n") != 0) {
                error = "line " + std::to_string(line) + ": a quoted field goes on after its closing quote";
                return false;
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\n' && text.compare(i, 2, "\r\n") != 0) {
                if (text[i] == '"') {
                    error = "line " + std::to_string(line) + ": a quote inside a field that does not start with one";
                    return false;
                }
                field.text += text[i++];
            }
            if (field.text.empty())
                field.line = -line; // unquoted and empty: a blank line if alone
        }
        row.push_back(std::move(field));
        if (i >= text.size())
            break;
        if (text[i] == ',') {
            ++i;
            if (i >= text.size())
                row.push_back({{}, line});
            continue;
        }
        i += text[i] == '\r' ? std::size_t{2} : std::size_t{1};
        ++line;
        endRow();
    }
    if (!row.empty())
        endRow();
    for (auto &r : rows)
        for (CsvField &f : r)
            f.line = std::abs(f.line);
    return true;
}

namespace {

/// Reads the whole campaign file; false with error set.
bool readCampaignFile(const std::string &path, std::string &text, std::string &error)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "kov-batch: cannot read the campaign file '" + path + "': " + std::strerror(EISDIR);
        return false;
    }
    // A device (/dev/zero) would never end; a pipe does.
    if (fs::is_character_file(path, ec) || fs::is_block_file(path, ec)) {
        error = "kov-batch: cannot read the campaign file '" + path + "': a device, not a file";
        return false;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (in)
        content << in.rdbuf();
    if (!in || in.bad()) {
        error = "kov-batch: cannot read the campaign file '" + path + "': " + std::strerror(errno ? errno : EIO);
        return false;
    }
    text = std::move(content).str();
    return true;
}

/// The per-record option a campaign column gives, or null.
const OptionDef *columnOption(const std::string &column)
{
    for (const OptionDef &def : optionTable())
        if (def.perRecord && def.campaignColumn() == column)
            return &def;
    return nullptr;
}

std::string knownColumns()
{
    std::string list = "record, label, group";
    for (const OptionDef &def : optionTable())
        if (def.perRecord)
            list += ", " + def.campaignColumn();
    return list;
}

/// A column of the campaign: the option it gives (null: record, label or group).
struct Column {
    std::string name;
    const OptionDef *option = nullptr;
};

} // namespace

std::optional<std::vector<CallRecord>> callRecords(const Options &options, std::string &error)
{
    auto base = std::make_shared<Options>(options);
    base->records.clear();
    std::vector<CallRecord> records;
    for (const std::string &record : options.records)
        records.push_back({record, fs::path(record).stem().string(), {}, base});

    if (!options.campaignFile.empty()) {
        const std::string &file = options.campaignFile;
        std::string text;
        if (!readCampaignFile(file, text, error))
            return std::nullopt;
        std::vector<std::vector<CsvField>> rows;
        std::string why;
        if (!parseCsv(text, rows, why)) {
            error = "kov-batch: campaign file '" + file + "', " + why;
            return std::nullopt;
        }
        auto fail = [&](long line, std::size_t column, const std::string &name, const std::string &message) {
            error = "kov-batch: campaign file '" + file + "', line " + std::to_string(line);
            if (column > 0)
                error += ", column " + std::to_string(column) + " (" + name + ")";
            error += ": " + message;
            return std::nullopt;
        };
        if (rows.empty())
            return fail(1, 0, {}, "no header line (record, and any of label, group and the options' columns)");

        std::vector<Column> columns;
        std::optional<std::size_t> recordAt, labelAt, groupAt;
        for (std::size_t c = 0; c < rows[0].size(); ++c) {
            const std::string &name = rows[0][c].text;
            for (std::size_t earlier = 0; earlier < c; ++earlier)
                if (columns[earlier].name == name)
                    return fail(rows[0][c].line, c + 1, name,
                                "a second column of that name (the first is column " + std::to_string(earlier + 1) +
                                    ")");
            Column column{name, columnOption(name)};
            if (name == "record")
                recordAt = c;
            else if (name == "label")
                labelAt = c;
            else if (name == "group")
                groupAt = c;
            else if (!column.option && name.find(';') != std::string::npos && rows[0].size() == 1)
                // A spreadsheet saved in a locale that separates by semicolons.
                return fail(rows[0][c].line, c + 1, name,
                            "no such column: the fields of a campaign file are separated by commas, not semicolons");
            else if (!column.option)
                return fail(rows[0][c].line, c + 1, name, "no such column; the columns are " + knownColumns());
            columns.push_back(column);
        }
        if (!recordAt)
            return fail(rows[0][0].line, 0, {}, "no column 'record' in the header");
        if (rows.size() == 1)
            return fail(rows[0][0].line, 0, {}, "no record after the header");

        // The records of the call by identity, as the output plan compares them.
        std::map<FileId, std::string> named;
        for (const CallRecord &r : records)
            named.emplace(fileIdOf(r.record), "the command line");
        const fs::path folder = fs::path(file).parent_path();
        auto fromFolder = [&](const std::string &path) {
            return folder.empty() || fs::path(path).is_absolute() ? path : (folder / path).string();
        };
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const std::vector<CsvField> &row = rows[r];
            const long line = row[0].line;
            if (row.size() != columns.size())
                return fail(line, 0, {},
                            std::to_string(row.size()) + (row.size() == 1 ? " field" : " fields") + " where the header has " +
                                std::to_string(columns.size()));
            const CsvField &cell = row[*recordAt];
            if (cell.text.empty())
                return fail(cell.line, *recordAt + 1, "record", "no record named");
            CallRecord record{fromFolder(cell.text), fs::path(cell.text).stem().string(), {}, base};
            std::error_code ec;
            if (!fs::exists(record.record, ec))
                return fail(cell.line, *recordAt + 1, "record", "the record '" + record.record + "' does not exist");
            const auto [earlier, isNew] = named.emplace(fileIdOf(record.record), "line " + std::to_string(line));
            if (!isNew)
                return fail(cell.line, *recordAt + 1, "record",
                            "the record '" + record.record + "' is named twice (also on " + earlier->second + ")");
            if (labelAt && !row[*labelAt].text.empty())
                record.label = row[*labelAt].text;
            if (groupAt)
                record.group = row[*groupAt].text;

            std::shared_ptr<Options> own;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                if (!columns[c].option || row[c].text.empty())
                    continue;
                if (!own)
                    own = std::make_shared<Options>(*base);
                if (const std::string message = applyOption(*own, *columns[c].option, row[c].text); !message.empty())
                    return fail(row[c].line, c + 1, columns[c].name, message);
                // A steps file is found beside the campaign, as its records are.
                if (columns[c].option->name == "--steps")
                    own->stepsFile = fromFolder(own->stepsFile);
            }
            if (own) {
                settleOptions(*own);
                record.options = std::move(own);
            }
            records.push_back(std::move(record));
        }
    }

    if (!options.referenceGroup.empty()) {
        std::vector<std::string> groups;
        for (const CallRecord &r : records)
            if (!r.group.empty() && std::find(groups.begin(), groups.end(), r.group) == groups.end())
                groups.push_back(r.group);
        if (std::find(groups.begin(), groups.end(), options.referenceGroup) == groups.end()) {
            error = "kov-batch: no record of the call is in the reference group '" + options.referenceGroup + "'";
            if (groups.empty()) {
                error += " (no record has a group: give them in a campaign file's column group)";
            } else {
                error += "; the groups are ";
                for (std::size_t g = 0; g < groups.size(); ++g)
                    error += (g ? ", '" : "'") + groups[g] + "'";
            }
            return std::nullopt;
        }
    }
    return records;
}

} // namespace kov::batch

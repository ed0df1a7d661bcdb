#include "batch/options.h"

#include "batch/optiontable.h"
#include "core/reader/numberscan.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace kov::batch {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<long long> parseWhole(const std::string &text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    for (std::size_t j = i; j < text.size(); ++j)
        if (!isDigit(text[j]))
            return std::nullopt;
    long long value = 0;
    const char *begin = text.data() + i;
    const auto r = std::from_chars(begin, text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return text[0] == '-' ? -value : value;
}

std::optional<double> parseDecimal(const std::string &text)
{
    return scanNumber(text, OptionDecimal);
}

std::string pictureName(const std::string &pattern, const std::string &baseName)
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

std::string usageText()
{
    std::string text = "Usage: kov-batch [OPTION]... RECORD...\n"
                       "Analyses each cyclic loading test record cycle by cycle, as the kov window does\n"
                       "with \"Draw\", \"Next cycle\" until the end of the record, and \"Write to file\",\n"
                       "and writes its results file NAME-kov.prn beside it (the record's name without\n"
                       "its last four characters, followed by -kov.prn). The characters are dropped\n"
                       "from the full path, so a name shorter than four characters reaches into its\n"
                       "folder's name: /data/run/ab gives /data/ru-kov.prn, in /data.\n"
                       "\n";
    // Each option's name and value in columns 3 to 17, its text from column
    // 20; a longer name stands on a line of its own.
    constexpr std::size_t TextColumn = 19;
    for (const OptionDef &option : optionTable()) {
        std::string label = "  ";
        if (!option.shortName.empty())
            label.append(option.shortName).append(", ");
        label += option.name;
        if (option.takesValue())
            label.append(" ").append(option.argument);
        if (label.size() + 2 <= TextColumn)
            label.append(TextColumn - label.size(), ' ');
        else
            label.append("\n").append(TextColumn, ' ');
        const std::string help = withDefault(option.help, option);
        text += label;
        for (std::size_t start = 0; start < help.size();) {
            const std::size_t end = std::min(help.find('\n', start), help.size());
            if (start != 0)
                text.append(TextColumn, ' ');
            text.append(help, start, end - start).append("\n");
            start = end + 1;
        }
    }
    return text +
           "\n"
           "No file of the call replaces a record or another output: such a call is a\n"
           "usage error, except when two records would write the same file, where the\n"
           "later one fails (58) and the earlier file stays. An earlier results file given\n"
           "as a record is skipped.\n"
           "\n"
           "Exit status: 0 when every record was written, 1 when any record failed,\n"
           "2 for a usage error, 130 when interrupted (Ctrl-C): the records under way are\n"
           "finished, no new one is started.\n";
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    const auto table = optionTable();
    auto find = [&](std::string_view name) {
        return std::find_if(table.begin(), table.end(), [&](const OptionDef &o) { return o.name == name; });
    };
    Options o;
    bool onlyRecords = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (onlyRecords || a.size() < 2 || a[0] != '-' || a == "-") {
            o.records.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyRecords = true;
            continue;
        }
        // A flag is only ever its whole word.
        if (const auto flag = find(a); flag != table.end() && !flag->takesValue()) {
            flag->set(o, {});
            continue;
        }
        std::string name = a;
        std::optional<std::string> value;
        const auto shortForm = std::find_if(table.begin(), table.end(), [&](const OptionDef &o) {
            return !o.shortName.empty() && a.starts_with(o.shortName);
        });
        const std::size_t eq = a.find('=');
        if (shortForm != table.end()) {
            // "-j 4" or "-j4".
            name = shortForm->name;
            if (a.size() > shortForm->shortName.size())
                value = a.substr(shortForm->shortName.size());
        } else if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const auto option = find(name);
        if (option == table.end() || !option->takesValue()) {
            error = "kov-batch: unknown option '" + name + "' (see kov-batch --help)";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "kov-batch: option '" + name + "' needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!option->set(o, *value)) {
            error = "kov-batch: invalid value '" + *value + "' for option '" + name + "'";
            return std::nullopt;
        }
    }
    // A name is looked up in the header, which must then be found.
    if ((!o.xColumnName.empty() || !o.yColumnName.empty()) && !o.skipLinesGiven)
        o.skipLinesAuto = true;
    if (!o.help && !o.version && o.records.empty()) {
        error = "kov-batch: no record given (see kov-batch --help)";
        return std::nullopt;
    }
    return o;
}

} // namespace kov::batch

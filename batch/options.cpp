#include "batch/options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

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
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0.0;
    const auto r = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the double range: a negative exponent means too small (0),
        // otherwise too large, which the callers refuse.
        const std::size_t e = text.find_first_of("eE");
        const bool tiny = e != std::string::npos && e + 1 < text.size() && text[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc()) {
        return std::nullopt;
    }
    return text[0] == '-' ? -value : value;
}

std::string usageText()
{
    return "Usage: kov-batch [OPTION]... RECORD...\n"
           "Analyses each cyclic loading test record cycle by cycle, as the kov window does\n"
           "with \"Draw\", \"Next cycle\" until the end of the record, and \"Write to file\",\n"
           "and writes its results file NAME-kov.prn beside it (the record's name without\n"
           "its last four characters, followed by -kov.prn).\n"
           "\n"
           "  --x-column N     column of the displacement X (default 1)\n"
           "  --y-column N     column of the load Y (default 2)\n"
           "  --skip-lines N   header lines before the first data row (default 5)\n"
           "  --x-coef F       factor applied to every X value (default 1)\n"
           "  --y-coef F       factor applied to every Y value (default 1)\n"
           "  --x-unit TEXT    unit of X for the results table (default mm)\n"
           "  --y-unit TEXT    unit of Y for the results table (default tonf)\n"
           "  --stdout         write the results to standard output instead of a file\n"
           "  --plot FILE      also draw the loop of each record into FILE (.png or .svg;\n"
           "                   %n in FILE stands for the record's base name)\n"
           "  --plot-scale K   size factor of the picture (default 3)\n"
           "  --help           show this help and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "Exit status: 0 when every record was written, 1 when any record failed,\n"
           "2 for a usage error.\n";
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options o;
    using Setter = std::function<bool(const std::string &)>;
    auto column = [&](std::int16_t &target, long long low) {
        return [&target, low](const std::string &v) {
            const auto n = parseWhole(v);
            if (!n || *n < low || *n > 32767)
                return false;
            target = static_cast<std::int16_t>(*n);
            return true;
        };
    };
    auto coef = [](float &target) {
        return [&target](const std::string &v) {
            const auto d = parseDecimal(v);
            if (!d || !std::isfinite(*d) || std::fabs(*d) > static_cast<double>(std::numeric_limits<float>::max()))
                return false;
            target = static_cast<float>(*d);
            return true;
        };
    };
    auto text = [](std::string &target) {
        return [&target](const std::string &v) {
            target = v;
            return true;
        };
    };
    const std::map<std::string, Setter> valued = {
        {"--x-column", column(o.xColumn, 1)},
        {"--y-column", column(o.yColumn, 1)},
        {"--skip-lines", column(o.skipLines, 0)},
        {"--x-coef", coef(o.xCoef)},
        {"--y-coef", coef(o.yCoef)},
        {"--x-unit", text(o.xUnit)},
        {"--y-unit", text(o.yUnit)},
        {"--plot", [&o](const std::string &v) {
             o.plotFile = v;
             return !v.empty();
         }},
        {"--plot-scale", [&o](const std::string &v) {
             const auto d = parseDecimal(v);
             if (!d || !(*d > 0.0) || *d > 20.0)
                 return false;
             o.plotScale = *d;
             return true;
         }},
    };

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
        if (a == "--help") {
            o.help = true;
            continue;
        }
        if (a == "--version") {
            o.version = true;
            continue;
        }
        if (a == "--stdout") {
            o.toStdout = true;
            continue;
        }
        std::string name = a;
        std::optional<std::string> value;
        const std::size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const auto it = valued.find(name);
        if (it == valued.end()) {
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
        if (!it->second(*value)) {
            error = "kov-batch: invalid value '" + *value + "' for option '" + name + "'";
            return std::nullopt;
        }
    }
    if (!o.help && !o.version && o.records.empty()) {
        error = "kov-batch: no record given (see kov-batch --help)";
        return std::nullopt;
    }
    return o;
}

} // namespace kov::batch

// kov-batch-docs: writes the parts of kov-batch's man page and bash
// completion that the option table defines, at build time.
//
//   kov-batch-docs man TEMPLATE OUT          the man page: TEMPLATE with the options
//   kov-batch-docs completion TEMPLATE OUT   the completion: TEMPLATE with the options
//   kov-batch-docs names                     every option's names, one a line
//
// A template holds marker lines, each replaced whole by what it names:
// `.\" kov-batch-docs: options` in the man page, `# kov-batch-docs: value
// cases` and `# kov-batch-docs: options` in the completion.

#include "batch/options.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using kov::batch::OptionDef;
using kov::batch::optionTable;
using kov::batch::ValueCompletion;
using kov::batch::withDefault;

namespace {

/// A name as roff writes it: a minus sign is \-, so that it prints as the
/// hyphen-minus a user types.
std::string roff(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '-')
            out += "\\-";
        else if (c == '|')
            out += "\\fR|\\fP"; // alternatives in roman between the italics
        else
            out += c;
    }
    return out;
}

std::string manOptions()
{
    std::string out;
    for (const OptionDef &o : optionTable()) {
        out += ".TP\n";
        if (!o.shortName.empty())
            out += ".BR " + roff(o.shortName) + " \", \" " + roff(o.name) +
                   (o.takesValue() ? " \" \\fI" + std::string(o.argument) + "\\fR\"" : "");
        else if (o.takesValue())
            out += ".BI " + roff(o.name) + " \" " + roff(o.manArgumentText()) + "\"";
        else
            out += ".B " + roff(o.name);
        out += "\n" + withDefault(o.man, o) + "\n";
    }
    return out;
}

/// The names of an option as a bash case pattern: "-j | --jobs".
std::string casePattern(const OptionDef &o)
{
    return o.shortName.empty() ? std::string(o.name) : std::string(o.shortName) + " | " + std::string(o.name);
}

std::string valueCases()
{
    const std::string indent(8, ' ');
    const std::string body(12, ' ');
    std::string out;
    std::string nothing; // the options after which nothing is offered
    for (const OptionDef &o : optionTable()) {
        switch (o.completion) {
        case ValueCompletion::Flag:
            break;
        case ValueCompletion::Free:
        case ValueCompletion::Final:
            nothing += (nothing.empty() ? "" : " | ") + casePattern(o);
            break;
        case ValueCompletion::Words:
            out += indent + casePattern(o) + ")\n" + body + "COMPREPLY=($(compgen -W '" +
                   std::string(o.completionWords) + "' -- \"$cur\"))\n" + body + "return\n" + body + ";;\n";
            break;
        case ValueCompletion::Files:
            out += indent + casePattern(o) + ")\n" + body + "_filedir '" + std::string(o.completionWords) + "'\n" +
                   body + "return\n" + body + ";;\n";
            break;
        }
    }
    if (!nothing.empty())
        out += indent + nothing + ")\n" + body + "return\n" + body + ";;\n";
    return out;
}

std::string optionWords()
{
    // Long names only, as a user types them; "--" ends the options.
    std::string out = "        COMPREPLY=($(compgen -W '";
    std::size_t lineStart = 0;
    bool first = true;
    auto add = [&](std::string_view word) {
        if (!first && out.size() - lineStart + word.size() > 100) {
            out += "\n";
            lineStart = out.size();
            out += "            ";
        } else if (!first) {
            out += " ";
        }
        out += word;
        first = false;
    };
    for (const OptionDef &o : optionTable())
        add(o.name);
    add("--");
    return out + "' -- \"$cur\"))\n";
}

/// TEMPLATE with every marker line replaced by its text.
bool fill(const char *templatePath, const char *outPath,
          const std::vector<std::pair<std::string_view, std::string>> &markers)
{
    std::ifstream in(templatePath);
    if (!in) {
        std::cerr << "kov-batch-docs: cannot read " << templatePath << "\n";
        return false;
    }
    std::ostringstream out;
    std::string line;
    std::size_t found = 0;
    while (std::getline(in, line)) {
        const std::size_t start = line.find_first_not_of(' ');
        const std::string_view trimmed = start == std::string::npos ? "" : std::string_view(line).substr(start);
        bool replaced = false;
        for (const auto &[marker, text] : markers) {
            if (trimmed == marker) {
                out << text;
                replaced = true;
                ++found;
            }
        }
        if (!replaced)
            out << line << "\n";
    }
    if (found != markers.size()) {
        std::cerr << "kov-batch-docs: " << templatePath << " lacks a marker line\n";
        return false;
    }
    std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
    file << out.str();
    file.close();
    if (!file) {
        std::cerr << "kov-batch-docs: cannot write " << outPath << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "names") {
        for (const OptionDef &o : optionTable()) {
            if (!o.shortName.empty())
                std::cout << o.shortName << "\n";
            std::cout << o.name << "\n";
        }
        return 0;
    }
    if (args.size() == 3 && args[0] == "man")
        return fill(argv[2], argv[3], {{".\\\" kov-batch-docs: options", manOptions()}}) ? 0 : 1;
    if (args.size() == 3 && args[0] == "completion")
        return fill(argv[2], argv[3],
                    {{"# kov-batch-docs: value cases", valueCases()}, {"# kov-batch-docs: options", optionWords()}})
                   ? 0
                   : 1;
    std::cerr << "usage: kov-batch-docs man|completion TEMPLATE OUT, or kov-batch-docs names\n";
    return 2;
}

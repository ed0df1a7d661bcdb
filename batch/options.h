#pragma once

#include "core/output/recordanalysis.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kov::batch {

/// The options of one kov-batch run: those of every record's reading,
/// analysis and metrics (their defaults are the window's start values and
/// rules), and what to write.
struct Options : RecordOptions {
    bool toStdout = false;
    bool help = false;
    bool version = false;
    std::string plotFile;     ///< --plot: picture of each record (a name ending in .png or .svg)
    double plotScale = 3.0;   ///< --plot-scale: size factor of that picture
    bool json = false;        ///< --json: NAME-kov.json beside each results file
    bool csv = false;         ///< --csv: NAME-kov.csv beside each results file
    std::string summaryFile;  ///< --summary: one CSV row per record of the call ("-": standard output)
    std::string compareFile;  ///< --compare: the groups' statistics as CSV ("-": standard output)
    std::string referenceGroup; ///< --reference-group: the group the others are compared with ("" none)
    std::string reportFile;   ///< --report: one HTML page for all records (a name ending in .html or .htm, or "-")
    int jobs = 0;             ///< --jobs, -j: records run at once; 0: the cores the process may use
    bool quiet = false;       ///< --quiet: no progress line, no path lines
    bool noSync = false;      ///< --no-sync: files are not flushed to the disk before their rename
    bool inspect = false;     ///< --inspect: show how each record reads, analyse nothing
    std::string campaignFile;   ///< --campaign: a CSV file of records, each with its own settings
    /// --skip-lines auto was given (a column name implies it otherwise).
    bool skipLinesAutoAsked = false;
    std::vector<std::string> records;
};

// Every option is defined once, in the table of options.cpp: the parser
// walks it, --help is laid out from it, and at build time kov-batch-docs
// (optiondocs.cpp) writes the options of the man page and of the bash
// completion from it. Adding an option is a row there, with the code that
// stores its value.

/// How the bash completion completes the word after an option.
enum class ValueCompletion {
    Flag,  ///< the option takes no value: the next word is completed as any other
    Free,  ///< a value nothing can be proposed for (a number, a name): nothing offered
    Words, ///< one of the blank-separated words of completionWords
    Files, ///< a file whose extension matches completionWords (a bash pattern), or a folder
    Final, ///< nothing may follow the option (--help, --version): nothing offered
};

/// One option of kov-batch.
struct OptionDef {
    std::string_view name;        ///< "--x-column"
    std::string_view shortName;   ///< "-j", or empty: "-j 4" and "-j4" both give the value
    std::string_view argument;    ///< the value's name in --help ("N"); empty for a flag
    std::string_view manArgument; ///< the value as the man page heads it ("N|NAME"), when not argument
    std::string_view defaultValue; ///< the default as the texts give it, which "{default}" stands for
    /// --help's text after the name: lines of at most 59 characters, laid out
    /// from column 20.
    std::string_view help;
    /// The man page's paragraph under the option's heading, in roff.
    std::string_view man;
    ValueCompletion completion = ValueCompletion::Free;
    std::string_view completionWords; ///< the words (Words) or the extension pattern (Files)
    /// Stores the value into the options. Returns false for a value the
    /// option does not take.
    bool (*set)(Options &, const std::string &value) = nullptr;
    /// What a flag (an option without a value) sets to true; a flag that sets
    /// more has set instead, called with an empty value.
    bool Options::*flag = nullptr;
    /// The option concerns each record on its own (its reading, analysis or
    /// metrics): a campaign file may give it per record, in a column named
    /// after it.
    bool perRecord = false;

    bool takesValue() const { return !argument.empty(); }
    /// The argument as the man page's heading shows it.
    std::string_view manArgumentText() const { return manArgument.empty() ? argument : manArgument; }
    /// The column of a campaign file that gives the option per record: its
    /// name without the leading dashes, dashes as underscores ("x_column").
    std::string campaignColumn() const;
};

/// The options in the order --help, the man page and the completion list them.
std::span<const OptionDef> optionTable();

/// text with every "{default}" replaced by the option's default.
std::string withDefault(std::string_view text, const OptionDef &option);

/// Parses the arguments after the program name. Returns the options, or
/// sets error to a one-line message for a usage error.
std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error);

/// Stores value for option into options as the command line does. Returns
/// "" or the message of a value the option does not take ("invalid value
/// 'V' for option '--x-coef'"). A flag takes yes/no, true/false or 1/0.
std::string applyOption(Options &options, const OptionDef &option, const std::string &value);

/// What the options imply once all are given: a column name reads the
/// header (--skip-lines auto) unless --skip-lines N is given.
void settleOptions(Options &options);

/// Strict number grammars of the options: an optional sign and digits; a
/// decimal [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?,
/// correctly rounded (+-infinity beyond the double range, 0 below it).
std::optional<long long> parseWhole(const std::string &text);
std::optional<double> parseDecimal(const std::string &text);

/// The picture name of a record: pattern with every %n replaced, in one
/// pass, by the record's base name.
std::string pictureName(const std::string &pattern, const std::string &baseName);

/// The usage text printed by --help.
std::string usageText();

} // namespace kov::batch

#pragma once

// kov-batch's options, each defined once: the parser walks this table, --help
// is laid out from it, and at build time kov-batch-docs writes the options
// of the man page and of the bash completion from it. Adding an option is a
// row in optiontable.cpp and the function that stores its value.

#include <span>
#include <string>
#include <string_view>

namespace kov::batch {

struct Options;

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
    /// Stores the value (empty for a flag) into the options. Returns false
    /// for a value the option does not take.
    bool (*set)(Options &, const std::string &value) = nullptr;

    bool takesValue() const { return !argument.empty(); }
    /// The argument as the man page's heading shows it.
    std::string_view manArgumentText() const { return manArgument.empty() ? argument : manArgument; }
};

/// The options in the order --help, the man page and the completion list them.
std::span<const OptionDef> optionTable();

/// text with every "{default}" replaced by the option's default.
std::string withDefault(std::string_view text, const OptionDef &option);

} // namespace kov::batch

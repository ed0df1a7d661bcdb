#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace kov {

/// A JSON document whose objects keep their keys in insertion order.
using JsonDocument = nlohmann::ordered_json;

/// The shortest decimal text that reads back as the same value (as
/// std::to_chars writes it: "0.1", "1e-45", "3.4028235e+38"). For a float
/// that is the float's own shortest text, not that of its double.
std::string shortestText(float value);
std::string shortestText(double value);

/// A float of the state as a JSON number: held as the double that the
/// float's shortest text denotes, so the document is exactly what a parser
/// reads back from jsonText, and jsonText writes the float's shortest text
/// (0.1f gives 0.1). A value that is not finite (an energy beyond the float
/// range) has no JSON number and gives null; -0 gives 0.
JsonDocument jsonFloat(float value);

/// A derived double as a JSON number; null when it is not finite; -0 gives 0.
JsonDocument jsonDouble(double value);

/// The value, or null when there is none.
template <typename T>
JsonDocument jsonOptional(const std::optional<T> &value)
{
    if (!value)
        return nullptr;
    if constexpr (std::is_same_v<T, float>)
        return jsonFloat(*value);
    else if constexpr (std::is_same_v<T, double>)
        return jsonDouble(*value);
    else
        return *value;
}

/// The document as UTF-8 text: objects one member a line, indented by two
/// blanks a level; arrays of plain values on one line ("[1.5, -2]"); a line
/// feed at the end. Numbers are written as shortestText of their double
/// (nlohmann's own printer may write more digits than needed); strings are
/// escaped by the library, a byte that is not UTF-8 becoming U+FFFD.
std::string jsonText(const JsonDocument &document);

} // namespace kov

#include "core/output/jsontext.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kov {

namespace {

template <typename T>
std::string toChars(T value)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

bool isContainer(const JsonDocument &v)
{
    return v.is_object() || v.is_array();
}

std::string stringText(const std::string &text)
{
    // Plain printable ASCII needs no escaping; anything else goes through
    // the library, which also checks the UTF-8.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c <= 0x7e && c != '"' && c != '\\';
    });
    if (plain)
        return '"' + text + '"';
    return JsonDocument(text).dump(-1, ' ', false, JsonDocument::error_handler_t::replace);
}

void appendValue(std::string &out, const JsonDocument &v, std::size_t indent)
{
    if (v.is_number_float()) {
        const double x = v.get<double>();
        out += std::isfinite(x) ? shortestText(x) : "null";
        return;
    }
    if (v.is_string()) {
        out += stringText(v.get_ref<const std::string &>());
        return;
    }
    if (!isContainer(v)) {
        out += v.dump(); // null, true, false and integers are exact already
        return;
    }
    const char open = v.is_object() ? '{' : '[';
    const char close = v.is_object() ? '}' : ']';
    out += open;
    if (v.empty()) {
        out += close;
        return;
    }
    if (v.is_array() && std::none_of(v.begin(), v.end(), isContainer)) {
        bool first = true;
        for (const auto &item : v) {
            out += first ? "" : ", ";
            appendValue(out, item, indent);
            first = false;
        }
        out += close;
        return;
    }
    bool first = true;
    for (auto it = v.begin(); it != v.end(); ++it) {
        out += first ? "\n" : ",\n";
        out.append(indent + 2, ' ');
        if (v.is_object()) {
            out += stringText(it.key());
            out += ": ";
        }
        appendValue(out, *it, indent + 2);
        first = false;
    }
    out += '\n';
    out.append(indent, ' ');
    out += close;
}

} // namespace

std::string shortestText(float value)
{
    return toChars(value);
}

std::string shortestText(double value)
{
    return toChars(value);
}

JsonDocument jsonFloat(float value)
{
    if (!std::isfinite(value))
        return nullptr;
    if (value == 0.0f)
        return 0.0; // -0 is 0
    // The float's shortest text t has at most 9 significant digits; x is the
    // double nearest to t. Two different decimals of at most 9 digits lie
    // much farther apart than neighbouring doubles, so t is the only one of
    // them that reads as x, and the shortest text of x is t itself.
    const std::string text = shortestText(value);
    double x = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), x);
    return x;
}

JsonDocument jsonDouble(double value)
{
    if (!std::isfinite(value))
        return nullptr;
    return value == 0.0 ? 0.0 : value; // -0 is 0
}

std::string jsonText(const JsonDocument &document)
{
    std::string out;
    appendValue(out, document, 0);
    out += '\n';
    return out;
}

} // namespace kov

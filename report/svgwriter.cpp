#include "report/svgwriter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kov::report {

namespace {

constexpr std::string_view Replacement = "\xef\xbf\xbd";

/// The length of the well-formed UTF-8 character that starts text[at]
/// (1 to 4), or 0 when none does there.
std::size_t characterLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    return length;
}

/// Advance widths of the printable ASCII characters (space to tilde) in
/// DejaVu Sans, in 1/2048 em.
constexpr std::array<short, 95> Advances = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};
constexpr int Em = 2048;
constexpr int WideAdvance = 2025; // "W"

/// v in tenths, within +-1e10 (a tenth of the largest number written).
long long tenths(double v)
{
    if (std::isnan(v))
        return 0;
    return std::llround(std::clamp(v, -1e9, 1e9) * 10.0);
}

/// Appends a number of tenths: "12", "-3.5", and with bare the leading zero
/// of a magnitude below one left out (".5", "-.3"), as path data allows.
void appendTenths(std::string &out, long long t, bool bare)
{
    if (t < 0)
        out += '-';
    const unsigned long long magnitude = static_cast<unsigned long long>(t < 0 ? -t : t);
    const unsigned long long whole = magnitude / 10, tenth = magnitude % 10;
    if (whole != 0 || !bare || tenth == 0)
        out += std::to_string(whole);
    if (tenth != 0) {
        out += '.';
        out += static_cast<char>('0' + tenth);
    }
}

} // namespace

std::string escapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = characterLength(text, at);
        if (length == 0) {
            // Each byte that starts no character is replaced on its own.
            out += Replacement;
            ++at;
            continue;
        }
        const char c = text[at];
        if (length > 1)
            out.append(text.substr(at, length));
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            out += Replacement;
        else
            out += c;
        at += length;
    }
    return out;
}

double svgCoordinate(double v)
{
    return static_cast<double>(tenths(v)) / 10.0;
}

void appendNumber(std::string &out, double v)
{
    appendTenths(out, tenths(v), false);
}

double textWidth(std::string_view text, double size)
{
    long units = 0;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        units += c >= 0x20 && c < 0x7F ? Advances[c - 0x20] : WideAdvance;
        at += std::max<std::size_t>(1, characterLength(text, at));
    }
    return static_cast<double>(units) * size / Em;
}

// ---- PathData

void PathData::moveTo(double x, double y)
{
    m_x = tenths(x);
    m_y = tenths(y);
    m_text += 'M';
    appendTenths(m_text, m_x, false);
    m_text += ' ';
    appendTenths(m_text, m_y, false);
    m_last = 'M';
}

void PathData::appendStep(long long t)
{
    // A number needs a separator from the one before, unless its sign
    // separates it or a command letter comes before it.
    if (t >= 0 && m_text.back() != m_last)
        m_text += ' ';
    appendTenths(m_text, t, true);
}

void PathData::lineTo(double x, double y)
{
    if (m_last == 0) {
        moveTo(x, y);
        return;
    }
    const long long tx = tenths(x), ty = tenths(y);
    const long long dx = tx - m_x, dy = ty - m_y;
    // A level or upright line needs one number (h, v), any other two (l).
    const char command = dy == 0 && dx != 0 ? 'h' : dx == 0 ? 'v' : 'l';
    if (command != m_last) {
        m_text += command;
        m_last = command;
    }
    if (command != 'v')
        appendStep(dx);
    if (command != 'h')
        appendStep(dy);
    m_x = tx;
    m_y = ty;
}

void PathData::polyline(const std::vector<Point> &points)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            moveTo(points[i].x, points[i].y);
        else
            lineTo(points[i].x, points[i].y);
    }
}

// ---- Svg

Svg::Svg(int width, int height, std::string_view label)
{
    m_out = "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
            "\" role=\"img\" aria-label=\"" + escapeText(label) + "\">";
}

void Svg::group(std::string_view attributes)
{
    endGroup();
    m_out += "<g ";
    m_out += attributes;
    m_out += '>';
    m_inGroup = true;
}

void Svg::endGroup()
{
    if (m_inGroup)
        m_out += "</g>";
    m_inGroup = false;
}

void Svg::path(const PathData &d)
{
    if (d.empty())
        return;
    m_out += "<path d=\"";
    m_out += d.text();
    m_out += "\"/>";
}

void Svg::line(double x1, double y1, double x2, double y2)
{
    PathData d;
    d.moveTo(x1, y1);
    d.lineTo(x2, y2);
    path(d);
}

void Svg::polyline(const std::vector<Point> &points)
{
    if (points.size() < 2)
        return;
    m_out += "<polyline points=\"";
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            m_out += ' ';
        appendNumber(m_out, points[i].x);
        m_out += ',';
        appendNumber(m_out, points[i].y);
    }
    m_out += "\"/>";
}

void Svg::rect(double left, double top, double right, double bottom)
{
    // The corners are rounded, and the size taken between them, so that
    // neighbouring rectangles meet where their corners say.
    const double x = svgCoordinate(std::min(left, right)), y = svgCoordinate(std::min(top, bottom));
    m_out += "<rect x=\"";
    appendNumber(m_out, x);
    m_out += "\" y=\"";
    appendNumber(m_out, y);
    m_out += "\" width=\"";
    appendNumber(m_out, svgCoordinate(std::max(left, right)) - x);
    m_out += "\" height=\"";
    appendNumber(m_out, svgCoordinate(std::max(top, bottom)) - y);
    m_out += "\"/>";
}

void Svg::circle(double cx, double cy, double r)
{
    m_out += "<circle cx=\"";
    appendNumber(m_out, cx);
    m_out += "\" cy=\"";
    appendNumber(m_out, cy);
    m_out += "\" r=\"";
    appendNumber(m_out, r);
    m_out += "\"/>";
}

void Svg::text(double x, double y, std::string_view text, int rotate)
{
    m_out += "<text x=\"";
    appendNumber(m_out, x);
    m_out += "\" y=\"";
    appendNumber(m_out, y);
    if (rotate != 0) {
        m_out += "\" transform=\"rotate(" + std::to_string(rotate) + ' ';
        appendNumber(m_out, x);
        m_out += ' ';
        appendNumber(m_out, y);
        m_out += ')';
    }
    m_out += "\">";
    m_out += escapeText(text);
    m_out += "</text>";
}

std::string Svg::finish()
{
    endGroup();
    m_out += "</svg>";
    return std::move(m_out);
}

} // namespace kov::report

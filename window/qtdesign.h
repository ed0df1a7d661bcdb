#pragma once

// The design tables of design.h in Qt's terms, and the pieces both windows
// build their controls with.

#include "core/drawing/design.h"
#include "pictures/qtcolour.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QIcon;
class QWidget;

namespace kov::design {

QFont qFont(const Font &font);
/// The rectangle in pixels (the one conversion of twips, design::pixels).
QRect pixelRect(const Twips &twips);
QString qString(std::string_view text);

/// Maps the design's font families "MS PGothic" and "MS Gothic" to the
/// installed IPA fonts. Called once by main and by the window tests, before
/// a window is built.
void installFontSubstitutions();

/// The program's icon, the hysteresis loop of the installed kov.svg (a Qt
/// resource, drawn at any size by Qt's SVG icon engine).
QIcon kovIcon();

/// Centres the window on the primary screen, by its outer size.
void centreOnScreen(QWidget *window);

/// Creates the controls of a table on window, in table order (a later one
/// lies in front of an earlier one), each named and placed as designed and
/// in its font. Buttons, labels, shapes and combo boxes are made here with
/// their captions and colours; make makes the other kinds (text boxes, the
/// plot area, the chooser's lists) and gets each control of those kinds.
void createControls(QWidget *window, std::span<const Control> table,
                    const std::function<QWidget *(const Control &)> &make);

/// Gives a text box the colours of its design: a display keeps them while
/// it is disabled.
void applyTextBoxColours(QWidget *box, const Control &control);

/// Chains the keyboard order through the named children of window.
void setTabOrder(QWidget *window, std::span<const std::string_view> names);

/// The child of window with the given design name; throws std::logic_error
/// when there is none of that type (a table and its window disagree).
QWidget *child(QWidget *window, std::string_view name, const char *type);

namespace detail {
template <typename T>
void bindControl(QWidget *window, std::string_view name, T *&member)
{
    member = static_cast<T *>(child(window, name, T::staticMetaObject.className()));
}

/// A control array binds "name(0)" to "name(N-1)".
template <typename T, std::size_t N>
void bindControl(QWidget *window, std::string_view name, std::array<T *, N> &elements)
{
    for (std::size_t i = 0; i < N; ++i)
        bindControl(window, std::string(name) + "(" + std::to_string(i) + ")", elements[i]);
}

/// The names of a comma-separated list, blanks around them dropped.
std::vector<std::string_view> splitNames(std::string_view names);
} // namespace detail

/// Points each member at the child of window that has the member's name (a
/// control array at the elements "name(0)"...). names lists the members'
/// names, separated by commas; KOV_CONTROLS writes both from one list:
///     design::bindControls(this, KOV_CONTROLS(Command2, Command3, Text4));
template <typename... Members>
void bindControls(QWidget *window, std::string_view names, Members &...members)
{
    const std::vector<std::string_view> list = detail::splitNames(names);
    std::size_t i = 0;
    (detail::bindControl(window, list.at(i++), members), ...);
}

} // namespace kov::design

/// The names of the members, as one text, followed by the members.
#define KOV_CONTROLS(...) #__VA_ARGS__, __VA_ARGS__

#pragma once

#include <QLineEdit>

namespace kov {

/// A text box of the main window. Text that the program writes into it is
/// shown from its first character: a preview line shows how the line begins,
/// a path its root, a long number its leading digits. QLineEdit leaves the
/// cursor, and so the visible part, at the end of a text set by setText().
///
/// Only the cursor moves: setText() emits textChanged() exactly as
/// QLineEdit does (once, and only when the text changes), so the change
/// handlers run as before. The box's own input (keys, mouse, input method,
/// drops) keeps Qt's cursor, so typing is not disturbed.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget *parent = nullptr);

    /// A text too long for the box then shows whole in the box's tooltip
    /// (a path, a preview line); a text that fits has none.
    void setWholeTextTip(bool on);

protected:
    bool event(QEvent *event) override;

private:
    void showFromStart();
    void updateTip();

    int m_ownEvents = 0; ///< depth of the box's own events being handled
    bool m_wholeTextTip = false;
};

} // namespace kov

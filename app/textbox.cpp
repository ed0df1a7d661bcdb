#include "app/textbox.h"

namespace kov {

TextBox::TextBox(QWidget *parent) : QLineEdit(parent)
{
    // Connected before any change handler, so that the box already shows the
    // new text from its start when a handler runs (and perhaps lets the
    // window repaint). A rewrite of the same text emits no textChanged but
    // still moves the cursor to the end: cursorPositionChanged catches it.
    connect(this, &QLineEdit::textChanged, this, &TextBox::showFromStart);
    connect(this, &QLineEdit::cursorPositionChanged, this, &TextBox::showFromStart);
}

bool TextBox::event(QEvent *event)
{
    // Whatever moves the cursor while the box handles an event of its own is
    // the user's doing; anything else is the program writing the text.
    ++m_ownEvents;
    const bool handled = QLineEdit::event(event);
    --m_ownEvents;
    return handled;
}

void TextBox::showFromStart()
{
    if (m_ownEvents == 0 && cursorPosition() != 0)
        setCursorPosition(0);
}

} // namespace kov

#include "window/textbox.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionFrame>

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

void TextBox::setWholeTextTip(bool on)
{
    m_wholeTextTip = on;
    connect(this, &QLineEdit::textChanged, this, &TextBox::updateTip, Qt::UniqueConnection);
    updateTip();
}

void TextBox::updateTip()
{
    if (!m_wholeTextTip)
        return;
    // The width QLineEdit shows text in: its contents less the text margins
    // and its own margin of 2 pixels on either side.
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect shown =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const bool fits = fontMetrics().horizontalAdvance(text()) <= shown.width() - 4;
    setToolTip(fits ? QString() : text());
}

bool TextBox::event(QEvent *event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange)
        updateTip();
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

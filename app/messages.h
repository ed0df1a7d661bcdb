#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kov {

enum class MessageIcon { None, Exclamation, Information, Critical };

/// Shows a modal message box with an OK button. An empty title shows the
/// application title "kov".
void showMessage(QWidget *parent, const QString &text, MessageIcon icon,
                 const QString &title = QString());

/// A message as a test sees it.
struct MessageRecord {
    QString text;
    MessageIcon icon;
    QString title; ///< as shown (never empty)
};

/// Replaces the message box by a hook (for tests); an empty hook restores
/// the real box.
void setMessageHook(std::function<void(const MessageRecord &)> hook);

/// Lets pending window events run once, from inside a handler.
void yieldEvents();

} // namespace kov

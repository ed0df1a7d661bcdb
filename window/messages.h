#pragma once

#include <QString>

#include <chrono>
#include <functional>

class QWidget;

namespace kov {

enum class MessageIcon { None, Exclamation, Information, Critical };

/// Shows a modal message box with an OK button, in the font of the parent's
/// window. An empty title shows the application title "kov".
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

/// Reports a failure as the window does: exclamation icon, OK, title
/// "Error", the text followed by the error number in parentheses.
void reportFailure(QWidget *parent, const QString &text, int number);

/// Runs handler and reports, instead of letting it cross the event loop, any
/// exception it throws: a Failure with its description and number, anything
/// else with its message alone.
void runGuarded(QWidget *parent, const std::function<void()> &handler);

/// Lets pending window events run once, from inside a handler.
void yieldEvents();

/// Waits for the given time while window events keep running (they may
/// start other handlers), from inside a handler.
void waitProcessingEvents(std::chrono::milliseconds time);

} // namespace kov

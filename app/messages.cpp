#include "app/messages.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace kov {

namespace {
std::function<void(const MessageRecord &)> &messageHook()
{
    static std::function<void(const MessageRecord &)> hook;
    return hook;
}
} // namespace

void setMessageHook(std::function<void(const MessageRecord &)> hook)
{
    messageHook() = std::move(hook);
}

void showMessage(QWidget *parent, const QString &text, MessageIcon icon, const QString &title)
{
    const MessageRecord record{text, icon, title.isEmpty() ? QStringLiteral("kov") : title};
    if (messageHook()) {
        messageHook()(record);
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(record.title);
    box.setText(record.text);
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void yieldEvents()
{
    QCoreApplication::processEvents();
}

} // namespace kov

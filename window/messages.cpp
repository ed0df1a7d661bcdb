#include "window/messages.h"

#include "core/state/failure.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

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
    // A dialog does not inherit its parent's font: give it the font of the
    // window it belongs to, so that its text (Japanese too) looks like
    // every other control.
    if (parent)
        box.setFont(parent->window()->font());
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

void reportFailure(QWidget *parent, const QString &text, int number)
{
    showMessage(parent, QStringLiteral("%1 (%2)").arg(text).arg(number), MessageIcon::Exclamation,
                QStringLiteral("Error"));
}

void runGuarded(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const Failure &failure) {
        reportFailure(parent, QString::fromStdString(failure.what()), failure.number());
    } catch (const std::exception &error) {
        showMessage(parent, QString::fromLocal8Bit(error.what()), MessageIcon::Exclamation,
                    QStringLiteral("Error"));
    } catch (...) {
        showMessage(parent, QStringLiteral("Unexpected failure"), MessageIcon::Exclamation,
                    QStringLiteral("Error"));
    }
}

void yieldEvents()
{
    QCoreApplication::processEvents();
}

void waitProcessingEvents(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace kov

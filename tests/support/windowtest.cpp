#include "tests/support/windowtest.h"

#include "window/frmopensave.h"
#include "window/kovapp.h"
#include "window/qtdesign.h"

#include <QLineEdit>
#include <QPushButton>

#include <fstream>

namespace kov::test {

void WindowTest::initTestCase()
{
    design::installFontSubstitutions();
    setMessageHook([this](const MessageRecord &m) { m_messages.append(m); });
}

void WindowTest::init()
{
    openWindow();
}

void WindowTest::cleanup()
{
    closeWindow();
}

void WindowTest::openWindow()
{
    m_messages.clear();
    m_state = std::make_unique<SharedState>();
    m_form = createMainWindow(*m_state);
}

void WindowTest::closeWindow()
{
    frmOpenSave::shownHook() = nullptr;
    m_form.reset();
    m_state.reset();
}

QString WindowTest::record(const QString &name, const std::string &rows)
{
    const QString path = m_dir.filePath(name);
    std::ofstream(path.toStdString(), std::ios::binary) << "h\r\nh\r\nh\r\nh\r\nh\r\n" << rows;
    return path;
}

void WindowTest::browseWith(const std::function<void(frmOpenSave &)> &act)
{
    frmOpenSave::shownHook() = [act](frmOpenSave &dialog) {
        act(dialog);
        if (dialog.isVisible())
            dialog.reject();
    };
    controls(*m_form).Command2->click();
    frmOpenSave::shownHook() = nullptr;
}

void WindowTest::browse(const QString &path)
{
    browseWith([path](frmOpenSave &dialog) {
        dialog.txtOpenSave->setText(path);
        dialog.cmdOpenSave[0]->click();
    });
}

int WindowTest::pressNextCycleUntilDisabled(int limit, const std::function<void()> &after)
{
    int presses = 0;
    while (controls(*m_form).Command6->isEnabled() && presses < limit) {
        controls(*m_form).Command6->click();
        ++presses;
        if (after)
            after();
    }
    return presses;
}

} // namespace kov::test

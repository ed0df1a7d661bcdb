#pragma once

// The fixture of the window tests (Qt Test): the complete main window on a
// fresh shared state for every test function, message boxes captured
// instead of shown, and a scratch folder for records.

#include "core/state/sharedstate.h"
#include "window/form1.h"
#include "window/messages.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

namespace kov {
class frmOpenSave;
}

namespace kov::test {

/// Derive a Qt Test class from it. Its init() and cleanup() build and
/// discard the window around every test function; a class that needs more
/// declares its own and calls these (or openWindow() and closeWindow()).
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<SharedState> m_state;
    std::unique_ptr<Form1> m_form;
    QList<MessageRecord> m_messages; ///< every message box since init()
    QTemporaryDir m_dir;             ///< lives as long as the test class

    /// Builds the window as the program does (createMainWindow), on a fresh
    /// state, with no messages captured yet.
    void openWindow();
    void closeWindow();

    /// Writes a record into m_dir: five header lines "h", then rows as
    /// given. Returns its path.
    QString record(const QString &name, const std::string &rows);

    /// Opens the chooser with "Browse"; act drives the shown dialog, which
    /// is cancelled afterwards if act left it open, so that a failed check
    /// cannot hang the test.
    void browseWith(const std::function<void(frmOpenSave &)> &act);

    /// Chooses path through the chooser, as a user who types it into the
    /// file-name box and presses OK.
    void browse(const QString &path);

    /// Presses "Next cycle" until it is disabled, at most limit times, and
    /// returns the number of presses. after runs after every press.
    int pressNextCycleUntilDisabled(int limit = MaxCycle + 1, const std::function<void()> &after = {});

protected slots:
    void initTestCase();
    void init();
    void cleanup();
};

} // namespace kov::test

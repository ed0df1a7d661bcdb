#include "core/state/sharedstate.h"
#include "tests/support/files.h"
#include "tests/support/windowtest.h"
#include "window/drives.h"
#include "window/filelists.h"
#include "window/folderscan.h"
#include "window/form1.h"
#include "window/frmopensave.h"
#include "window/messages.h"

#include <QAbstractItemView>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kov;

class ChooserTest : public test::WindowTest {
    Q_OBJECT

private:
    QString file(const QString &relative, const std::string &bytes)
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        test::writeAll(path.toStdString(), bytes);
        return path;
    }

    QStringList listed(QListWidget *list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text().trimmed();
        return items;
    }

private slots:
    void initTestCase()
    {
        WindowTest::initTestCase();
        file(QStringLiteral("data/run1.prn"), "line 1\r\nline 2\r\nline 3\r\n");
        file(QStringLiteral("data/RUN2.PRN"), "a\nb\nc\nd\ne\nf\ng\n");
        file(QStringLiteral("data/notes.txt"), "x\n");
        file(QStringLiteral("data/.hidden.prn"), "x\n");
        QDir().mkpath(m_dir.path() + QStringLiteral("/data/sub"));
    }

    void init()
    {
        QDir::setCurrent(m_dir.path() + QStringLiteral("/data"));
        openWindow();
        for (int i = 0; i < 6; ++i)
            controls(*m_form).Text11[static_cast<std::size_t>(i)]->setText(QStringLiteral("old %1").arg(i));
    }

    void opensInTheCurrentFolder()
    {
        browseWith([&](frmOpenSave &d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Data File Open"));
            QCOMPARE(d.txtOpenSave->text(), QStringLiteral("*.prn"));
            QCOMPARE(d.txtOpenSave->selectedText(), QStringLiteral("*.prn"));
            QCOMPARE(d.lblOpenSave[2]->text(), m_dir.path() + QStringLiteral("/data"));
            QVERIFY(!d.cmdOpenSave[0]->isEnabled());
            // Case-insensitive pattern; hidden files and other patterns left out.
            QCOMPARE(listed(reinterpret_cast<QListWidget *>(d.filOpenSave)),
                     (QStringList{QStringLiteral("run1.prn"), QStringLiteral("RUN2.PRN")}));
            QCOMPARE(d.size(), QSize(384, 254));
        });
    }

    // The folder-path label lies behind the drive list it overlaps: the
    // whole list is visible and a click anywhere on it opens it.
    void driveListLiesOverThePathLabel()
    {
        browseWith([](frmOpenSave &d) {
            for (int y = 25; y <= 44; ++y)
                QVERIFY(d.childAt(300, y) == d.drvOpenSave || d.drvOpenSave->isAncestorOf(d.childAt(300, y)));
            QWidget *lowerEdge = d.childAt(300, 43);
            QTest::mouseClick(lowerEdge, Qt::LeftButton, {}, lowerEdge->mapFrom(&d, QPoint(300, 43)));
            QTRY_VERIFY(d.drvOpenSave->view()->isVisible());
            d.drvOpenSave->hidePopup();
        });
    }

    void cancelKeepsTheChoiceButSetsTheButtons()
    {
        m_state->DataFileName = "/earlier.prn";
        m_state->DataLoaded = 1;
        browseWith([](frmOpenSave &d) { d.cmdOpenSave[1]->click(); });
        QCOMPARE(m_state->DataFileName, std::string("/earlier.prn"));
        QCOMPARE(controls(*m_form).Text11[0]->text(), QStringLiteral("old 0"));
        QVERIFY(controls(*m_form).Command3[0]->isEnabled());
        QVERIFY(controls(*m_form).Command3[1]->isEnabled());
        QVERIFY(!controls(*m_form).Command6->isEnabled());
        QVERIFY(!controls(*m_form).Command8->isEnabled());
        QCOMPARE(m_state->DataLoaded, 0);
        // Escape and the window's close command close it the same way.
        browseWith([](frmOpenSave &d) { QTest::keyClick(&d, Qt::Key_Escape); });
        browseWith([](frmOpenSave &d) { d.close(); });
        QCOMPARE(m_state->DataFileName, std::string("/earlier.prn"));
        QVERIFY(m_messages.isEmpty());
    }

    void okNeedsAChangedName()
    {
        browseWith([](frmOpenSave &d) {
            QTest::keyClick(d.txtOpenSave, Qt::Key_Return);
            QVERIFY(d.isVisible());
            d.txtOpenSave->setText(QStringLiteral("*.PRN"));
            QVERIFY(d.cmdOpenSave[0]->isEnabled());
            d.txtOpenSave->setText(QStringLiteral("*.prn"));
            QVERIFY(d.cmdOpenSave[0]->isEnabled()); // nothing disables it again
        });
    }

    void clickThenOkChoosesAndPreviews()
    {
        browseWith([](frmOpenSave &d) {
            auto *list = reinterpret_cast<QListWidget *>(d.filOpenSave);
            list->setCurrentRow(0);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
            QCOMPARE(d.txtOpenSave->text(), QStringLiteral("run1.prn"));
            d.cmdOpenSave[0]->click();
        });
        QCOMPARE(QString::fromStdString(m_state->DataFileName), m_dir.path() + QStringLiteral("/data/run1.prn"));
        // Three lines replace only the first three preview lines.
        QCOMPARE(controls(*m_form).Text11[0]->text(), QStringLiteral("line 1"));
        QCOMPARE(controls(*m_form).Text11[0]->cursorPosition(), 0);
        QCOMPARE(controls(*m_form).Text11[2]->text(), QStringLiteral("line 3"));
        QCOMPARE(controls(*m_form).Text11[3]->text(), QStringLiteral("old 3"));

        browseWith([](frmOpenSave &d) {
            d.txtOpenSave->setText(QStringLiteral("RUN2.PRN"));
            d.cmdOpenSave[0]->click();
        });
        QCOMPARE(controls(*m_form).Text11[5]->text(), QStringLiteral("f"));
    }

    void patternAndFolderNames()
    {
        browseWith([&](frmOpenSave &d) {
            d.txtOpenSave->setText(QStringLiteral("*.txt"));
            d.cmdOpenSave[0]->click();
            QVERIFY(d.isVisible());
            QCOMPARE(listed(reinterpret_cast<QListWidget *>(d.filOpenSave)), QStringList{QStringLiteral("notes.txt")});
            QCOMPARE(d.txtOpenSave->text(), QStringLiteral("*.txt"));

            d.txtOpenSave->setText(m_dir.path() + QStringLiteral("/data/sub/"));
            d.cmdOpenSave[0]->click();
            QCOMPARE(d.dirOpenSave->path(), m_dir.path() + QStringLiteral("/data/sub"));
            QCOMPARE(d.filOpenSave->path(), m_dir.path() + QStringLiteral("/data/sub"));
            QCOMPARE(d.lblOpenSave[2]->text(), m_dir.path() + QStringLiteral("/data/sub"));
            QCOMPARE(d.txtOpenSave->text(), QStringLiteral("*.txt"));
            d.cmdOpenSave[1]->click();
        });
        // The next opening starts in the folder visited last, even after Cancel.
        browseWith([&](frmOpenSave &d) { QCOMPARE(d.dirOpenSave->path(), m_dir.path() + QStringLiteral("/data/sub")); });
    }

    void missingFileIsReported()
    {
        browseWith([&](frmOpenSave &d) {
            d.txtOpenSave->setText(QStringLiteral("nothing.prn"));
            d.cmdOpenSave[0]->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.txtOpenSave->text(), QStringLiteral("nothing.prn"));
        });
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QString::fromUtf8("ファイルが存在しません。"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].title, QStringLiteral("kov"));
        QVERIFY(m_state->DataFileName.empty());
    }

    void emptyFileIsChosenWithAWarning()
    {
        file(QStringLiteral("data/empty.prn"), "");
        browseWith([](frmOpenSave &d) {
            d.txtOpenSave->setText(QStringLiteral("empty.prn"));
            d.cmdOpenSave[0]->click();
        });
        QVERIFY(QString::fromStdString(m_state->DataFileName).endsWith(QStringLiteral("/empty.prn")));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("empty")));
        QCOMPARE(controls(*m_form).Text11[0]->text(), QStringLiteral("old 0"));
    }

    void pathsAndPatterns()
    {
        QCOMPARE(joinFolderAndName(QStringLiteral("/"), QStringLiteral("RUN1.PRN")), QStringLiteral("/RUN1.PRN"));
        QCOMPARE(joinFolderAndName(QStringLiteral("/TEST"), QStringLiteral("RUN1.PRN")), QStringLiteral("/TEST/RUN1.PRN"));
        QVERIFY(matchesPattern(QStringLiteral("a.PRN"), QStringLiteral("*.prn")));
        QVERIFY(matchesPattern(QStringLiteral("a.txt"), QStringLiteral("*.prn;*.txt")));
        QVERIFY(!matchesPattern(QStringLiteral("a.prnx"), QStringLiteral("*.prn")));
        QVERIFY(matchesPattern(QStringLiteral("ab"), QStringLiteral("a?")));
        const QStringList mounts = drives::parseMounts(QStringLiteral(
            "proc /proc proc rw 0 0\n/dev/vda / ext4 rw 0 0\ntmpfs /tmp tmpfs rw 0 0\nsysfs /sys sysfs rw 0 0\n"));
        QCOMPARE(mounts, (QStringList{QStringLiteral("/"), QStringLiteral("/tmp")}));
        QCOMPARE(drives::driveOf(QStringLiteral("/tmp/x/y"), mounts), QStringLiteral("/tmp"));
        QCOMPARE(drives::driveOf(QStringLiteral("/tmpx"), mounts), QStringLiteral("/"));
    }
};

QTEST_MAIN(ChooserTest)
#include "chooser_test.moc"

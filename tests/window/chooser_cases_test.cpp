#include "core/state/sharedstate.h"
#include "tests/support/windowtest.h"
#include "window/drives.h"
#include "window/filelists.h"
#include "window/folderscan.h"
#include "window/form1.h"
#include "window/frmopensave.h"
#include "window/messages.h"
#include "window/picturebox.h"
#include "window/preview.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

#include <unistd.h>

using namespace kov;

namespace {

const QString NoFileMessage = QStringLiteral("ファイルが存在しません。");

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList itemTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QListWidgetItem *findItem(QListWidget *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().trimmed() == text)
            return list->item(i);
    return nullptr;
}

void doubleClickItem(QListWidget *list, QListWidgetItem *item)
{
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QStringList previewTexts(const Form1 &form)
{
    QStringList texts;
    for (const QLineEdit *line : controls(form).Text11)
        texts << line->text();
    return texts;
}

} // namespace

class ChooserCasesTest : public test::WindowTest {
    Q_OBJECT

private:
    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_root; ///< the temporary tree, symbolic links resolved

    /// A dialog in the open mode, shown but not modal, as Browse prepares it.
    std::unique_ptr<frmOpenSave> openDialog(const QString &title = QStringLiteral("Data File Open"))
    {
        auto dialog = std::make_unique<frmOpenSave>(*m_form);
        dialog->setWindowTitle(title);
        dialog->txtOpenSave->setText(QStringLiteral("*.prn"));
        dialog->txtOpenSave->selectAll();
        dialog->show();
        return dialog;
    }

    void presetPreview()
    {
        for (int i = 0; i < 6; ++i)
            controls(*m_form).Text11[static_cast<std::size_t>(i)]->setText(QStringLiteral("old%1").arg(i));
    }

private slots:
    void initTestCase()
    {
        WindowTest::initTestCase();
        m_startFolder = QDir::currentPath();
    }

    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_root = QFileInfo(m_tmp->path()).canonicalFilePath();
        QDir root(m_root);
        writeBytes(root.filePath("a.prn"), "l1\r\nl2\r\nl3\r\nl4\r\nl5\r\nl6\r\nl7\r\n");
        writeBytes(root.filePath("B.PRN"), "head\r\n1 2\r\n3 4\r\n");
        writeBytes(root.filePath("notes.txt"), "text\n");
        writeBytes(root.filePath(".hidden.prn"), "hidden\n");
        QVERIFY(root.mkdir("sub"));
        QVERIFY(root.mkdir("sub2"));
        QVERIFY(root.mkdir(".hiddendir"));
        writeBytes(root.filePath("sub/c.prn"), "c\n");
        QVERIFY(QDir::setCurrent(m_root));

        openWindow();
    }

    void cleanup()
    {
        closeWindow();
        QDir::setCurrent(m_startFolder);
        m_tmp.reset();
    }

    // --- the list layer ---------------------------------------------------

    void patternMatching_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("case ignored") << "RUN1.PRN" << "*.prn" << true;
        QTest::newRow("suffix inside") << "run1.prn.bak" << "*.prn" << false;
        QTest::newRow("second of several") << "run1.txt" << "*.prn;*.TXT" << true;
        QTest::newRow("blanks around parts") << "run1.txt" << " *.prn ; *.txt " << true;
        QTest::newRow("question mark one char") << "r1.prn" << "r?.prn" << true;
        QTest::newRow("question mark not two") << "r12.prn" << "r?.prn" << false;
        QTest::newRow("star dot star, no point") << "README" << "*.*" << true;
        QTest::newRow("empty pattern") << "anything" << "" << true;
        QTest::newRow("non-ASCII case") << "ÄRGER.PRN" << "ärger.*" << true;
    }

    void patternMatching()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(matchesPattern(name, pattern), matches);
    }

    void mountsTable()
    {
        QDir root(m_root);
        QVERIFY(root.mkdir("with blank"));
        const QString blank = root.filePath("with blank");
        const QString text = QStringLiteral(
                                 "proc /proc proc rw 0 0\n"
                                 "sysfs /sys sysfs rw 0 0\n"
                                 "tmpfs /dev/shm tmpfs rw 0 0\n"
                                 "tmpfs /run/user/0 tmpfs rw 0 0\n"
                                 "/dev/vda / ext4 rw 0 0\n"
                                 "/dev/vdb %1 ext4 rw 0 0\n"
                                 "/dev/vdb %1 ext4 rw 0 0\n"
                                 "/dev/vdc %2 ext4 rw 0 0\n"
                                 "/dev/vdd %3/missing ext4 rw 0 0\n"
                                 "/dev/vde %3/a.prn ext4 rw 0 0\n"
                                 "cgroup2 %3/sub cgroup2 rw 0 0\n"
                                 "garbage\n")
                                 .arg(m_root + "/sub2", QString(blank).replace(' ', "\\040"), m_root);
        const QStringList drives = drives::parseMounts(text);
        QCOMPARE(drives, QStringList({"/", m_root + "/sub2", blank}));
        QCOMPARE(drives::parseMounts(QString()), QStringList({"/"}));
    }

    void driveOfFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("drive");
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("below a mount point") << "/work/main/app" << "/work";
        QTest::newRow("longest prefix wins") << "/work/data/x" << "/work/data";
        QTest::newRow("name prefix is not a folder prefix") << "/workshop" << "/";
    }

    void driveOfFolder()
    {
        QFETCH(QString, path);
        QFETCH(QString, drive);
        QCOMPARE(drives::driveOf(path, {"/", "/work", "/work/data"}), drive);
    }

    void folderListing()
    {
        QDir root(m_root);
        writeBytes(root.filePath("apple.prn"), "x");
        QVERIFY(QFile::link(root.filePath("a.prn"), root.filePath("link.prn")));
        QVERIFY(QFile::link(root.filePath("nowhere"), root.filePath("dangling.prn")));
        QStringList folders, files;
        QString error;
        QVERIFY(readFolder(m_root, &folders, &files, &error));
        QCOMPARE(folders, QStringList({"sub", "sub2"}));
        QCOMPARE(files, QStringList({"a.prn", "apple.prn", "B.PRN", "link.prn", "notes.txt"}));

        QVERIFY(!readFolder(root.filePath("missing"), &folders, &files, &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QVERIFY(!readFolder(root.filePath("a.prn"), &folders, &files, &error));
        QCOMPARE(error, QStringLiteral("Not a directory"));
    }

    // --- the dialog -------------------------------------------------------

    void folderListShowsPathThenSubfolders()
    {
        auto dialog = openDialog();
        QCOMPARE(dialog->drvOpenSave->drive(), drives::driveOf(m_root));
        // The path from the root down, then the visible subfolders one level deeper.
        const QStringList folders = itemTexts(dialog->dirOpenSave);
        const int depth = static_cast<int>(m_root.count('/'));
        QCOMPARE(folders.first(), QStringLiteral("/"));
        QCOMPARE(folders.size(), depth + 1 + 2);
        QCOMPARE(folders.at(depth), QString(2 * depth, ' ') + QFileInfo(m_root).fileName());
        QCOMPARE(folders.at(depth + 1), QString(2 * (depth + 1), ' ') + "sub");
        QCOMPARE(folders.last(), QString(2 * (depth + 1), ' ') + "sub2");
        QCOMPARE(dialog->dirOpenSave->currentRow(), depth);
    }

    void enterChoosesTypedName()
    {
        auto dialog = openDialog();
        QTest::keyClicks(dialog->txtOpenSave, QStringLiteral("B.PRN"));
        QTest::keyClick(dialog->txtOpenSave, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(QString::fromStdString(m_state->DataFileName), m_root + "/B.PRN");
    }

    void typedNameChooses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("chosen"); // relative to the tree
        QTest::newRow("listed file") << "a.prn" << "a.prn";
        QTest::newRow("file outside the pattern") << "notes.txt" << "notes.txt";
        QTest::newRow("file in a subfolder") << "sub/c.prn" << "sub/c.prn";
        QTest::newRow("absolute path") << "%1/sub/c.prn" << "sub/c.prn";
    }

    void typedNameChooses()
    {
        QFETCH(QString, text);
        QFETCH(QString, chosen);
        auto dialog = openDialog();
        dialog->txtOpenSave->setText(text.contains("%1") ? text.arg(m_root) : text);
        dialog->cmdOpenSave_Click(0);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(QString::fromStdString(m_state->DataFileName), m_root + "/" + chosen);
        QVERIFY(m_messages.isEmpty());
    }

    void typedPatternFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("txt") << "*.txt" << "" << QStringList{"notes.txt"};
        QTest::newRow("several") << "*.txt;a.*" << "" << QStringList{"a.prn", "notes.txt"};
        QTest::newRow("question mark") << "?.prn" << "" << QStringList{"a.prn", "B.PRN"};
        QTest::newRow("with a folder") << "sub/*.PRN" << "/sub" << QStringList{"c.prn"};
    }

    void typedPatternFilters()
    {
        QFETCH(QString, text);
        QFETCH(QString, folder);
        QFETCH(QStringList, files);
        auto dialog = openDialog();
        dialog->txtOpenSave->setText(text);
        dialog->cmdOpenSave_Click(0);
        QVERIFY(dialog->isVisible());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(itemTexts(dialog->filOpenSave), files);
        QCOMPARE(dialog->filOpenSave->path(), m_root + folder);
        QCOMPARE(dialog->dirOpenSave->path(), m_root + folder);
        // The box shows the pattern in force.
        QCOMPARE(dialog->txtOpenSave->text(), text.mid(text.lastIndexOf('/') + 1));
    }

    void typedFolderMovesAllLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folder");
        QTest::newRow("relative") << "sub" << "/sub";
        QTest::newRow("trailing separator") << "sub/" << "/sub";
        QTest::newRow("absolute") << "%1/sub" << "/sub";
        QTest::newRow("parent and back") << "../%2/sub2/" << "/sub2";
        QTest::newRow("same folder") << "." << "";
    }

    void typedFolderMovesAllLists()
    {
        QFETCH(QString, text);
        QFETCH(QString, folder);
        auto dialog = openDialog();
        dialog->filOpenSave->setPattern(QStringLiteral("*.PRN"));
        dialog->txtOpenSave->setText(QString(text).replace("%1", m_root).replace("%2", QFileInfo(m_root).fileName()));
        dialog->cmdOpenSave_Click(0);
        QVERIFY(dialog->isVisible());
        QVERIFY2(m_messages.isEmpty(), m_messages.isEmpty() ? "" : qPrintable(m_messages[0].text));
        const QString target = m_root + folder;
        QCOMPARE(dialog->filOpenSave->path(), target);
        QCOMPARE(dialog->dirOpenSave->path(), target);
        QCOMPARE(dialog->lblOpenSave[2]->text(), target);
        QCOMPARE(dialog->drvOpenSave->drive(), drives::driveOf(target));
        QCOMPARE(QDir::currentPath(), target);
        if (!folder.isEmpty()) // a move puts the list's pattern back into the box
            QCOMPARE(dialog->txtOpenSave->text(), QStringLiteral("*.PRN"));
    }

    void missingNameWarns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no such file") << "missing.prn";
        QTest::newRow("hidden file") << ".hidden.prn";
        QTest::newRow("in a missing folder") << "nowhere/a.prn";
        QTest::newRow("through a file") << "a.prn/x";
        QTest::newRow("empty") << "";
    }

    void missingNameWarns()
    {
        QFETCH(QString, text);
        auto dialog = openDialog();
        dialog->txtOpenSave->setText(text);
        dialog->cmdOpenSave_Click(0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, NoFileMessage);
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].title, QStringLiteral("kov"));
        QCOMPARE(dialog->txtOpenSave->text(), text);
        QCOMPARE(m_state->DataFileName, std::string());
    }

    void lookUpFailureShowsSystemText()
    {
        auto dialog = openDialog();
        dialog->txtOpenSave->setText(QString(300, 'x') + ".prn");
        dialog->cmdOpenSave_Click(0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("File name too long"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
    }

    void saveMode()
    {
        presetPreview();
        {
            auto dialog = openDialog(QStringLiteral("Data File Save"));
            dialog->txtOpenSave->setText(QStringLiteral("new.prn"));
            dialog->cmdOpenSave_Click(0);
            QVERIFY(!dialog->isVisible());
            QVERIFY(m_messages.isEmpty());
            QCOMPARE(m_state->DataFileName, std::string());
        }
        auto dialog = openDialog(QStringLiteral("Data File Save"));
        dialog->txtOpenSave->setText(QStringLiteral("a.prn"));
        dialog->cmdOpenSave_Click(0);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(QString::fromStdString(m_state->DataFileName), m_root + "/a.prn");
        QCOMPARE(previewTexts(*m_form)[0], QStringLiteral("old0"));
    }

    void unreadableFolderKeepsLists_data()
    {
        QTest::addColumn<bool>("byPermission");
        QTest::newRow("removed after listing") << false;
        QTest::newRow("no permission") << true;
    }

    void unreadableFolderKeepsLists()
    {
        QFETCH(bool, byPermission);
        if (byPermission && ::geteuid() == 0)
            QSKIP("permissions do not stop root");
        auto dialog = openDialog();
        const QString sub2 = m_root + "/sub2";
        if (byPermission)
            QVERIFY(QFile::setPermissions(sub2, {}));
        else
            QVERIFY(QDir(m_root).rmdir("sub2"));
        const QStringList folders = itemTexts(dialog->dirOpenSave);
        doubleClickItem(dialog->dirOpenSave, findItem(dialog->dirOpenSave, "sub2"));
        if (byPermission)
            QFile::setPermissions(sub2, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].text.contains(sub2), qPrintable(m_messages[0].text));
        QVERIFY(m_messages[0].text.endsWith(byPermission ? "Permission denied"
                                                         : "No such file or directory"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialog->dirOpenSave->path(), m_root);
        QCOMPARE(itemTexts(dialog->dirOpenSave), folders);
        QCOMPARE(dialog->filOpenSave->path(), m_root);
        QCOMPARE(dialog->lblOpenSave[2]->text(), m_root);
        QCOMPARE(QDir::currentPath(), m_root);
        QVERIFY(dialog->isVisible());
    }

    void folderDoubleClickMovesAndFollowsCurrentFolder()
    {
        auto dialog = openDialog();
        doubleClickItem(dialog->dirOpenSave, findItem(dialog->dirOpenSave, "sub"));
        QCOMPARE(dialog->dirOpenSave->path(), m_root + "/sub");
        QCOMPARE(dialog->filOpenSave->path(), m_root + "/sub");
        QCOMPARE(itemTexts(dialog->filOpenSave), QStringList({"c.prn"}));
        QCOMPARE(dialog->lblOpenSave[2]->text(), m_root + "/sub");
        QCOMPARE(QDir::currentPath(), m_root + "/sub");
        QCOMPARE(drives::currentFolderOfDrive(drives::driveOf(m_root)), m_root + "/sub");
        // Back up through the path entries.
        doubleClickItem(dialog->dirOpenSave, findItem(dialog->dirOpenSave, QFileInfo(m_root).fileName()));
        QCOMPARE(dialog->filOpenSave->path(), m_root);
        QCOMPARE(QDir::currentPath(), m_root);
    }

    void chosenFileThatVanishedIsStoredWithAWarning()
    {
        presetPreview();
        const QString path = m_root + "/d.prn";
        writeBytes(path, "x\n");
        auto dialog = openDialog();
        QVERIFY(QFile::remove(path));
        doubleClickItem(dialog->filOpenSave, findItem(dialog->filOpenSave, "d.prn"));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(QString::fromStdString(m_state->DataFileName), path);
        QCOMPARE(previewTexts(*m_form)[0], QStringLiteral("old0"));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].text.endsWith("No such file or directory"), qPrintable(m_messages[0].text));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
    }

    // --- the preview ------------------------------------------------------

    void previewLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b", "old2", "old3", "old4", "old5"};
        QTest::newRow("LF, last line open") << QByteArray("a\nb") << QStringList{"a", "b", "old2", "old3", "old4", "old5"};
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b", "old2", "old3", "old4", "old5"};
        QTest::newRow("mixed") << QByteArray("a\r\rb\n\r\nc") << QStringList{"a", "", "b", "", "c", "old5"};
        QTest::newRow("empty lines") << QByteArray("\n\n") << QStringList{"", "", "old2", "old3", "old4", "old5"};
        QTest::newRow("more than six") << QByteArray("1\n2\n3\n4\n5\n6\n7\n8\n") << QStringList{"1", "2", "3", "4", "5", "6"};
        QTest::newRow("exactly six, no last end") << QByteArray("1\n2\n3\n4\n5\n6") << QStringList{"1", "2", "3", "4", "5", "6"};
        QTest::newRow("blanks and tabs kept") << QByteArray("  x\t1 \n") << QStringList{"  x\t1 ", "old1", "old2", "old3", "old4", "old5"};
        QTest::newRow("UTF-8") << QByteArray("荷重 μm\n") << QStringList{"荷重 μm", "old1", "old2", "old3", "old4", "old5"};
        QTest::newRow("invalid UTF-8") << QByteArray("a\xff" "b\n") << QStringList{QString("a") + QChar(0xFFFD) + "b", "old1", "old2", "old3", "old4", "old5"};
    }

    void previewLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, lines);
        presetPreview();
        const QString path = m_root + "/p.prn";
        writeBytes(path, content);
        MODULE11::PreviewDataFile(*m_form, path.toStdString());
        QCOMPARE(previewTexts(*m_form), lines);
        QVERIFY(m_messages.isEmpty());
    }

    void previewCapsHugeLine()
    {
        const QString path = m_root + "/huge.prn";
        writeBytes(path, QByteArray(1 << 20, 'x') + "\nsecond\n");
        MODULE11::PreviewDataFile(*m_form, path.toStdString());
        // What reaches the box is a prefix of the line, as long as the box takes.
        const qsizetype kept = std::min<qsizetype>(65536, controls(*m_form).Text11[0]->maxLength());
        QCOMPARE(controls(*m_form).Text11[0]->text(), QString(kept, 'x'));
        QCOMPARE(controls(*m_form).Text11[1]->text(), QStringLiteral("second"));
    }

    void previewOfFolderWarns()
    {
        presetPreview();
        MODULE11::PreviewDataFile(*m_form, (m_root + "/sub").toStdString());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].text.contains("not an ordinary file"), qPrintable(m_messages[0].text));
        QCOMPARE(previewTexts(*m_form)[0], QStringLiteral("old0"));
    }

    // --- "Browse" ---------------------------------------------------------

    void browseResetsTheWindowForANewDrawing()
    {
        m_state->DataFileName = "earlier.prn";
        m_state->DataLoaded = 1;
        presetPreview();
        controls(*m_form).Command6->setEnabled(true);
        controls(*m_form).Command8->setEnabled(true);
        for (QPushButton *b : controls(*m_form).Command1)
            b->setEnabled(true);
        PlotCanvas &canvas = controls(*m_form).Picture1->canvas();
        canvas.Scale(0, 0, 10, 10);
        canvas.Line(0, 0, 10, 10, Qt::red);

        bool shown = false;
        browseWith([&](frmOpenSave &dialog) {
            shown = true;
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Data File Open"));
            QCOMPARE(dialog.txtOpenSave->selectedText(), QStringLiteral("*.prn"));
            QVERIFY(dialog.isModal());
            QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.filOpenSave));
            QTest::mouseClick(dialog.cmdOpenSave[1], Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
        });
        QVERIFY(shown);
        QCOMPARE(m_state->DataFileName, std::string("earlier.prn"));
        QCOMPARE(previewTexts(*m_form)[0], QStringLiteral("old0"));
        QCOMPARE(m_state->DataLoaded, 0);
        QVERIFY(controls(*m_form).Command3[0]->isEnabled());
        QVERIFY(controls(*m_form).Command3[1]->isEnabled());
        QVERIFY(!controls(*m_form).Command6->isEnabled());
        QVERIFY(!controls(*m_form).Command8->isEnabled());
        for (QPushButton *b : controls(*m_form).Command1)
            QVERIFY(!b->isEnabled());
        const QImage image = controls(*m_form).Picture1->image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(image.pixel(x, y), qRgb(255, 255, 255));
        QVERIFY(m_messages.isEmpty());
    }

    void browseChoosesThroughTheButton()
    {
        browseWith([](frmOpenSave &dialog) {
            doubleClickItem(dialog.filOpenSave, findItem(dialog.filOpenSave, "a.prn"));
        });
        QCOMPARE(QString::fromStdString(m_state->DataFileName), m_root + "/a.prn");
        QCOMPARE(controls(*m_form).Text11[5]->text(), QStringLiteral("l6"));
        QVERIFY(controls(*m_form).Command3[0]->isEnabled());
    }

    // --- the examples, where scripts/run.sh starts the window ----------------

    /// The record that needs no settings is the first one listed, and a
    /// double-click chooses it. (Its whole course, through the window and
    /// kov-batch, is the case folder tests/data/cases/first-try.)
    void examplesFolderListsFirstTryFirst()
    {
        // A writable copy of the examples folder as the current folder.
        QVERIFY(QDir(m_root).mkdir("examples"));
        const QDir examples(m_root + "/examples");
        const QDir source(QStringLiteral(KOV_EXAMPLES_DIR));
        for (const QString &name : source.entryList({"*.prn"}, QDir::Files))
            if (!name.endsWith("-kov.prn"))
                QVERIFY(QFile::copy(source.filePath(name), examples.filePath(name)));
        QVERIFY(QDir::setCurrent(examples.path()));

        browseWith([&](frmOpenSave &dialog) {
            QCOMPARE(dialog.filOpenSave->item(0)->text().trimmed(), QStringLiteral("first-try.prn"));
            doubleClickItem(dialog.filOpenSave, dialog.filOpenSave->item(0));
        });
        QCOMPARE(QString::fromStdString(m_state->DataFileName), examples.filePath("first-try.prn"));
        QVERIFY(controls(*m_form).Command3[0]->isEnabled());
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    }
};

QTEST_MAIN(ChooserCasesTest)
#include "chooser_cases_test.moc"

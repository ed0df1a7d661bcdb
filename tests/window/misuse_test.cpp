// The window under misuse: a seeded random sequence of user actions on the
// real main window (every subsystem connected, as the program builds it),
// then a clean analysis whose results file must equal kov-batch's.
//
// The actions: clicks on every button (a disabled one ignores the click, as
// it ignores a user), typed garbage and extreme numbers in every input field
// and both unit boxes, the file chooser opened and cancelled or used to pick
// a good, a broken or a vanishing record, and actions queued with a zero
// timer so that they arrive while a handler lets pending events run. "Exit"
// is left out: it ends the process.
//
// KOV_MISUSE_SEED and KOV_MISUSE_ACTIONS override the seed and the count.

#include "core/state/sharedstate.h"
#include "tests/support/files.h"
#include "tests/support/windowtest.h"
#include "window/form1.h"
#include "window/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <random>
#include <vector>

#include <sys/resource.h>

using kov::Form1;

namespace {

constexpr int MaxCleanCycles = 101;

/// Picks the result of the next file chooser that opens: a record to type
/// into its file-name box and choose, or none to cancel it.
struct ChooserPlan {
    bool pending = false;
    QString choice; ///< empty: Cancel
};

} // namespace

/// One window for the whole test, built once and kept across both test
/// functions.
class MisuseTest : public kov::test::WindowTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() {}
    void cleanup() {}
    void randomActionsNeverBreakTheWindow();
    void failedWritesAreReportedAndKeepTheOldFile();

private:
    // The window and its surroundings.
    void chooseNext(const QString &path);
    void actOnChooser();
    void closeStrayModal();
    void browse(const QString &path);
    void settle();

    // Random actions.
    void randomAction(int depth);
    QString garbageText();
    void typeInto(QLineEdit *field, const QString &text);
    QString someRecord();

    // A clean course.
    void setCleanSettings();
    bool cleanCourse(QString *whyNot);
    std::string batchResults();

    QString m_record;  ///< the real record, a reinforced-concrete column test
    QString m_junk;    ///< random bytes
    QString m_empty;   ///< an empty file
    QString m_short;   ///< two rows, no cycle
    QString m_gone;    ///< a record whose folder is removed after choosing it
    std::mt19937 m_random;
    ChooserPlan m_plan;
    QTimer m_watchdog;
    int m_messageCount = 0;
    int m_strayModals = 0;
    QList<kov::MessageRecord> m_lastMessages;
};

void MisuseTest::initTestCase()
{
    WindowTest::initTestCase();
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());
    m_record = dir.filePath("rc-column.prn");
    QVERIFY(QFile::copy(QStringLiteral(KOV_EXAMPLES_DIR "/rc-column-soesianawati1986.prn"),
                        m_record));
    QFile::setPermissions(m_record, QFile::ReadOwner | QFile::WriteOwner);

    const unsigned seed = qEnvironmentVariableIsSet("KOV_MISUSE_SEED")
                              ? static_cast<unsigned>(qEnvironmentVariableIntValue("KOV_MISUSE_SEED"))
                              : 20261208u;
    qInfo("misuse seed %u", seed);
    m_random.seed(seed);

    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    };
    QByteArray junk;
    for (int i = 0; i < 3000; ++i)
        junk.append(static_cast<char>(m_random() & 0xff));
    m_junk = write("junk.prn", junk);
    m_empty = write("empty.prn", {});
    m_short = write("short.prn", "h\r\nh\r\nh\r\nh\r\nh\r\n1 0 0\r\n2 1 1\r\n");
    m_gone = dir.filePath("gone/vanishing.prn");

    kov::setMessageHook([this](const kov::MessageRecord &m) {
        ++m_messageCount;
        m_lastMessages.append(m);
    });
    // A modal window nobody planned for (a message box shown past the hook)
    // would wait for a human for ever: close it and count it as a fault.
    connect(&m_watchdog, &QTimer::timeout, this, &MisuseTest::closeStrayModal);
    m_watchdog.start(200);

    openWindow();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void MisuseTest::cleanupTestCase()
{
    m_watchdog.stop();
    closeWindow();
    kov::setMessageHook({});
}

void MisuseTest::settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void MisuseTest::closeStrayModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || m_plan.pending)
        return;
    ++m_strayModals;
    qWarning("an unplanned modal window was open: %s", qPrintable(modal->objectName()));
    modal->close();
}

void MisuseTest::chooseNext(const QString &path)
{
    m_plan.pending = true;
    m_plan.choice = path;
    QTimer::singleShot(0, this, &MisuseTest::actOnChooser);
}

/// Runs inside the chooser's modal loop: types the planned path into the
/// file-name box and presses OK, or presses Cancel.
void MisuseTest::actOnChooser()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog) {
        // Not open yet (or the click did nothing): look again shortly.
        if (m_plan.pending)
            QTimer::singleShot(10, this, &MisuseTest::actOnChooser);
        return;
    }
    const ChooserPlan plan = m_plan;
    m_plan = {};
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("txtOpenSave"));
    auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("cmdOpenSave(0)"));
    auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("cmdOpenSave(1)"));
    if (!plan.choice.isEmpty() && name && ok) {
        name->setText(plan.choice);
        ok->click();
        // A name that did not choose (a warning keeps the dialog open) is
        // given up with Cancel.
        if (QApplication::activeModalWidget() == dialog)
            cancel ? cancel->click() : static_cast<void>(dialog->close());
    } else if (cancel) {
        cancel->click();
    } else {
        dialog->close();
    }
}

void MisuseTest::browse(const QString &path)
{
    chooseNext(path);
    controls(*m_form).Command2->click();
    m_plan = {};
}

QString MisuseTest::garbageText()
{
    static const char *const texts[] = {
        "", "0", "1", "2", "3", "5", "-1", "-0", "2.5", "3.5", "-2.5", "1000", "0.001",
        "32767", "32768", "-32768", "-32769", "65536", "99999999", "1e38", "3.4e38", "3.5e38",
        "-1e39", "1e308", "1e400", "-1e-400", "1e-45", "&H7FFF", "&HFFFF", "&H8000", "&O77777",
        "&Hzz", "&", "abc", " 1 2 ", "1,5", "1.5D3", "1e", "1e+", ".", "-", "+", "..1", "nan",
        "inf", "-Infinity", "0x10", "12abc", "μ", "ファイル", "\t\n", "2000", "2001", "548", "547",
        "549", "100", "101",
    };
    const auto pick = m_random() % 10;
    if (pick < 7)
        return QString::fromUtf8(texts[m_random() % (sizeof texts / sizeof texts[0])]);
    if (pick == 7) // a random integer of any size
        return QString::number(static_cast<int>(m_random()) >> (m_random() % 31));
    if (pick == 8) { // random characters: ASCII with controls, Latin, Greek, kana, kanji
        static const char16_t ranges[][2] = {{0x01, 0x7F}, {0xA0, 0x24F}, {0x391, 0x3C9},
                                             {0x3041, 0x30FF}, {0x4E00, 0x4FFF}};
        QString s;
        const int n = static_cast<int>(m_random() % 12);
        for (int i = 0; i < n; ++i) {
            const auto &r = ranges[m_random() % 5];
            s.append(QChar(static_cast<char16_t>(r[0] + m_random() % (r[1] - r[0] + 1u))));
        }
        return s;
    }
    // a very long number
    return QString(static_cast<qsizetype>(1 + m_random() % 5000), QLatin1Char('9'));
}

void MisuseTest::typeInto(QLineEdit *field, const QString &text)
{
    if (!field->isEnabled())
        return; // a user cannot type into a disabled box
    bool ascii = true; // QTest types only ASCII keys
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii && m_random() % 4 == 0 && text.size() < 12) {
        // Typed key by key, each key running the change handling.
        field->setFocus();
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    } else {
        field->setText(text);
    }
}

QString MisuseTest::someRecord()
{
    switch (m_random() % 8) {
    case 0: return m_junk;
    case 1: return m_empty;
    case 2: return m_short;
    case 3: {
        QDir(m_dir.path()).mkpath(QStringLiteral("gone"));
        QFile::remove(m_gone);
        QFile::copy(m_record, m_gone);
        return m_gone;
    }
    case 4: return m_dir.filePath("no-such-file.prn");
    default: return m_record;
    }
}

void MisuseTest::randomAction(int depth)
{
    auto &f = controls(*m_form);
    std::vector<QPushButton *> buttons{f.Command3[0], f.Command3[1], f.Command6, f.Command8};
    buttons.insert(buttons.end(), f.Command1.begin(), f.Command1.end());
    std::vector<QLineEdit *> fields{f.Text4, f.Text5, f.Text10, f.Text13, f.Text14,
                                    f.Text12[0], f.Text12[1], f.Text9, f.Text15[0], f.Text15[1]};

    const auto kind = m_random() % 100;
    if (kind < 40) {
        buttons[m_random() % buttons.size()]->click();
    } else if (kind < 75) {
        typeInto(fields[m_random() % fields.size()], garbageText());
    } else if (kind < 80) {
        QComboBox *combo = m_random() % 2 ? f.Combo1 : f.Combo2;
        if (m_random() % 2)
            combo->setCurrentIndex(static_cast<int>(m_random() % static_cast<unsigned>(combo->count())));
        else
            combo->setEditText(garbageText());
    } else if (kind < 86) {
        if (QApplication::activeModalWidget() || m_plan.pending)
            return; // one chooser at a time, as a user sees it
        chooseNext(m_random() % 3 ? QString() : someRecord());
        f.Command2->click();
        m_plan = {};
    } else if (kind < 88) {
        // The record's folder vanishes at any moment.
        QDir(m_dir.filePath("gone")).removeRecursively();
    } else if (kind < 98 && depth == 0) {
        // Queue a few actions: they run inside whatever handler next lets
        // pending events run (Draw, the step buttons, Next cycle, the cycle view).
        const int n = 1 + static_cast<int>(m_random() % 3);
        for (int i = 0; i < n; ++i)
            QTimer::singleShot(0, this, [this] { randomAction(1); });
        buttons[m_random() % buttons.size()]->click();
    } else {
        settle();
    }
}

void MisuseTest::setCleanSettings()
{
    auto &f = controls(*m_form);
    f.Text4->setText(QStringLiteral("2"));
    f.Text5->setText(QStringLiteral("3"));
    f.Text13->setText(QStringLiteral("1000"));
    f.Text14->setText(QStringLiteral("1"));
    f.Text10->setText(QStringLiteral("4"));
    f.Text10->setText(QStringLiteral("5")); // a change, so the record is read afresh
    f.Combo1->setEditText(QStringLiteral("mm"));
    f.Combo2->setEditText(QStringLiteral("kN"));
}

/// "Browse" the real record, "Draw", "Next cycle" until it is disabled.
/// True when "Write to file" is then enabled.
bool MisuseTest::cleanCourse(QString *whyNot)
{
    auto &f = controls(*m_form);
    setCleanSettings();
    browse(m_record);
    settle();
    if (m_state->DataFileName != m_record.toStdString()) {
        *whyNot = QStringLiteral("the chooser did not choose the record");
        return false;
    }
    if (!f.Command3[0]->isEnabled()) {
        *whyNot = QStringLiteral("Draw is disabled after Browse");
        return false;
    }
    f.Command3[0]->click();
    settle();
    const int cycles = pressNextCycleUntilDisabled(MaxCleanCycles, [this] { settle(); });
    if (!f.Command8->isEnabled()) {
        *whyNot = QStringLiteral("Write to file is disabled after %1 cycles").arg(cycles);
        return false;
    }
    return true;
}

std::string MisuseTest::batchResults()
{
    const kov::test::BatchRun r = kov::test::runBatch(
        m_dir.path().toStdString(), {"--x-column", "2", "--y-column", "3", "--skip-lines", "5", "--x-coef", "1000",
                                     "--x-unit", "mm", "--y-unit", "kN", "--stdout", m_record.toStdString()});
    return r.status == 0 ? r.out : std::string();
}

void MisuseTest::randomActionsNeverBreakTheWindow()
{
    const int actions = qEnvironmentVariableIsSet("KOV_MISUSE_ACTIONS")
                            ? qEnvironmentVariableIntValue("KOV_MISUSE_ACTIONS")
                            : 3000;
    for (int i = 0; i < actions; ++i) {
        randomAction(0);
        // The shared state stays within its own ranges whatever was typed.
        QVERIFY2(m_state->CycleNo >= 0 && m_state->CycleNo <= kov::MaxCycle, qPrintable(QString::number(i)));
        // (Draw takes the column fields as they stand, so a column may be 0 or
        // negative here: the reader then leaves that array alone.)
        QVERIFY2(m_state->SkipLines >= 0, qPrintable(QString::number(i)));
        QVERIFY(m_state->RowCount >= 0.0f && m_state->RowCount <= 2000.0f);
    }
    settle();
    QTest::qWait(50);
    QCOMPARE(m_strayModals, 0);
    qInfo("%d actions, %d messages shown", actions, m_messageCount);
    // What the user was told, by kind (the path of a record aside).
    QMap<QString, int> kinds;
    for (const kov::MessageRecord &m : std::as_const(m_lastMessages))
        ++kinds[m.title + ": " + QString(m.text).replace(m_dir.path(), QStringLiteral("DIR")).left(100)];
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        qInfo("  %4d x %s", it.value(), qPrintable(it.key()));

    // After all that, a clean course gives kov-batch's results file.
    QFile::remove(QDir(m_dir.path()).filePath("rc-column-kov.prn"));
    QString whyNot;
    QVERIFY2(cleanCourse(&whyNot), qPrintable(whyNot));
    m_lastMessages.clear();
    controls(*m_form).Command8->click();
    QVERIFY2(m_lastMessages.isEmpty(), qPrintable(m_lastMessages.value(0).text));
    const std::string written = kov::test::readAll(m_dir.filePath("rc-column-kov.prn").toStdString());
    const std::string expected = batchResults();
    QVERIFY(!expected.empty());
    QCOMPARE(kov::test::withoutLine2(written), kov::test::withoutLine2(expected));
}

void MisuseTest::failedWritesAreReportedAndKeepTheOldFile()
{
    const QString target = QDir(m_dir.path()).filePath("rc-column-kov.prn");
    const QByteArray old = "results of an earlier run\r\n";
    auto plantOld = [&] {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(old);
    };
    auto readTarget = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QString whyNot;

    // A full disk: a small file-size limit for this process while writing.
    plantOld();
    QVERIFY2(cleanCourse(&whyNot), qPrintable(whyNot));
    m_lastMessages.clear();
    {
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 200;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        controls(*m_form).Command8->click();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    QCOMPARE(m_lastMessages.size(), 1);
    QVERIFY2(m_lastMessages[0].text.contains(QStringLiteral("(61)")), qPrintable(m_lastMessages[0].text));
    QVERIFY2(m_lastMessages[0].text.contains(target), qPrintable(m_lastMessages[0].text));
    QCOMPARE(readTarget(), old);
    // The analysis is kept: with room again, the same results are written.
    QVERIFY(controls(*m_form).Command8->isEnabled());
    controls(*m_form).Command8->click();
    QCOMPARE(m_lastMessages.size(), 1);
    QCOMPARE(kov::test::withoutLine2(readTarget().toStdString()), kov::test::withoutLine2(batchResults()));
    QVERIFY(!controls(*m_form).Command8->isEnabled());

    // The record's folder removed between "Browse" and "Write to file".
    const QString folder = QDir(m_dir.path()).filePath("moving");
    QVERIFY(QDir().mkpath(folder));
    const QString moved = QDir(folder).filePath("rc-column.prn");
    QVERIFY(QFile::copy(m_record, moved));
    setCleanSettings();
    browse(moved);
    QCOMPARE(QString::fromStdString(m_state->DataFileName), moved);
    controls(*m_form).Command3[0]->click();
    pressNextCycleUntilDisabled(MaxCleanCycles);
    QVERIFY(controls(*m_form).Command8->isEnabled());
    QVERIFY(QDir(folder).removeRecursively());
    m_lastMessages.clear();
    controls(*m_form).Command8->click();
    QCOMPARE(m_lastMessages.size(), 1);
    QVERIFY2(m_lastMessages[0].text.contains(QStringLiteral("(76)")), qPrintable(m_lastMessages[0].text));
    QVERIFY(!QFileInfo::exists(folder));
}

QTEST_MAIN(MisuseTest)
#include "misuse_test.moc"

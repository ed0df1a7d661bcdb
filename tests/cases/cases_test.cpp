// Every folder of tests/data/cases is one analysis, run through kov-batch and
// through the window; both must write the folder's expected-kov.prn (line 2,
// the record's path and the time of writing, aside):
//   record.prn        the test record
//   args              kov-batch's options, one per line (no file: none)
//   window-args       the window's settings where args use what only kov-batch
//                     reads (a column name, auto, units from the header)
//   expected-kov.prn  the results file
//   expected-status, expected-err  instead: kov-batch fails with this exit
//                     status and standard error, and writes nothing
// A case whose args only kov-batch understands and that has no window-args
// (decimal commas, a row range, a peak rule) runs in kov-batch alone.
// The window gets the same settings typed into its fields, chooses the record
// through the file chooser, and runs "Draw", "Next cycle" until it is
// disabled, and "Write to file". A new case is a new folder.

#include "tests/support/files.h"
#include "tests/support/windowtest.h"
#include "window/form1.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kov;

namespace {

struct Case {
    fs::path record;
    std::vector<std::string> args;
    std::string expected;
    std::vector<std::string> windowArgs;
    bool windowCase = true;
    std::string expectedStatus;
    std::string expectedErr;
};

std::vector<std::string> argLines(const fs::path &file)
{
    std::vector<std::string> lines;
    const std::string args = test::readAll(file);
    for (std::size_t at = 0, end; at < args.size(); at = end + 1) {
        end = std::min(args.find('\n', at), args.size());
        lines.push_back(args.substr(at, end - at));
    }
    return lines;
}

Case loadCase(const QString &name)
{
    const fs::path folder = test::dataFolder() / "cases" / name.toStdString();
    Case c{folder / "record.prn", argLines(folder / "args"), test::readAll(folder / "expected-kov.prn"), {}, true, {}, {}};
    if (fs::exists(folder / "expected-err"))
        c.expectedErr = test::readAll(folder / "expected-err");
    if (fs::exists(folder / "expected-status")) {
        c.expectedStatus = test::readAll(folder / "expected-status");
        c.windowCase = false;
    } else if (fs::exists(folder / "window-args")) {
        c.windowArgs = argLines(folder / "window-args");
    } else {
        // The window has fields for column and header numbers only.
        static const std::regex batchOnly(R"(.*[^0-9+-].*)");
        c.windowArgs = c.args;
        static const std::regex windowField("--([xy]-(column|coef|unit)|skip-lines)(=.*)?");
        for (std::size_t i = 0; i < c.args.size(); ++i) {
            const bool numbered = c.args[i] == "--x-column" || c.args[i] == "--y-column" || c.args[i] == "--skip-lines";
            const bool option = c.args[i].starts_with("--") && (i == 0 || !c.args[i - 1].starts_with("--"));
            if ((option && !std::regex_match(c.args[i], windowField)) ||
                (numbered && i + 1 < c.args.size() && std::regex_match(c.args[i + 1], batchOnly)))
                c.windowCase = false;
        }
    }
    return c;
}

/// Line 2 of a results file written now for record.
bool isLine2Of(const std::string &line, const fs::path &record)
{
    static const std::regex when(R"(, at (0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])-\d{4}, ([01]\d|2[0-3]):[0-5]\d:[0-5]\d)");
    const std::string head = "File Name = " + record.string();
    return line.rfind(head, 0) == 0 && std::regex_match(line.substr(head.size()), when);
}

} // namespace

class CasesTest : public test::WindowTest {
    Q_OBJECT

private:
    void addCases(bool windowCasesOnly)
    {
        QTest::addColumn<QString>("name");
        const QDir cases(QString::fromStdString((test::dataFolder() / "cases").string()));
        for (const QString &name : cases.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (!windowCasesOnly || loadCase(name).windowCase)
                QTest::newRow(qPrintable(name)) << name;
    }

    /// Types kov-batch's options into the window's fields.
    void typeSettings(const std::vector<std::string> &args)
    {
        const std::map<std::string, std::function<void(const QString &)>> fields = {
            {"--x-column", [this](const QString &v) { controls(*m_form).Text4->setText(v); }},
            {"--y-column", [this](const QString &v) { controls(*m_form).Text5->setText(v); }},
            {"--skip-lines", [this](const QString &v) { controls(*m_form).Text10->setText(v); }},
            {"--x-coef", [this](const QString &v) { controls(*m_form).Text13->setText(v); }},
            {"--y-coef", [this](const QString &v) { controls(*m_form).Text14->setText(v); }},
            {"--x-unit", [this](const QString &v) { controls(*m_form).Combo1->setEditText(v); }},
            {"--y-unit", [this](const QString &v) { controls(*m_form).Combo2->setEditText(v); }},
        };
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string name = args[i], value;
            if (const std::size_t eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            const auto field = fields.find(name);
            QVERIFY2(field != fields.end(), ("the window has no field for " + name).c_str());
            field->second(QString::fromStdString(value));
        }
    }

private slots:
    void kovBatch_data() { addCases(false); }

    /// The results file, its path on standard output, on standard error only
    /// the warnings of expected-err; --stdout prints the same text and writes no file.
    void kovBatch()
    {
        QFETCH(QString, name);
        const Case c = loadCase(name);
        test::ScratchFolder work;
        fs::copy_file(c.record, work / "record.prn");
        std::vector<std::string> args = c.args;
        args.push_back("record.prn");
        const test::BatchRun r = test::runBatch(work.path(), args);
        if (!c.expectedStatus.empty()) {
            QCOMPARE(std::to_string(r.status) + "\n", c.expectedStatus);
            QCOMPARE(r.err, c.expectedErr);
            QCOMPARE(work.names(), std::vector<std::string>{"record.prn"});
            return;
        }
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, c.expectedErr); // warnings only, when the case lists them
        const fs::path results = work / "record-kov.prn";
        QCOMPARE(r.out, results.string() + "\n");
        const std::string written = test::readAll(results);
        QCOMPARE(test::withoutLine2(written), test::withoutLine2(c.expected));
        const std::vector<std::string> lines = test::crlfLines(written);
        QVERIFY2(lines.size() > 1 && isLine2Of(lines[1], work / "record.prn"), lines.at(1).c_str());

        fs::remove(results);
        args.insert(args.end() - 1, "--stdout");
        const test::BatchRun printed = test::runBatch(work.path(), args);
        QCOMPARE(printed.status, 0);
        QCOMPARE(test::withoutLine2(printed.out), test::withoutLine2(written));
        QVERIFY(!fs::exists(results));
    }

    void window_data() { addCases(true); }

    /// One press of "Next cycle" per row of the results.
    void window()
    {
        QFETCH(QString, name);
        const Case c = loadCase(name);
        QVERIFY(QDir(m_dir.path()).mkpath(name));
        const QString record = m_dir.filePath(name + "/record.prn");
        fs::copy_file(c.record, record.toStdString());

        browse(record);
        QCOMPARE(QString::fromStdString(m_state->DataFileName), record);
        const std::string text = test::readAll(c.record);
        QCOMPARE(controls(*m_form).Text11[0]->text(), QString::fromStdString(text.substr(0, text.find_first_of("\r\n"))));
        typeSettings(c.windowArgs);
        controls(*m_form).Command3[0]->click();
        const int presses = pressNextCycleUntilDisabled();
        QVERIFY(controls(*m_form).Command8->isEnabled());
        controls(*m_form).Command8->click();
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));

        const std::string written = test::readAll(m_dir.filePath(name + "/record-kov.prn").toStdString());
        QCOMPARE(test::withoutLine2(written), test::withoutLine2(c.expected));
        QCOMPARE(presses, static_cast<int>(test::crlfLines(c.expected).size()) - 5);
    }
};

QTEST_MAIN(CasesTest)
#include "cases_test.moc"

#include "app/core/sharedstate.h"
#include "app/form1.h"
#include "app/kovapp.h"
#include "app/messages.h"
#include "plot/picturebox.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <memory>

using namespace kov;

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SharedState> m_state;
    std::unique_ptr<Form1> m_form;
    QList<MessageRecord> m_messages;

private slots:
    void initTestCase()
    {
        installFontSubstitutions();
        setMessageHook([this](const MessageRecord &m) { m_messages.append(m); });
    }

    void init()
    {
        m_messages.clear();
        m_state = std::make_unique<SharedState>();
        m_form = createMainWindow(*m_state);
    }

    void cleanup()
    {
        m_form.reset();
        m_state.reset();
    }

    void startUpState()
    {
        const SharedState &s = *m_state;
        QCOMPARE(s.XColumn, 1);
        QCOMPARE(s.YColumn, 2);
        QCOMPARE(s.SkipLines, 5);
        QCOMPARE(s.DataLoaded, 0);
        QCOMPARE(s.XCoef, 1.0f);
        QCOMPARE(s.YCoef, 1.0f);
        QCOMPARE(s.ScaleXMax, 0.0f);
        QCOMPARE(s.ScaleXMin, 0.0f);
        QCOMPARE(s.ScaleYMax, 0.0f);
        QCOMPARE(s.ScaleYMin, 0.0f);
        QCOMPARE(s.CycleEndStep(0), 1);
        QCOMPARE(s.PeakStep(0, 0), 1);
        QCOMPARE(s.PeakStep(1, 0), 1);
        QVERIFY(s.DataFileName.empty());
        QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("mm"));
        QCOMPARE(m_form->Combo2->currentText(), QStringLiteral("tonf"));
        for (QLineEdit *line : m_form->Text11)
            QCOMPARE(line->text(), QString());
        QCOMPARE(m_form->Text2[0]->text(), QString());
        QCOMPARE(m_form->Text9->text(), QStringLiteral("1"));
        QCOMPARE(m_form->Text1->text(), QStringLiteral("0"));
        QCOMPARE(m_form->windowTitle(), QStringLiteral("kov"));

        QVERIFY(m_form->Command2->isEnabled());
        QVERIFY(m_form->Command4->isEnabled());
        QVERIFY(!m_form->Command3[0]->isEnabled());
        QVERIFY(!m_form->Command3[1]->isEnabled());
        QVERIFY(!m_form->Command6->isEnabled());
        QVERIFY(!m_form->Command8->isEnabled());
        for (QPushButton *b : m_form->Command1)
            QVERIFY(!b->isEnabled());
        // Displays take no input.
        QVERIFY(!m_form->Text7->isEnabled());
        QVERIFY(!m_form->Text11[0]->isEnabled());
        QVERIFY(m_form->Text4->isEnabled());
    }

    void windowIsCentredAndLaidOut()
    {
        QCOMPARE(m_form->size(), QSize(447, 487));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(m_form->frameGeometry().center().x() - screen.center().x()) <= 2);
        // Positions of a few controls against the design, in twips / 15.
        QCOMPARE(m_form->Picture1->geometry(), QRect(160, 8, 273, 249));
        QCOMPARE(m_form->Text12[0]->geometry(), QRect(368, 136, 65, 19));
        QCOMPARE(m_form->Command1[5]->geometry(), QRect(248, 320, 17, 17));
        QCOMPARE(m_form->Text11[5]->geometry(), QRect(24, 440, 401, 17));
        QCOMPARE(m_form->Command8->geometry(), QRect(24, 312, 113, 25));
        QCOMPARE(m_form->findChild<QLabel *>(QStringLiteral("Label17(1)"))->text(), QStringLiteral("Peak step 2"));
        QCOMPARE(m_form->Command3[1]->text(), QStringLiteral("Clear scale"));
        const QImage shot = m_form->grab().toImage();
        QCOMPARE(shot.size(), QSize(447, 487));
        // The plot area is white, the cycle label red.
        QCOMPARE(shot.pixelColor(300, 100), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(20, 266), QColor(255, 0, 0));
    }

    void columnFields_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("column");
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("negative") << "-3" << 1;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("blank inside") << "1 2" << 12;
        QTest::newRow("letter") << "x5" << 1;
        QTest::newRow("too large") << "99999" << 32767;
        QTest::newRow("huge") << "1e400" << 32767;
    }

    void columnFields()
    {
        QFETCH(QString, typed);
        QFETCH(int, column);
        m_form->Text4->clear();
        QTest::keyClicks(m_form->Text4, typed);
        QCOMPARE(int(m_state->XColumn), column);
        m_form->Text5->setText(typed);
        QCOMPARE(int(m_state->YColumn), column);
        QCOMPARE(m_form->Text4->text(), typed);
    }

    void everyKeystrokeIsAChange()
    {
        m_form->Text4->clear();
        QCOMPARE(m_state->XColumn, 1);
        QList<int> seen;
        connect(m_form->Text4, &QLineEdit::textChanged, this, [&] { seen.append(m_state->XColumn); });
        QTest::keyClicks(m_form->Text4, QStringLiteral("12"));
        QCOMPARE(seen, (QList<int>{1, 12}));
    }

    void skipAndCoefficients()
    {
        m_state->DataLoaded = 1;
        m_form->Text10->setText(QStringLiteral("-2"));
        QCOMPARE(m_state->SkipLines, 0);
        QCOMPARE(m_state->DataLoaded, 0);
        m_form->Text10->setText(QStringLiteral("40000"));
        QCOMPARE(m_state->SkipLines, 32767);
        m_form->Text13->setText(QStringLiteral("0.5e1"));
        QCOMPARE(m_state->XCoef, 5.0f);
        m_form->Text14->setText(QStringLiteral("2.5kg"));
        QCOMPARE(m_state->YCoef, 2.5f);
        m_form->Text13->setText(QStringLiteral("1e39"));
        QCOMPARE(m_state->XCoef, std::numeric_limits<float>::max());
        m_form->Text14->setText(QStringLiteral("-1e400"));
        QCOMPARE(m_state->YCoef, -std::numeric_limits<float>::max());
    }

    void rangeFields()
    {
        m_form->Text12[0]->setText(QStringLiteral("10"));
        QCOMPARE(m_state->ScaleXMax, 10.0f);
        QCOMPARE(m_state->ScaleXMin, -11.0f);
        m_form->Text12[1]->setText(QStringLiteral("66"));
        QCOMPARE(m_state->ScaleYMax, 66.0f);
        QCOMPARE(m_state->ScaleYMin, static_cast<float>(66.0 * -1.1));
        m_form->Text12[0]->clear();
        QCOMPARE(m_state->ScaleXMax, 0.0f);
        QCOMPARE(m_state->ScaleXMin, 0.0f);
        m_form->Text12[0]->setText(QStringLiteral("1e39"));
        QCOMPARE(m_state->ScaleXMin, -std::numeric_limits<float>::max());
    }

    void endStepFieldChangesOnlyTheCurrentCycle()
    {
        m_state->CycleNo = 3;
        m_state->CycleEndStep(2) = 7;
        m_form->Text9->setText(QStringLiteral("15"));
        QCOMPARE(m_state->CycleEndStep(3), 15);
        QCOMPARE(m_state->CycleEndStep(2), 7);
        QCOMPARE(m_state->CycleEndStep(0), 1);
        m_form->Text9->setText(QStringLiteral("70000"));
        QCOMPARE(m_state->CycleEndStep(3), 32767);
    }

    void buttonTable()
    {
        m_form->applyButtonEvent(ButtonEvent::BrowseClosed);
        QVERIFY(m_form->Command3[0]->isEnabled() && m_form->Command3[1]->isEnabled());
        m_form->applyButtonEvent(ButtonEvent::DrawDone);
        QVERIFY(m_form->Command6->isEnabled());
        m_form->applyButtonEvent(ButtonEvent::NextCycleStarts);
        for (QPushButton *b : m_form->Command1)
            QVERIFY(b->isEnabled());
        m_form->applyButtonEvent(ButtonEvent::NextCycleAtEnd);
        QVERIFY(!m_form->Command6->isEnabled());
        QVERIFY(m_form->Command8->isEnabled());
        m_form->applyButtonEvent(ButtonEvent::WriteToFile);
        QVERIFY(!m_form->Command8->isEnabled());
        for (QPushButton *b : m_form->Command1)
            QVERIFY(!b->isEnabled());
        QVERIFY(m_form->Command3[0]->isEnabled());
        QVERIFY(m_form->Command2->isEnabled() && m_form->Command4->isEnabled());
    }

    void writeToFileWritesTheResults()
    {
        QTemporaryDir dir;
        m_state->DataFileName = (dir.path() + QStringLiteral("/run1.prn")).toStdString();
        m_state->CycleNo = 1;
        m_state->PeakStep(0, 1) = 1;
        m_state->XData(1) = 1.0625f;
        m_form->Combo1->setEditText(QStringLiteral("cm"));
        m_form->applyButtonEvent(ButtonEvent::NextCycleAtEnd);
        m_form->Command8->click();
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!m_form->Command8->isEnabled());
        std::ifstream in((dir.path() + QStringLiteral("/run1-kov.prn")).toStdString(), std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        QVERIFY(all.find("  (cm)") != std::string::npos);
        QVERIFY(all.find("    1    1    1.063 ") != std::string::npos);
    }

    void writeToFileReportsAFailure()
    {
        QTemporaryDir dir;
        const QString target = dir.path() + QStringLiteral("/gone/run1-kov.prn");
        m_state->DataFileName = (dir.path() + QStringLiteral("/gone/run1.prn")).toStdString();
        m_form->applyButtonEvent(ButtonEvent::NextCycleAtEnd);
        m_form->Command8->click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Error"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QVERIFY2(m_messages[0].text.contains(target), qPrintable(m_messages[0].text));
        QVERIFY(m_messages[0].text.endsWith(QStringLiteral("(76)")));
        QVERIFY(!m_form->Command8->isEnabled());
    }

    void typedUnitsStayAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("prefix of an entry") << "m";
        QTest::newRow("other case of an entry") << "KN";
        QTest::newRow("not in the list") << "kip";
    }

    // The unit boxes keep what the user typed: no completion from the list,
    // no case folding to a list entry.
    void typedUnitsStayAsTyped()
    {
        QFETCH(QString, typed);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        for (QComboBox *combo : {m_form->Combo1, m_form->Combo2}) {
            combo->setFocus();
            combo->lineEdit()->clear();
            QTest::keyClicks(combo, typed);
            QTest::keyClick(combo, Qt::Key_Return);
            QCOMPARE(combo->currentText(), typed);
        }
    }

    void exitEndsTheProgram()
    {
        bool ended = false;
        Form1::exitHook() = [&] { ended = true; };
        m_form->Command4->click();
        Form1::exitHook() = nullptr;
        QVERIFY(ended);
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"

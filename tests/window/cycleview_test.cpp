#include "core/analysis/cycle.h"
#include "core/analysis/nextcycle.h"
#include "core/reader/numtext.h"
#include "core/state/sharedstate.h"
#include "pictures/plotcanvas.h"
#include "tests/support/files.h"
#include "tests/support/windowtest.h"
#include "window/cycleview.h"
#include "window/form1.h"
#include "window/frmopensave.h"
#include "window/messages.h"
#include "window/module11.h"
#include "window/picturebox.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>

using namespace kov;

class CycleViewTest : public test::WindowTest {
    Q_OBJECT

private:
    /// Runs kov-batch on a record with the window's default settings and
    /// returns the results it prints.
    std::string batchResults(const QString &path)
    {
        const test::BatchRun r = test::runBatch(m_dir.path().toStdString(), {"--stdout", path.toStdString()});
        return r.status == 0 ? r.out : std::string();
    }

    std::string readAll(const QString &path) { return test::readAll(path.toStdString()); }

    /// A timer that clicks a button at the given yield of the next analysis.
    void clickAtYield(QAbstractButton *button, int yield)
    {
        auto *count = new int(0);
        auto *timer = new QTimer(m_form.get());
        connect(timer, &QTimer::timeout, timer, [=] {
            if (++*count == yield) {
                timer->stop();
                delete count;
                button->click();
            }
        });
        timer->start(0);
    }

    QColor pixelAtStep(int step)
    {
        const QImage img = controls(*m_form).Picture1->image();
        const auto &map = controls(*m_form).Picture1->canvas().mapping();
        return img.pixelColor(static_cast<int>(std::floor(map.toPixelX(static_cast<double>(m_state->XData(step))))),
                              static_cast<int>(std::floor(map.toPixelY(-static_cast<double>(m_state->YData(step))))));
    }

    /// Three clean cycles of a growing loop, 8 steps each.
    std::string loops()
    {
        std::string rows;
        for (int i = 0; i <= 24; ++i) {
            const double a = (i % 8) * 3.14159265 / 4.0;
            const double amp = 1.0 + i / 8;
            std::ostringstream line;
            line << amp * std::sin(a) << ' ' << amp * std::sin(a + 0.6) << "\r\n";
            rows += line.str();
        }
        return rows;
    }

private slots:
    void cleanup()
    {
        MODULE11::setAnimationPaced(*m_form, false);
        Form1::exitHook() = nullptr;
        WindowTest::cleanup();
    }

    // Paced, a cycle of 40 steps takes about 0.4 s on screen; events still
    // run while it waits: a step button pressed then settles the cycle, and
    // "Exit" is handled at once, in the middle of the animation.
    void pacedAnimationCanBeWatched()
    {
        QVERIFY(!MODULE11::animationPaced(*m_form)); // tests run at full speed
        std::string rows;
        for (double t = 0; t < 12.6; t += 3.14159265 / 20.0) // cycles of 40 steps
            rows += std::to_string(std::sin(t)) + ' ' + std::to_string(std::sin(t + 0.3)) + "\r\n";
        browse(record(QStringLiteral("paced.prn"), rows));
        controls(*m_form).Command3[0]->click();
        MODULE11::setAnimationPaced(*m_form, true);
        QElapsedTimer clock;
        clock.start();
        controls(*m_form).Command6->click();
        QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
        const int end = m_state->CycleEndStep(1);
        const float energy = m_state->CycleEnergy(1);

        // ">" pressed during the animation of "<" settles it.
        QTimer::singleShot(100, controls(*m_form).Command1[1], &QPushButton::click);
        controls(*m_form).Command1[0]->click();
        QCOMPARE(int(m_state->CycleEndStep(1)), end);
        QCOMPARE(m_state->CycleEnergy(1), energy);
        QCOMPARE(controls(*m_form).Text7->text().toStdString(), shortNumberText(energy));

        QStringList shownAtExit;
        Form1::exitHook() = [&] { shownAtExit << controls(*m_form).Text8->text(); };
        controls(*m_form).Text8->clear();
        QTimer::singleShot(100, controls(*m_form).Command4, &QPushButton::click);
        controls(*m_form).Command1[0]->click();
        QCOMPARE(shownAtExit, QStringList{QString()}); // before the damping factor was shown
        QVERIFY(!controls(*m_form).Text8->text().isEmpty());
    }

    void stepButtonsClampAndReanalyse()
    {
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        for (QPushButton *b : controls(*m_form).Command1)
            QVERIFY(!b->isEnabled()); // nothing to change before "Next cycle"
        controls(*m_form).Command6->click();
        const int end = m_state->CycleEndStep(1);
        QVERIFY(end > 2);
        const float energy = m_state->CycleEnergy(1);

        // "<" never goes below start step + 1.
        for (int i = 0; i < 40; ++i)
            controls(*m_form).Command1[0]->click();
        QCOMPARE(m_state->CycleEndStep(1), 2);
        QCOMPARE(controls(*m_form).Text9->text(), QStringLiteral("2"));
        // ">" never goes past the last row.
        for (int i = 0; i < 40; ++i)
            controls(*m_form).Command1[1]->click();
        QCOMPARE(double(m_state->CycleEndStep(1)), double(m_state->RowCount));
        while (m_state->CycleEndStep(1) > end)
            controls(*m_form).Command1[0]->click();
        QCOMPARE(m_state->CycleEnergy(1), energy);

        // "NO" removes peak 2; ">" on a removed peak gives step 1.
        controls(*m_form).Command1[6]->click();
        QCOMPARE(m_state->PeakStep(1, 1), 0);
        QCOMPARE(controls(*m_form).Text15[1]->text(), QStringLiteral("0"));
        const double p1 = m_state->PeakStep(0, 1);
        const double strain = static_cast<double>(m_state->XData(static_cast<int>(p1))) *
                              static_cast<double>(m_state->YData(static_cast<int>(p1))) / 2.0;
        QCOMPARE(m_state->StrainEnergy, static_cast<float>(strain));
        controls(*m_form).Command1[5]->click();
        QCOMPARE(m_state->PeakStep(1, 1), 1);
    }

    void skipCrossingFollowsTheEndLoad()
    {
        browse(record(QStringLiteral("skip.prn"), "0 -1\r\n1 1\r\n2 2\r\n1 0\r\n0 -1\r\n-1 0.001\r\n0 1\r\n"));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        // Move the end step onto the load of exactly 0 (step 4), then onto 0.001 (step 6).
        while (m_state->CycleEndStep(1) > 4)
            controls(*m_form).Command1[0]->click();
        while (m_state->CycleEndStep(1) < 4)
            controls(*m_form).Command1[1]->click();
        QCOMPARE(m_state->SkipCrossing(1), 1);
        controls(*m_form).Command1[1]->click();
        controls(*m_form).Command1[1]->click();
        QCOMPARE(m_state->CycleEndStep(1), 6);
        QCOMPARE(m_state->SkipCrossing(1), 0);
    }

    void typedPeakSteps()
    {
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        controls(*m_form).Text15[0]->clear();
        QTest::keyClicks(controls(*m_form).Text15[0], QStringLiteral("12"));
        QCOMPARE(m_state->PeakStep(0, 1), 12);
        controls(*m_form).Text15[0]->setText(QStringLiteral("12.5"));
        QCOMPARE(m_state->PeakStep(0, 1), 12);
        controls(*m_form).Text15[0]->setText(QStringLiteral("13.5"));
        QCOMPARE(m_state->PeakStep(0, 1), 14);
        // A typed step beyond the record is refused by the analysis, with a warning.
        controls(*m_form).Text15[0]->setText(QStringLiteral("5000"));
        const float energy = m_state->CycleEnergy(1);
        m_messages.clear();
        controls(*m_form).Command1[0]->click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("Peak step 1 (5000) lies outside the record of cycle 1: "
                                                     "steps 0 to 25 can be analysed."));
        QCOMPARE(m_state->CycleEnergy(1), energy);
    }

    // A step typed into its field is analysed when the user leaves the field,
    // so the results file is the one the step buttons give for the same step.
    void typedStepsAreAnalysedOnLeaving_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("cycle");
        QTest::addColumn<bool>("no"); // "NO" pressed first
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("leave");
        QTest::newRow("peak 1, Next cycle") << "Text15(0)" << 1 << false << 20 << "Next cycle";
        QTest::newRow("peak 1, mouse on Next cycle") << "Text15(0)" << 1 << false << 20 << "mouse";
        QTest::newRow("peak 1, Enter") << "Text15(0)" << 2 << false << 49 << "Enter";
        QTest::newRow("peak 2 after NO, Tab") << "Text15(1)" << 1 << true << 49 << "Tab";
        QTest::newRow("end step, Write to file") << "Text9" << 3 << false << 115 << "Write to file";
    }

    void typedStepsAreAnalysedOnLeaving()
    {
        QFETCH(QString, field);
        QFETCH(int, cycle);
        QFETCH(bool, no);
        QFETCH(int, step);
        QFETCH(QString, leave);
        const QString path = m_dir.filePath(QStringLiteral("first-try.prn"));
        QFile::remove(path);
        QVERIFY(QFile::copy(QStringLiteral(KOV_TEST_DATA_DIR "/cases/first-try/record.prn"), path));
        auto *box = m_form->findChild<QLineEdit *>(field);
        const int down = field == QStringLiteral("Text9") ? 0 : field == QStringLiteral("Text15(0)") ? 2 : 4;
        auto course = [&](bool typed) {
            browse(path);
            controls(*m_form).Command3[0]->click();
            for (int n = 0; n < cycle; ++n)
                controls(*m_form).Command6->click();
            if (no)
                controls(*m_form).Command1[6]->click();
            if (typed) {
                QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(box, QString::number(step));
                if (leave == QStringLiteral("Enter"))
                    QTest::keyClick(box, Qt::Key_Return);
                if (leave == QStringLiteral("Tab") || leave == QStringLiteral("mouse")) {
                    m_form->show();
                    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
                    box->setFocus();
                }
                if (leave == QStringLiteral("Tab")) {
                    QTest::keyClick(box, Qt::Key_Tab);
                    QVERIFY(!box->hasFocus());
                }
                if (leave == QStringLiteral("mouse")) {
                    // The release is already waiting when the press moves the
                    // focus, as a user's is while the typed step animates.
                    MODULE11::setAnimationPaced(*m_form, true);
                    const QPoint centre = controls(*m_form).Command6->rect().center();
                    QCoreApplication::postEvent(controls(*m_form).Command6,
                                                new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                                controls(*m_form).Command6->mapToGlobal(centre), Qt::LeftButton,
                                                                Qt::NoButton, Qt::NoModifier));
                    QTest::mousePress(controls(*m_form).Command6, Qt::LeftButton, Qt::NoModifier, centre);
                    QTest::qWait(600);
                    MODULE11::setAnimationPaced(*m_form, false);
                    QCOMPARE(int(m_state->CycleNo), cycle + 1);
                    QVERIFY(!controls(*m_form).Command6->isDown());
                    QCOMPARE(m_state->PeakStep(0, cycle), step);
                }
            } else {
                for (int v = box->text().toInt(); v != step; v += v < step ? 1 : -1)
                    controls(*m_form).Command1[static_cast<std::size_t>(v < step ? down + 1 : down)]->click();
            }
            if (leave != QStringLiteral("mouse") || !typed)
                QCOMPARE(box->text().toInt(), step);
            pressNextCycleUntilDisabled();
            controls(*m_form).Command8->click();
        };
        course(false);
        const std::string buttons = readAll(m_dir.filePath(QStringLiteral("first-try-kov.prn")));
        course(true);
        const std::string typed = readAll(m_dir.filePath(QStringLiteral("first-try-kov.prn")));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(test::withoutLine2(typed), test::withoutLine2(buttons));
    }

    void nextCycleZoomsToTheCycle()
    {
        // Largest X 5 and smallest X -7 in the cycle.
        browse(record(QStringLiteral("zoom.prn"), "0 -1\r\n5 1\r\n2 2\r\n-7 -1\r\n0 -1\r\n1 1\r\n20 3\r\n"));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        QCOMPARE(m_state->ScaleXMax, static_cast<float>(7.0 * 1.1));
        QCOMPARE(controls(*m_form).Text12[0]->text(), QStringLiteral("7.7"));
        QCOMPARE(m_state->ScaleXMin, static_cast<float>(7.7 * -1.1));
        QCOMPARE(m_state->MarkerRadius,
                 static_cast<float>((static_cast<double>(static_cast<float>(7.0 * 1.1)) -
                                     static_cast<double>(static_cast<float>(7.0 * -1.1))) / 100.0));
        // The end step is marked in red.
        const QImage img = controls(*m_form).Picture1->image();
        const auto &map = controls(*m_form).Picture1->canvas().mapping();
        const int e = m_state->CycleEndStep(1);
        QCOMPARE(img.pixelColor(static_cast<int>(map.toPixelX(static_cast<double>(m_state->XData(e)))),
                                static_cast<int>(map.toPixelY(-static_cast<double>(m_state->YData(e))))),
                 QColor(255, 0, 0));
    }

    void commandsDuringTheAnimationSettleIt()
    {
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        const int end = m_state->CycleEndStep(1);
        // The clean results of cycle 1 ending one step earlier.
        controls(*m_form).Command1[0]->click();
        const float clean = m_state->CycleEnergy(1);
        const float cleanTotal = m_state->TotalEnergy(1);
        controls(*m_form).Command1[1]->click();
        QCOMPARE(int(m_state->CycleEndStep(1)), end);

        // Move the end step back again, and press "Next cycle" while the
        // button waits for its analysis: cycle 1 is settled with its new end.
        QTimer::singleShot(0, controls(*m_form).Command6, &QPushButton::click);
        controls(*m_form).Command1[0]->click();
        QTest::qWait(20);
        QCOMPARE(m_state->CycleNo, 2);
        QCOMPARE(int(m_state->CycleEndStep(1)), end - 1);
        QCOMPARE(m_state->CycleEnergy(1), clean);
        QCOMPARE(m_state->TotalEnergy(1), cleanTotal);

        // "Next cycle" pressed during the animation of a step button's analysis:
        // the paused run is finished first.
        int yields = 0;
        QTimer *later = new QTimer(m_form.get());
        connect(later, &QTimer::timeout, this, [&] {
            if (++yields == 3) {
                later->stop();
                controls(*m_form).Command6->click();
            }
        });
        later->start(0);
        controls(*m_form).Command1[1]->click();
        QTest::qWait(20);
        QCOMPARE(m_state->CycleNo, 3);
        // Cycle 2 holds the complete results of its final steps.
        auto check = std::make_unique<SharedState>(*m_state);
        check->CycleNo = 2;
        runCycleComputation(*check);
        QCOMPARE(m_state->CycleEnergy(2), check->CycleEnergy(2));
        QCOMPARE(m_state->CycleDamping(2), check->CycleDamping(2));
        QCOMPARE(m_state->TotalEnergy(2),
                 static_cast<float>(static_cast<double>(cleanTotal) + static_cast<double>(m_state->CycleEnergy(2))));
        QCOMPARE(m_state->TotalEnergy(3),
                 static_cast<float>(static_cast<double>(m_state->TotalEnergy(2)) +
                                    static_cast<double>(m_state->CycleEnergy(3))));
    }

    // Every command pressed while a step button's analysis animates passes
    // the command entry first, which settles the paused analysis.
    void everyCommandBeginsBySettling_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("command");
        QTest::newRow("Browse") << "Command2" << int(Command::Browse);
        QTest::newRow("Draw") << "Command3(0)" << int(Command::Draw);
        QTest::newRow("Clear scale") << "Command3(1)" << int(Command::Draw);
        QTest::newRow("Next cycle") << "Command6" << int(Command::NextCycle);
        for (int i = 0; i < 7; ++i)
            QTest::newRow(qPrintable(QStringLiteral("step button %1").arg(i)))
                << QStringLiteral("Command1(%1)").arg(i) << int(Command::StepButton);
        QTest::newRow("peak field") << "Text15(0)" << int(Command::PeakField);
        QTest::newRow("Write to file") << "Command8" << int(Command::WriteToFile);
    }

    void everyCommandBeginsBySettling()
    {
        QFETCH(QString, control);
        QFETCH(int, command);
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        frmOpenSave::shownHook() = [](frmOpenSave &dialog) { dialog.reject(); };
        QList<int> begun; // commands begun during the action, while it was paused before
        bool acting = false;
        connect(m_form.get(), &Form1::commandBegun, this, [&](Command c) {
            if (acting)
                begun << int(c);
            QVERIFY(!CycleView::of(*m_form).analysisPaused());
        });
        auto *yields = new QTimer(m_form.get());
        connect(yields, &QTimer::timeout, this, [&, yields] {
            if (!CycleView::of(*m_form).analysisPaused())
                return;
            yields->stop();
            acting = true;
            if (auto *b = m_form->findChild<QPushButton *>(control)) {
                b->setEnabled(true);
                b->click();
            } else {
                m_form->findChild<QLineEdit *>(control)->setText(QStringLiteral("21"));
            }
            acting = false;
        });
        yields->start(0);
        controls(*m_form).Command1[1]->click();
        QTest::qWait(20);
        QVERIFY(!yields->isActive());
        QVERIFY(!begun.isEmpty());
        QCOMPARE(begun[0], command);
    }

    void cycleLimitStopsAtOneHundred()
    {
        std::string rows;
        for (int c = 0; c < 130; ++c)
            rows += "-1 -1\r\n1 1\r\n2 2\r\n1 1\r\n";
        browse(record(QStringLiteral("many.prn"), rows));
        controls(*m_form).Command3[0]->click();
        QCOMPARE(pressNextCycleUntilDisabled(150), 100);
        QCOMPARE(m_state->CycleNo, 100);
        QVERIFY(controls(*m_form).Command8->isEnabled());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("100")));
    }

    void largeMarkersAreFilledInTheirColours()
    {
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        const int p1 = m_state->PeakStep(0, 1);
        const int p2 = m_state->PeakStep(1, 1);
        QVERIFY(p1 != 0 && p2 != 0 && p1 != p2);
        QCOMPARE(pixelAtStep(p1), QColor(0, 0, 255));
        QCOMPARE(pixelAtStep(p2), QColor(0, 126, 0));
        QCOMPARE(pixelAtStep(m_state->CycleEndStep(1)), QColor(255, 0, 0));

        // "NO" removes the dark green marker; both of its analyses (the field
        // becoming 0, then the press) leave the same results as a fresh
        // computation.
        controls(*m_form).Command1[6]->click();
        QVERIFY(pixelAtStep(p2) != QColor(0, 126, 0));
        QCOMPARE(pixelAtStep(p1), QColor(0, 0, 255));
        auto check = std::make_unique<SharedState>(*m_state);
        runCycleComputation(*check);
        QCOMPARE(m_state->CycleEnergy(1), check->CycleEnergy(1));
        QCOMPARE(m_state->CycleDamping(1), check->CycleDamping(1));
        QCOMPARE(controls(*m_form).Text8->text().toStdString(), shortNumberText(check->CycleDamping(1)));
        // Later circles are outlines again.
        QCOMPARE(controls(*m_form).Picture1->canvas().fillStyle(), 1);
    }

    void cycleZeroRunsNoAnalysis()
    {
        // Form_Load's writes already ran the peak fields' handlers.
        QCOMPARE(m_state->PeakStep(0, 0), 1);
        QCOMPARE(m_state->PeakStep(1, 0), 1);
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        controls(*m_form).Command3[0]->click(); // a new course: cycle 0 again
        QCOMPARE(m_state->CycleNo, 0);
        for (QPushButton *b : controls(*m_form).Command1)
            QVERIFY(!b->isEnabled());
        const QImage loop = controls(*m_form).Picture1->image();
        controls(*m_form).Text15[1]->setText(QStringLiteral("0"));
        QCOMPARE(m_state->PeakStep(1, 0), 0);
        QCOMPARE(controls(*m_form).Picture1->image(), loop); // the whole loop stays
        QCOMPARE(controls(*m_form).Text8->text(), QStringLiteral("0"));
        QVERIFY(m_messages.isEmpty());
    }

    void stepsAtTheEdgesOfTheIntegerRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("end 32767 >") << QStringLiteral("32767") << 1 << 32767;
        QTest::newRow("end 32767 <") << QStringLiteral("32767") << 0 << 32766;
        QTest::newRow("end -32768 <") << QStringLiteral("-32768") << 0 << -32768;
        QTest::newRow("end 2001 >") << QStringLiteral("2001") << 1 << 2001;
    }

    void stepsAtTheEdgesOfTheIntegerRange()
    {
        QFETCH(QString, typed);
        QFETCH(int, button);
        QFETCH(int, expected);
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        const float energy = m_state->CycleEnergy(1);
        const QImage view = controls(*m_form).Picture1->image();
        controls(*m_form).Text9->setText(typed);
        m_messages.clear();
        controls(*m_form).Command1[static_cast<std::size_t>(button)]->click();
        QCOMPARE(int(m_state->CycleEndStep(1)), expected);
        QCOMPARE(controls(*m_form).Text9->text(), QString::number(expected));
        // Refused with a warning naming the step and the valid range; the
        // results and the picture stay.
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].text, QStringLiteral("End step (%1) lies outside the record of cycle 1: "
                                                     "steps 0 to 25 can be analysed.").arg(expected));
        QCOMPARE(m_state->CycleEnergy(1), energy);
        QCOMPARE(controls(*m_form).Picture1->image(), view);
    }

    void zeroWidthRangeDoesNotEndTheView()
    {
        // X is 0 everywhere: the range has no width.
        browse(record(QStringLiteral("flat.prn"), "0 -1\r\n0 1\r\n0 2\r\n0 -1\r\n0 1\r\n"));
        controls(*m_form).Command3[1]->click();
        controls(*m_form).Command6->click();
        QCOMPARE(m_state->CycleNo, 1);
        QCOMPARE(m_state->CycleEnergy(1), 0.0f);
        QCOMPARE(controls(*m_form).Text8->text(), QStringLiteral("0"));
        controls(*m_form).Command1[1]->click();
        QCOMPARE(m_state->CycleEnergy(1), 0.0f);
        QCOMPARE(m_state->CycleDamping(1), 0.0f);
    }

    void energyBeyondTheFloatRangeIsShownAndWarned()
    {
        browse(record(QStringLiteral("big.prn"), "0 -1\r\n3e38 3e38\r\n-3e38 -3e38\r\n0 1\r\n"));
        controls(*m_form).Command3[1]->click();
        controls(*m_form).Command6->click();
        QCOMPARE(m_state->CycleEnergy(1), std::numeric_limits<float>::infinity());
        QCOMPARE(controls(*m_form).Text7->text(), QStringLiteral("Infinity"));
        QCOMPARE(controls(*m_form).Text8->text(), QStringLiteral("0"));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.startsWith(QStringLiteral("An energy of cycle 1 is beyond the float range")));
    }

    void writeDuringTheAnimationWritesCompleteResults()
    {
        // One cycle that runs to the last row: "Write to file" is enabled
        // before the analysis animates.
        std::string rows;
        for (int i = 0; i <= 25; ++i) {
            std::ostringstream line;
            line << std::sin(i * 0.2) << ' ' << std::sin(i * 0.2 + 0.5) << "\r\n";
            rows += line.str();
        }
        const QString path = record(QStringLiteral("once.prn"), rows);
        browse(path);
        controls(*m_form).Command3[0]->click();
        clickAtYield(controls(*m_form).Command8, 4);
        controls(*m_form).Command6->click();
        QTest::qWait(20);
        const std::string window = readAll(m_dir.path() + QStringLiteral("/once-kov.prn"));
        QVERIFY(window.size() > 100);
        QCOMPARE(test::withoutLine2(window), test::withoutLine2(batchResults(path)));
        QVERIFY(m_messages.isEmpty());
    }

    void drawDuringTheAnimationKeepsTheNewLoop()
    {
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        clickAtYield(controls(*m_form).Command3[0], 2);
        controls(*m_form).Command1[1]->click();
        QTest::qWait(20);
        // The paused analysis stopped: it wrote no damping factor and drew
        // no markers over the new loop.
        QCOMPARE(m_state->CycleNo, 0);
        QCOMPARE(controls(*m_form).Text8->text(), QStringLiteral("0"));
        const QImage loop = controls(*m_form).Picture1->image();
        controls(*m_form).Command3[0]->click();
        QCOMPARE(controls(*m_form).Picture1->image(), loop);
    }

    void nextCycleDuringItsOwnPeakAnalysis()
    {
        // Cycle 1 never reaches X >= 0, so its peak step 1 is 0: writing it
        // into Text15(0) analyses cycle 1 from the field's handler, and a
        // second "Next cycle" arrives during that analysis.
        const QString path = record(QStringLiteral("nested.prn"),
                                    "-1 -1\r\n-2 -2\r\n-3 -1\r\n-2 1\r\n2 2\r\n3 -1\r\n-1 -2\r\n"
                                    "1 1\r\n2 2\r\n1 -1\r\n-2 -1\r\n1 1\r\n2 0.5\r\n");
        browse(path);
        controls(*m_form).Command3[0]->click();
        clickAtYield(controls(*m_form).Command6, 2);
        controls(*m_form).Command6->click();
        QTest::qWait(20);
        QCOMPARE(m_state->CycleNo, 2);
        // The first press stopped once the second had moved on: cycle 2 keeps
        // its own peaks, and its fields show them.
        auto fresh = std::make_unique<SharedState>(*m_state);
        fresh->CycleNo = 2;
        fresh->SkipCrossing(1) = 0;
        FindNextCycle(*fresh);
        QCOMPARE(m_state->PeakStep(0, 2), fresh->PeakStep(0, 2));
        QCOMPARE(m_state->PeakStep(1, 2), fresh->PeakStep(1, 2));
        QCOMPARE(controls(*m_form).Text15[1]->text(), QString::number(fresh->PeakStep(1, 2)));
        pressNextCycleUntilDisabled();
        controls(*m_form).Command8->click();
        const std::string window = readAll(m_dir.path() + QStringLiteral("/nested-kov.prn"));
        QVERIFY(window.size() > 100);
        QCOMPARE(test::withoutLine2(window), test::withoutLine2(batchResults(path)));
    }

    void settlingARefusedStepKeepsTheResults()
    {
        // An end step typed past the record, a "<" press, and "Write to file"
        // reaching the settlement during the press's yield.
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        const float energy = m_state->CycleEnergy(1);
        const float total = m_state->TotalEnergy(1);
        const QString shown = controls(*m_form).Text7->text();
        controls(*m_form).Text9->setText(QStringLiteral("5000"));
        m_messages.clear();
        controls(*m_form).Command8->setEnabled(true);
        clickAtYield(controls(*m_form).Command8, 1);
        controls(*m_form).Command1[0]->click();
        QTest::qWait(20);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("4999")));
        QCOMPARE(m_state->CycleEnergy(1), energy);
        QCOMPARE(m_state->TotalEnergy(1), total);
        QCOMPARE(controls(*m_form).Text7->text(), shown);
        QVERIFY(!readAll(m_dir.path() + QStringLiteral("/loops-kov.prn")).empty());
    }

    void nextCycleFromAStartOutsideTheRecord_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("negative") << QStringLiteral("-5");
        QTest::newRow("past the record") << QStringLiteral("26");
        QTest::newRow("past the arrays") << QStringLiteral("2001");
    }

    void nextCycleFromAStartOutsideTheRecord()
    {
        QFETCH(QString, typed);
        browse(record(QStringLiteral("loops.prn"), loops()));
        controls(*m_form).Command3[0]->click();
        controls(*m_form).Command6->click();
        controls(*m_form).Text9->setText(typed); // the end of cycle 1 is the start of cycle 2
        const float total = m_state->TotalEnergy(1);
        m_messages.clear();
        controls(*m_form).Command6->click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].text, QStringLiteral("Start step (%1) lies outside the record of cycle 2: "
                                                     "steps 0 to 25 can be analysed.").arg(typed));
        QCOMPARE(m_state->CycleNo, 1);
        QCOMPARE(controls(*m_form).Text1->text(), QStringLiteral("1"));
        QCOMPARE(m_state->TotalEnergy(1), total);
        QVERIFY(controls(*m_form).Command6->isEnabled());
    }
};

QTEST_MAIN(CycleViewTest)
#include "cycleview_test.moc"

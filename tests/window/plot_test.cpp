#include "core/state/sharedstate.h"
#include "pictures/loopplot.h"
#include "pictures/plotcanvas.h"
#include "tests/support/files.h"
#include "tests/support/windowtest.h"
#include "window/drawcommand.h"
#include "window/form1.h"
#include "window/messages.h"
#include "window/picturebox.h"

#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kov;

namespace {
const QColor Green(0, 255, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
} // namespace

class PlotTest : public test::WindowTest {
    Q_OBJECT

private:
    std::string record(const QString &name, const std::string &rows)
    {
        return WindowTest::record(name, rows).toStdString();
    }

    /// The pixel colour at the point (x, -y) of the current scale.
    QColor at(double x, double y)
    {
        PlotCanvas &c = controls(*m_form).Picture1->canvas();
        const int px = static_cast<int>(c.mapping().toPixelX(x));
        const int py = static_cast<int>(c.mapping().toPixelY(-y));
        return controls(*m_form).Picture1->image().pixelColor(px, py);
    }

    void draw(int index)
    {
        m_form->applyButtonEvent(ButtonEvent::BrowseClosed);
        controls(*m_form).Command3[static_cast<std::size_t>(index)]->click();
    }

    /// kov-batch on the record with the options, in the scratch folder.
    test::BatchRun batch(const QStringList &options)
    {
        std::vector<std::string> args;
        for (const QString &o : options)
            args.push_back(o.toStdString());
        return test::runBatch(m_dir.path().toStdString(), args);
    }

private slots:
    void drawsTheLoopWithItsMarkers()
    {
        // Twelve steps on a circle of radius 10.
        std::string rows;
        for (int i = 1; i <= 12; ++i)
            rows += std::to_string(10 * std::cos(i * 0.5236)) + " " + std::to_string(10 * std::sin(i * 0.5236)) + "\r\n";
        m_state->DataFileName = record(QStringLiteral("circle.prn"), rows);
        draw(0);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(m_state->RowCount, 12.0f);
        QVERIFY(controls(*m_form).Command6->isEnabled());
        QVERIFY(!controls(*m_form).Command8->isEnabled());
        const float max = m_state->ScaleXMax;
        QCOMPARE(controls(*m_form).Text12[0]->text().toStdString(), shortNumberTextOf(max));
        // The range field's handler re-derived the minimum from the shown maximum.
        QCOMPARE(m_state->ScaleXMin, static_cast<float>(static_cast<double>(max) * -1.1));

        // Axes in blue through the origin; markers on the circle of radius MarkerRadius.
        const QImage img = controls(*m_form).Picture1->image();
        PlotCanvas &c = controls(*m_form).Picture1->canvas();
        QCOMPARE(img.pixelColor(5, static_cast<int>(c.mapping().toPixelY(0.0))), Blue);
        QCOMPARE(img.pixelColor(static_cast<int>(c.mapping().toPixelX(0.0)), 5), Blue);
        const double r = static_cast<double>(m_state->MarkerRadius);
        auto markerColour = [&](int step) {
            const double x = static_cast<double>(m_state->XData(step));
            const double y = static_cast<double>(m_state->YData(step));
            // The top of the marker's outline.
            const int px = static_cast<int>(std::floor(c.mapping().toPixelX(x)));
            const int top = static_cast<int>(std::floor(c.mapping().toPixelY(-y) - c.mapping().toPixelsHorizontal(r)));
            // The first drawn pixel met coming down onto the outline from above.
            for (int py = top - 3; py <= top + 3; ++py)
                if (img.pixelColor(px, py) != QColor(Qt::white))
                    return img.pixelColor(px, py);
            return QColor(Qt::white);
        };
        QCOMPARE(markerColour(10), Red);
        QCOMPARE(markerColour(5), Blue);
        QCOMPARE(markerColour(7), Green);
    }

    void oneStepRecord()
    {
        m_state->DataFileName = record(QStringLiteral("one.prn"), "2 3\r\n");
        draw(0);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(m_state->ScaleXMax, static_cast<float>(2.0 * 1.1));
        QCOMPARE(at(2.0, 3.0), Green);
    }

    void zeroRangeDrawsWithoutFailing()
    {
        m_state->DataFileName = record(QStringLiteral("zero.prn"), "0 0\r\n0 0\r\n");
        draw(1);
        QVERIFY(m_messages.isEmpty());
        QVERIFY(controls(*m_form).Command6->isEnabled());
    }

    void drawKeepsTheRangeAndClearScaleRecomputesIt()
    {
        m_state->DataFileName = record(QStringLiteral("a.prn"), "1 1\r\n-2 -4\r\n");
        draw(0);
        QCOMPARE(m_state->ScaleXMax, static_cast<float>(2.0 * 1.1));
        m_state->DataFileName = record(QStringLiteral("b.prn"), "10 10\r\n-20 -40\r\n");
        draw(0);
        QCOMPARE(m_state->ScaleXMax, static_cast<float>(2.0 * 1.1)); // "Draw" keeps the range
        draw(1);
        QCOMPARE(m_state->ScaleXMax, static_cast<float>(20.0 * 1.1));

        // A typed maximum of 100 gives -110..100 and a radius of 2.1.
        controls(*m_form).Text12[0]->setText(QStringLiteral("100"));
        draw(0);
        QCOMPARE(m_state->ScaleXMax, 100.0f);
        QCOMPARE(m_state->MarkerRadius, 2.1f);
        QCOMPARE(m_state->ScaleXMin, -110.0f);
    }

    void badRecordsAreReported_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<int>("number");
        QTest::newRow("2001 rows") << 2001 << false << 9;
        QTest::newRow("missing file") << 1 << true << 53;
    }

    void badRecordsAreReported()
    {
        QFETCH(int, rows);
        QFETCH(bool, missing);
        QFETCH(int, number);
        std::string text;
        for (int i = 0; i < rows; ++i)
            text += "1 2\r\n";
        m_state->DataFileName = missing ? (m_dir.path() + QStringLiteral("/none.prn")).toStdString()
                                        : record(QStringLiteral("big.prn"), text);
        draw(0);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Error"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("This file includes error data or you may mistake column or skip indication. (%1)")
                     .arg(number));
        QVERIFY(!controls(*m_form).Command8->isEnabled());
        QVERIFY(!controls(*m_form).Command6->isEnabled());
    }

    void emptyFileNameStopsSilently()
    {
        controls(*m_form).Text9->setText(QStringLiteral("9"));
        draw(0);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(controls(*m_form).Text9->text(), QStringLiteral("1"));
        QCOMPARE(m_state->CycleEndStep(0), 1);
        QVERIFY(!controls(*m_form).Command6->isEnabled());
        // A new course starts at step 1 also when the field shows 1 already
        // (the current cycle ending at step 1), so no handler runs.
        m_state->CycleEndStep(0) = 7;
        m_state->CycleNo = 1;
        draw(0);
        QCOMPARE(m_state->CycleEndStep(0), 1);
    }

    void clippedPointsDoNotFail()
    {
        controls(*m_form).Text12[0]->setText(QStringLiteral("1"));
        controls(*m_form).Text12[1]->setText(QStringLiteral("1"));
        m_state->DataFileName = record(QStringLiteral("far.prn"), "1e30 -1e30\r\n-3e38 3e38\r\n0 0\r\n");
        draw(0);
        QVERIFY(m_messages.isEmpty());
    }

    void drawingKeepsItsRangeWhileTheFieldsRederiveTheMinimum()
    {
        // The automatic range is -1.1..1.1 x the largest |X|; the field's handler then
        // makes the minimum -1.1 x the shown maximum, for the next drawing only.
        m_state->DataFileName = record(QStringLiteral("digits.prn"), "1.23456789 1\r\n-1 -1\r\n");
        draw(1);
        QVERIFY(m_messages.isEmpty());
        const double maxAbs = static_cast<double>(m_state->MaxAbsX);
        const float drawnMin = static_cast<float>(maxAbs * -1.1);
        const float drawnMax = static_cast<float>(maxAbs * 1.1);
        const float shownMax = controls(*m_form).Text12[0]->text().toFloat();
        QCOMPARE(m_state->ScaleXMax, shownMax);
        QCOMPARE(m_state->ScaleXMin, static_cast<float>(static_cast<double>(shownMax) * -1.1));
        QVERIFY(m_state->ScaleXMin != drawnMin);
        // The picture still spans the range it was drawn with, and so does its marker size.
        const PlotMapping &m = controls(*m_form).Picture1->canvas().mapping();
        QCOMPARE(m.toPixelX(static_cast<double>(drawnMin)), 0.0);
        QCOMPARE(m.toPixelX(static_cast<double>(drawnMax)), static_cast<double>(m.width()));
        QCOMPARE(m_state->MarkerRadius,
                 static_cast<float>((static_cast<double>(drawnMax) - static_cast<double>(drawnMin)) / 100.0));
    }

    void rereadFieldsAreClamped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("xColumn");
        QTest::addColumn<int>("error"); // 0: drawn without a message
        QTest::newRow("column above 16 bits") << "Text4" << "99999" << 32767 << 0;
        QTest::newRow("column below 16 bits") << "Text4" << "-99999" << -32768 << 0;
        QTest::newRow("coefficient beyond float") << "Text13" << "1e999" << 1 << 6;
    }

    void rereadFieldsAreClamped()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, xColumn);
        QFETCH(int, error);
        m_state->DataFileName = record(QStringLiteral("clamp.prn"), "2 3\r\n-2 -3\r\n");
        auto *box = m_form->findChild<QLineEdit *>(field);
        QVERIFY(box);
        box->setText(text);
        draw(0);
        QCOMPARE(static_cast<int>(m_state->XColumn), xColumn);
        if (error == 0) {
            QVERIFY(m_messages.isEmpty());
            QVERIFY(controls(*m_form).Command6->isEnabled());
        } else {
            QCOMPARE(m_messages.size(), 1);
            QVERIFY(m_messages[0].text.endsWith(QStringLiteral("(%1)").arg(error)));
        }
    }

    void batchDrawsTheSamePicture_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("png") << "png";
        QTest::newRow("svg") << "svg";
    }

    void batchDrawsTheSamePicture()
    {
        QFETCH(QString, ending);
        const std::string rec = record(QStringLiteral("loop.prn"), "4 2\r\n-4 -2\r\n1 1\r\n");
        QCOMPARE(batch({QStringLiteral("--plot"), m_dir.path() + QStringLiteral("/%n-plot.") + ending,
                        QStringLiteral("--plot-scale"), QStringLiteral("2"), QString::fromStdString(rec)})
                     .status,
                 0);
        const QString picture = m_dir.path() + QStringLiteral("/loop-plot.") + ending;
        QVERIFY(QFileInfo::exists(picture));
        if (ending == QStringLiteral("svg")) {
            QFile f(picture);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().contains("<svg"));
            return;
        }
        const QImage img(picture);
        QCOMPARE(img.size(), QSize(2 * 273, 2 * 249));
        // Automatic range: the axes cross in the middle, in blue.
        QCOMPARE(img.pixelColor(10, img.height() / 2), Blue);
        QCOMPARE(img.pixelColor(img.width() / 2, 10), Blue);
        QCOMPARE(img.pixelColor(img.width() - 3, 3), QColor(Qt::white));
    }

    void batchReportsAPictureItCannotWrite_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("svg named like a folder") << "folder.svg";
        QTest::newRow("png in a missing folder") << "missing/loop.png";
    }

    void batchReportsAPictureItCannotWrite()
    {
        QFETCH(QString, target);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.svg")));
        const std::string rec = record(QStringLiteral("loop.prn"), "4 2\r\n-4 -2\r\n");
        const test::BatchRun r =
            batch({QStringLiteral("--plot"), m_dir.filePath(target), QString::fromStdString(rec)});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.find("Cannot write " + m_dir.filePath(target).toStdString()) != std::string::npos);
    }

    // On a screen of device pixel ratio 2 the plot is the picture of ratio 1
    // drawn twice as finely: in the ratio-1 picture scaled up, every drawn
    // pixel has one of its own colour next to it, and the other way round.
    void pictureAtDevicePixelRatioTwo()
    {
        browse(QString::fromStdString(record(QStringLiteral("loop.prn"), "4 2\r\n-4 -2\r\n1 1\r\n-2 3\r\n3 -3\r\n")));
        draw(0);
        PictureBox boxOne(controls(*m_form).Picture1->size(), nullptr, 1.0);
        PictureBox boxTwo(controls(*m_form).Picture1->size(), nullptr, 2.0);
        drawWholeLoop(boxOne.canvas(), *m_state);
        drawWholeLoop(boxTwo.canvas(), *m_state);
        const QImage one = boxOne.image();
        const QImage two = boxTwo.image();
        QCOMPARE(one.size(), controls(*m_form).Picture1->image().size());
        QCOMPARE(two.size(), 2 * one.size());
        const QImage scaled = one.scaled(two.size());
        auto near = [](const QImage &img, int x, int y, QRgb colour) {
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (img.valid(x + dx, y + dy) && img.pixel(x + dx, y + dy) == colour)
                        return true;
            return false;
        };
        int drawn[2] = {0, 0}; // lines as thick in both: about as many pixels
        for (const auto &[a, b] : {std::pair{&two, &scaled}, std::pair{&scaled, &two}})
            for (int y = 0; y < a->height(); ++y)
                for (int x = 0; x < a->width(); ++x)
                    if (a->pixel(x, y) != qRgb(255, 255, 255) && ++drawn[a == &two ? 0 : 1] &&
                        !near(*b, x, y, a->pixel(x, y)))
                        QFAIL(qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        QVERIFY2(std::abs(drawn[0] - drawn[1]) < drawn[1] / 5, qPrintable(QStringLiteral("%1 %2").arg(drawn[0]).arg(drawn[1])));
    }

    void canvasClipsAndTracksTheDrawingPosition()
    {
        QImage img(100, 100, QImage::Format_RGB32);
        PlotCanvas c(&img, 100, 100);
        c.Cls();
        c.Scale(0.0, 0.0, 100.0, 100.0);
        // Lines to points far outside are cut at the edge and keep their visible part.
        c.Line(50.0, 50.5, 1e30, 50.5, Green);
        c.Line(50.5, 50.0, 50.5, -3e38, Blue);
        c.flush();
        QCOMPARE(img.pixelColor(99, 50), Green);
        QCOMPARE(img.pixelColor(70, 50), Green);
        QCOMPARE(img.pixelColor(50, 0), Blue);
        QCOMPARE(c.currentPosition(), QPointF(50.5, -3e38));
        // A point outside draws nothing but still moves the position; a circle moves it to its centre.
        c.PSet(-1e20, 5.0, Red);
        QCOMPARE(c.currentPosition(), QPointF(-1e20, 5.0));
        c.Circle(20.0, 20.0, 1e25, Red); // far too large to be a marker: not drawn
        QCOMPARE(c.currentPosition(), QPointF(20.0, 20.0));
        // Solid fill with the default foreground outline, as the large markers use it.
        c.setFillStyle(0);
        c.setFillColor(Red);
        c.Circle(20.5, 80.5, 10.0);
        c.setFillStyle(1);
        c.Circle(80.5, 80.5, 10.0, Blue);
        c.flush();
        QCOMPARE(img.pixelColor(20, 80), Red);
        QCOMPARE(img.pixelColor(20, 70), QColor(Qt::black));
        QCOMPARE(img.pixelColor(80, 80), QColor(Qt::white));
        QCOMPARE(img.pixelColor(80, 70), Blue);
        QCOMPARE(img.pixelColor(5, 5), QColor(Qt::white));
        c.Cls();
        QCOMPARE(c.currentPosition(), QPointF(0.0, 0.0));
    }

private:
    static std::string shortNumberTextOf(float v);
};

#include "core/reader/numtext.h"
std::string PlotTest::shortNumberTextOf(float v)
{
    return shortNumberText(v);
}

QTEST_MAIN(PlotTest)
#include "plot_test.moc"

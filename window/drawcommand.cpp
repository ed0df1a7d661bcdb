#include "window/drawcommand.h"

#include "core/analysis/course.h"
#include "core/analysis/cycle.h"
#include "core/reader/numtext.h"
#include "core/reader/testrecord.h"
#include "pictures/loopplot.h"
#include "window/form1.h"
#include "window/messages.h"
#include "window/picturebox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace kov {

namespace {

void reportBadRecord(Form1 &form, int number)
{
    showMessage(&form,
                QStringLiteral("This file includes error data or you may mistake column or skip indication. (%1)")
                    .arg(number),
                MessageIcon::Exclamation, QStringLiteral("Error"));
}

} // namespace

void Command3_Click(Form1 &form, int index)
{
    form.beginCommand(Command::Draw);
    SharedState &s = form.state();
    PlotCanvas &canvas = form.plotCanvas();

    if (index == 0)
        s.DataLoaded = 0; // "Draw" counts the record again
    s.XUnit = form.fieldText(Field::XUnit).toStdString();
    s.YUnit = form.fieldText(Field::YUnit).toStdString();
    startCourse(s);

    // The cycle fields show cycle 0; their change handlers store its steps
    // again.
    form.setFieldText(Field::CycleEnd, integerField(s.CycleEndStep(0)));
    form.setFieldText(Field::PeakStep, integerField(s.PeakStep(0, 0)), 0);
    form.setFieldText(Field::PeakStep, integerField(s.PeakStep(1, 0)), 1);
    form.setFieldText(Field::Energy, integerField(0));
    form.setFieldText(Field::Damping, integerField(0));
    form.setFieldText(Field::CycleNo, integerField(s.CycleNo));
    ClearPlot(canvas);
    if (index == 1) {
        // "Clear scale" lets the range come from the data again.
        s.ScaleXMax = 0.0f;
        s.ScaleYMax = 0.0f;
    }

    // The command takes the fields as they stand, without the fields' raise
    // of a column below 1; values that do not fit are clamped as typed input is.
    s.XColumn = int16OfText(form.fieldText(Field::XColumn).toStdString());
    s.YColumn = int16OfText(form.fieldText(Field::YColumn).toStdString());
    s.XCoef = floatOfText(form.fieldText(Field::XCoef).toStdString());
    s.YCoef = floatOfText(form.fieldText(Field::YCoef).toStdString());

    yieldEvents();
    if (s.DataFileName.empty())
        return;
    form.setFieldText(Field::DataFile, QString::fromStdString(s.DataFileName));
    yieldEvents();

    try {
        LoadTestRecord(s);
        if (s.ScaleXMax == 0.0f && s.ScaleYMax == 0.0f)
            AutoRange(s);
        SetMarkerRadius(s);
        drawWholeLoop(canvas, s, [&] {
            // The fields show the maxima; their handlers read them back and
            // set the minima to -1.1 times them for the next drawing that
            // keeps the range. The cleared plot and the fields are shown
            // before the path.
            form.showRange();
            yieldEvents();
        });
        form.applyButtonEvent(ButtonEvent::DrawDone);
    } catch (const Failure &f) {
        reportBadRecord(form, f.number());
    } catch (const std::exception &) {
        reportBadRecord(form, err::DeviceIO);
    }
}

void connectDrawCommand(Form1 &form)
{
    for (int i = 0; i < 2; ++i)
        form.onClicked(Button::Draw, static_cast<std::size_t>(i), [&form, i] { Command3_Click(form, i); });
}

} // namespace kov

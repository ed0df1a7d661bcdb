#include "window/cyclecommands.h"

#include "core/analysis/course.h"
#include "core/analysis/cycle.h"
#include "core/reader/numtext.h"
#include "window/cycleview.h"
#include "window/form1.h"
#include "window/messages.h"
#include "window/module11.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace kov {

namespace {

/// One of the seven step buttons: moves the end step or a peak step of the
/// current cycle by one (or removes peak step 2), within the cycle's start
/// step and the last data row, and analyses the cycle again.
void Command1_Click(Form1 &form, int index)
{
    form.beginCommand(Command::StepButton);
    SharedState &s = form.state();
    const int n = s.CycleNo;
    if (n < 1 || n > MaxCycle)
        return; // no cycle to change before "Next cycle"
    runGuarded(&form, [&] {
        const int start = s.CycleEndStep(n - 1);
        // A step at a limit stays where it is. The moved value is computed in
        // int, so a typed +-32767 neither wraps nor saturates into a change:
        // a step that fails a limit is given back unchanged, and one that
        // passes lies between the start step and the last row.
        auto down = [&](int v) {
            const int w = v - 1;
            return w <= start ? v : w;
        };
        auto up = [&](int v) {
            const int w = v + 1;
            return static_cast<double>(w) > static_cast<double>(s.RowCount) ? v : w;
        };
        switch (index) {
        case 0:
        case 1:
            s.CycleEndStep(n) = index == 0 ? down(s.CycleEndStep(n)) : up(s.CycleEndStep(n));
            form.setFieldText(Field::CycleEnd, integerField(s.CycleEndStep(n)));
            break;
        case 2:
        case 3:
            s.PeakStep(0, n) = index == 2 ? down(s.PeakStep(0, n)) : up(s.PeakStep(0, n));
            form.setFieldText(Field::PeakStep, integerField(s.PeakStep(0, n)), 0);
            break;
        default:
            s.PeakStep(1, n) = index == 4 ? down(s.PeakStep(1, n)) : index == 5 ? up(s.PeakStep(1, n)) : 0;
            form.setFieldText(Field::PeakStep, integerField(s.PeakStep(1, n)), 1);
            break;
        }
        if (index <= 1) {
            // The next cycle's search skips one crossing when this cycle ends
            // at a load that is not above 0.
            const int end = s.CycleEndStep(n);
            if (s.XData.inRange(end))
                s.SkipCrossing(n) = s.YData(end) > 0.0f ? 0 : 1;
        }
    });
    CycleView::of(form).analyseAfterYield(n);
}

/// A peak field: stores the typed step; a peak of 0 is analysed at once.
void Text15_Change(Form1 &form, int index)
{
    // A paused analysis is finished with the peak it started with; the typed
    // peak takes effect at the next analysis.
    form.beginCommand(Command::PeakField);
    SharedState &s = form.state();
    const std::int16_t value =
        int16OfText(form.fieldText(Field::PeakStep, static_cast<std::size_t>(index)).toStdString());
    s.PeakStep(index, s.CycleNo) = value;
    if (value == 0)
        MODULE11::AnalyseCycle(form);
}

/// "Next cycle": moves on by one cycle, proposes its steps, zooms to it and
/// analyses it.
void Command6_Click(Form1 &form)
{
    if (!form.beginCommand(Command::NextCycle))
        return;
    SharedState &s = form.state();
    if (s.CycleNo >= MaxCycle)
        return;
    // The new cycle starts where the current one ends; a start typed outside
    // the record cannot be searched from.
    if (!stepWithinRecord(form, "Start step", s.CycleEndStep(s.CycleNo), s.CycleNo + 1))
        return;
    form.applyButtonEvent(ButtonEvent::NextCycleStarts);
    bool atEnd = false;
    int n = 0;
    runGuarded(&form, [&] {
        n = s.CycleNo + 1;
        form.setFieldText(Field::CycleNo, integerField(n));
        // The new cycle holds no results until its analysis runs (one refused
        // for a step outside the record leaves none for "Write to file").
        atEnd = proposeNextCycle(s);
        if (atEnd)
            form.applyButtonEvent(ButtonEvent::NextCycleAtEnd);
        AutoRange(s);
        SetMarkerRadius(s);
        // The range fields' handlers re-derive the minima; the radius stays.
        form.showRange();
        form.setFieldText(Field::CycleEnd, integerField(s.CycleEndStep(n)));
        // A peak field becoming 0 analyses the cycle from its change handler;
        // a command run during that analysis's yields may have moved on.
        form.setFieldText(Field::PeakStep, integerField(s.PeakStep(0, n)), 0);
        if (s.CycleNo == n)
            form.setFieldText(Field::PeakStep, integerField(s.PeakStep(1, n)), 1);
    });
    if (n == 0 || s.CycleNo != n)
        return; // superseded: the newer command carries on
    CycleView::of(form).analyseAfterYield(n);
    if (s.CycleNo == n && cycleLimitReached(s, atEnd)) {
        // The arrays hold 100 cycles: the analysis cannot go on, but what
        // was analysed can be saved.
        form.applyButtonEvent(ButtonEvent::CycleLimitReached);
        showMessage(&form,
                    QStringLiteral("Only the first 100 cycles of a record can be analysed. "
                                   "\"Write to file\" saves them."),
                    MessageIcon::Information);
    }
}

} // namespace

void connectCycleCommands(Form1 &form)
{
    for (int i = 0; i < 7; ++i)
        form.onClicked(Button::Step, static_cast<std::size_t>(i), [&form, i] { Command1_Click(form, i); });
    for (int i = 0; i < 2; ++i)
        form.onField(Field::PeakStep, static_cast<std::size_t>(i), FieldSignal::Changed,
                     [&form, i] { Text15_Change(form, i); });
    form.onClicked(Button::NextCycle, 0, [&form] { Command6_Click(form); });
    // A typed step takes effect when the user leaves its field (Enter, Tab,
    // a click elsewhere), not at every keystroke. The animated analysis runs
    // just after the focus change, not inside it: a click that moved the
    // focus onto a button then still reaches the button, whose command
    // entry settles the analysis.
    CycleView &view = CycleView::of(form);
    const std::pair<Field, std::size_t> stepFields[] = {
        {Field::CycleEnd, 0}, {Field::PeakStep, 0}, {Field::PeakStep, 1}};
    for (const auto &[field, index] : stepFields) {
        form.onField(field, index, FieldSignal::Edited, [&view] { view.noteTypedStep(); });
        form.onField(
            field, index, FieldSignal::Finished, [&view] { view.analyseTypedSteps(true); }, Qt::QueuedConnection);
    }
}

} // namespace kov

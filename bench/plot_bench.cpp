// The window's drawing: the full "Draw" of a 2000-step record (load, clear,
// axes, range fields and the whole path with its markers, yields included),
// and the cycle view's animation of one cycle, at full speed and paced as
// the program runs it (wall-clock time: a paced view mostly waits).

#include "bench/benchrecord.h"
#include "window/drawcommand.h"
#include "window/form1.h"
#include "window/kovapp.h"
#include "window/module11.h"
#include "window/picturebox.h"

#include <QApplication>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

/// The window, shown, with the record chosen and its columns set.
std::unique_ptr<kov::Form1> windowOn(kov::SharedState &state, const std::string &path)
{
    auto form = kov::createMainWindow(state);
    form->show();
    state.DataFileName = path;
    controls(*form).Text4->setText(QStringLiteral("2"));
    controls(*form).Text5->setText(QStringLiteral("3"));
    return form;
}

void BM_Draw2000Steps(benchmark::State &bench)
{
    const kov::bench::TempRecord record(17);
    kov::SharedState state;
    auto form = windowOn(state, record.path);
    for (auto _ : bench) {
        kov::Command3_Click(*form, 0);
        benchmark::DoNotOptimize(controls(*form).Picture1->image().constBits());
    }
    if (state.RowCount != 2000.0f)
        bench.SkipWithError("the record did not load");
}
BENCHMARK(BM_Draw2000Steps)->Unit(benchmark::kMillisecond);

/// One cycle of range(0) steps through the cycle view; range(1) 1 = paced.
void BM_CycleView(benchmark::State &bench)
{
    const kov::bench::TempRecord record(17);
    kov::SharedState state;
    auto form = windowOn(state, record.path);
    kov::Command3_Click(*form, 0);
    const int steps = static_cast<int>(bench.range(0));
    state.CycleNo = 1;
    state.CycleEndStep(0) = 1;
    state.CycleEndStep(1) = static_cast<std::int16_t>(1 + steps);
    state.PeakStep(0, 1) = 26;
    state.PeakStep(1, 1) = 76;
    kov::MODULE11::setAnimationPaced(*form, bench.range(1) == 1);
    for (auto _ : bench)
        kov::MODULE11::AnalyseCycle(*form);
    kov::MODULE11::setAnimationPaced(*form, false);
}
BENCHMARK(BM_CycleView)
    ->ArgsProduct({{40, 400, 1999}, {0, 1}})
    ->ArgNames({"steps", "paced"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

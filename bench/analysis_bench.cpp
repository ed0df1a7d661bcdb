// One 2000-step record (20 cycles of a growing loop) through the core.

#include "analysis/core/course.h"
#include "analysis/core/cycle.h"
#include "analysis/core/metrics.h"
#include "bench/benchrecord.h"
#include "output/metricsexport.h"
#include "output/resultsfile.h"
#include "reader/testrecord.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct Fixture {
    Fixture() : path(kov::bench::writeGrowingLoopRecord("kov-bench")) {}
    ~Fixture() { std::filesystem::remove(path); }

    std::unique_ptr<kov::SharedState> freshState() const
    {
        auto s = std::make_unique<kov::SharedState>();
        kov::applyStartValues(*s);
        s->XColumn = 2;
        s->YColumn = 3;
        s->DataFileName = path;
        return s;
    }

    std::string path;
};

const Fixture &fixture()
{
    static const Fixture f;
    return f;
}

std::tm fixedTime()
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mday = 1;
    return t;
}

void BM_LoadTestRecord(benchmark::State &st)
{
    auto s = fixture().freshState();
    for (auto _ : st) {
        s->DataLoaded = 0;
        kov::LoadTestRecord(*s);
        benchmark::DoNotOptimize(s->RowCount);
    }
}
BENCHMARK(BM_LoadTestRecord)->Unit(benchmark::kMicrosecond);

void BM_CyclesOfLoadedRecord(benchmark::State &st)
{
    // The automatic analysis alone: the record stays loaded and counted.
    auto s = fixture().freshState();
    kov::analyseRecord(*s);
    for (auto _ : st) {
        s->CycleNo = 0;
        int cycles = 0;
        for (;;) {
            const bool atEnd = kov::proposeNextCycle(*s);
            kov::runCycleComputation(*s);
            ++cycles;
            if (atEnd || kov::cycleLimitReached(*s, atEnd))
                break;
        }
        benchmark::DoNotOptimize(cycles);
    }
}
BENCHMARK(BM_CyclesOfLoadedRecord)->Unit(benchmark::kMicrosecond);

void BM_ResultsText(benchmark::State &st)
{
    auto s = fixture().freshState();
    kov::analyseRecord(*s);
    const std::tm now = fixedTime();
    for (auto _ : st) {
        s->XUnit = "mm";
        s->YUnit = "kN";
        benchmark::DoNotOptimize(kov::resultsText(*s, now));
    }
}
BENCHMARK(BM_ResultsText)->Unit(benchmark::kMicrosecond);

void BM_Metrics(benchmark::State &st)
{
    // The metrics of the analysed record: per-cycle quantities, both
    // envelopes and their EEEP curves.
    auto s = fixture().freshState();
    kov::analyseRecord(*s);
    for (auto _ : st)
        benchmark::DoNotOptimize(kov::computeMetrics(*s));
}
BENCHMARK(BM_Metrics)->Unit(benchmark::kMicrosecond);

void BM_MetricsJsonAndCsv(benchmark::State &st)
{
    // The metrics and the texts of NAME-kov.json and NAME-kov.csv.
    auto s = fixture().freshState();
    kov::analyseRecord(*s);
    const kov::ExportContext context{fixture().path, "mm", "kN", false};
    for (auto _ : st) {
        const auto metrics = kov::computeMetrics(*s);
        benchmark::DoNotOptimize(kov::metricsJson(*s, metrics, context));
        benchmark::DoNotOptimize(kov::metricsCsv(metrics, context));
    }
}
BENCHMARK(BM_MetricsJsonAndCsv)->Unit(benchmark::kMicrosecond);

void BM_WholeRecord(benchmark::State &st)
{
    // What kov-batch does per record, without the file write: a fresh state,
    // the load and the analysis, the results text.
    const std::tm now = fixedTime();
    int cycles = 0;
    for (auto _ : st) {
        auto s = fixture().freshState();
        cycles = kov::analyseRecord(*s).cycles;
        s->XUnit = "mm";
        s->YUnit = "kN";
        benchmark::DoNotOptimize(kov::resultsText(*s, now));
    }
    st.counters["cycles"] = cycles;
}
BENCHMARK(BM_WholeRecord)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

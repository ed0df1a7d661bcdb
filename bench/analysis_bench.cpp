// One 2000-step record (20 cycles of a growing loop) through the core: the
// load (17 and 3 columns), the automatic analysis, the results text, the
// metrics with their JSON and CSV.

#include "bench/benchrecord.h"
#include "core/analysis/course.h"
#include "core/analysis/cycle.h"
#include "core/analysis/metrics.h"
#include "core/output/metricsexport.h"
#include "core/output/resultsfile.h"
#include "core/reader/numberscan.h"
#include "core/reader/recorddigest.h"
#include "core/reader/recordlayout.h"
#include "core/reader/testrecord.h"
#ifdef KOV_BENCH_REFERENCE_READER
#include "tests/core/referencereader.h"
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

/// The 17-column record (about 180 KB) and its 3-column twin.
struct Fixture {
    std::unique_ptr<kov::SharedState> freshState(int columns = 17) const
    {
        auto s = std::make_unique<kov::SharedState>();
        kov::applyStartValues(*s);
        s->XColumn = 2;
        s->YColumn = 3;
        s->DataFileName = columns == 3 ? narrow.path : wide.path;
        return s;
    }

    kov::bench::TempRecord wide{17};
    kov::bench::TempRecord narrow{3};
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

/// The load of a fresh record: counts, then values (range(0) columns).
template <void (*Load)(kov::SharedState &)>
void BM_Load(benchmark::State &st)
{
    const int columns = static_cast<int>(st.range(0));
    auto s = fixture().freshState(columns);
    for (auto _ : st) {
        s->DataLoaded = 0;
        Load(*s);
        benchmark::DoNotOptimize(s->RowCount);
    }
    if (s->RowCount != 2000.0f || s->ColumnCount != columns)
        st.SkipWithError("the record did not load");
    st.SetBytesProcessed(st.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(s->DataFileName)));
}
BENCHMARK(BM_Load<kov::LoadTestRecord>)->Name("BM_LoadTestRecord")->Arg(17)->Arg(3)->Unit(benchmark::kMicrosecond);

/// kov-batch's load with --skip-lines auto and columns by name (disp, load):
/// the header found in the record's first 64 KiB, then the load as above.
void BM_LoadFindingTheHeader(benchmark::State &st)
{
    auto s = fixture().freshState();
    for (auto _ : st) {
        const kov::RecordLayout layout = kov::readLayout(s->DataFileName, -1, {});
        const auto column = [&](std::string_view name) {
            const auto at = std::find(layout.names.begin(), layout.names.end(), name);
            return static_cast<std::int16_t>(at - layout.names.begin() + 1);
        };
        s->SkipLines = static_cast<std::int16_t>(layout.header.size());
        s->XColumn = column("disp");
        s->YColumn = column("load");
        s->DataLoaded = 0;
        kov::LoadTestRecord(*s);
        benchmark::DoNotOptimize(s->RowCount);
    }
    if (s->RowCount != 2000.0f || s->SkipLines != 5 || s->XColumn != 2 || s->YColumn != 3)
        st.SkipWithError("the record did not load as with the numbers");
}
BENCHMARK(BM_LoadFindingTheHeader)->Unit(benchmark::kMicrosecond);

/// The load with the record's SHA-256 computed in the same pass.
void BM_LoadWithSha256(benchmark::State &st)
{
    auto s = fixture().freshState();
    for (auto _ : st) {
        kov::RecordDigest digest;
        s->DataLoaded = 0;
        kov::LoadTestRecord(*s, {}, &digest);
        benchmark::DoNotOptimize(digest.sha256());
    }
}
BENCHMARK(BM_LoadWithSha256)->Unit(benchmark::kMicrosecond);

#ifdef KOV_BENCH_REFERENCE_READER
// The reader as it was: three passes (lines, fields, values).
BENCHMARK(BM_Load<kov::reference::LoadTestRecord>)->Name("BM_LoadTestRecordThreePasses")->Arg(17)->Arg(3)->Unit(benchmark::kMicrosecond);
#endif

void BM_FieldNumbers(benchmark::State &st)
{
    // The conversion of the chosen fields alone: 4000 fields as the record's.
    std::vector<std::string> fields;
    for (int i = 0; i < 4000; ++i)
        fields.push_back(std::to_string(i % 2 ? -i * 0.0137 : i * 0.0711).substr(0, 7));
    for (auto _ : st)
        for (const std::string &f : fields)
            benchmark::DoNotOptimize(kov::scanNumber(f, kov::FieldNumber));
}
BENCHMARK(BM_FieldNumbers)->Unit(benchmark::kMicrosecond);

void BM_ReloadChangedColumn(benchmark::State &st)
{
    // DataLoaded 1: the counts stay, only the values are read.
    auto s = fixture().freshState();
    kov::LoadTestRecord(*s);
    for (auto _ : st) {
        s->XColumn = static_cast<std::int16_t>(s->XColumn == 2 ? 4 : 2);
        kov::LoadTestRecord(*s);
        benchmark::DoNotOptimize(s->RowCount);
    }
}
BENCHMARK(BM_ReloadChangedColumn)->Unit(benchmark::kMicrosecond);

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
    kov::ExportContext context;
    context.record = fixture().wide.path;
    context.xUnit = "mm";
    context.yUnit = "kN";
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

#include "batch/exports.h"

#include "core/output/atomicfile.h"
#include "core/output/resultsfile.h"
#include "core/state/failure.h"

namespace kov::batch {

void writeMetricFiles(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context,
                      const Options &options, const RecordPlan &plan, PendingWrites &pending, std::string *paths,
                      const std::function<void(const std::string &, int)> &fail)
{
    auto write = [&](OutputKind kind, const char *ending, auto &&text) {
        const PlannedFile *planned = plan.find(kind);
        if (planned && !planned->taken.empty()) {
            fail(planned->taken, err::FileExists);
            return;
        }
        try {
            // A name the plan could not make fails here as it always did.
            const std::string target = planned ? planned->path : outputFileName(context.record, ending);
            pending.write(target, text());
            if (paths)
                *paths += target + '\n';
        } catch (const Failure &f) {
            fail(failureLine(f), f.number());
        }
    };
    if (options.json)
        write(OutputKind::Json, "-kov.json", [&] { return metricsJson(state, metrics, context); });
    if (options.csv) {
        write(OutputKind::Csv, "-kov.csv", [&] { return metricsCsv(metrics, context); });
        write(OutputKind::LevelsCsv, "-kov-levels.csv", [&] { return levelsCsv(metrics, context); });
    }
}

} // namespace kov::batch

#include "batch/exports.h"

#include "output/atomicfile.h"
#include "output/resultsfile.h"

namespace kov::batch {

int writeMetricFiles(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context,
                     const Options &options, std::ostream *paths,
                     const std::function<void(const std::string &)> &fail)
{
    int first = 0;
    auto write = [&](const char *ending, auto &&text) {
        try {
            const std::string target = outputFileName(context.record, ending);
            writeFileAtomically(target, text());
            if (paths)
                *paths << target << '\n';
        } catch (const Failure &f) {
            fail(std::string(f.what()) + " (" + std::to_string(f.number()) + ")");
            if (first == 0)
                first = f.number();
        }
    };
    if (options.json)
        write("-kov.json", [&] { return metricsJson(state, metrics, context); });
    if (options.csv) {
        write("-kov.csv", [&] { return metricsCsv(metrics, context); });
        write("-kov-levels.csv", [&] { return levelsCsv(metrics, context); });
    }
    return first;
}

} // namespace kov::batch

#include "batch/plan.h"

#include "core/analysis/stepsfile.h"
#include "core/output/fileidentity.h"
#include "core/output/resultsfile.h"
#include "core/state/failure.h"
#include "report/comparison.h"
#include "report/report.h"

#include <filesystem>
#include <map>

namespace kov::batch {

namespace {

/// The path of an output beside the record, or nothing when its name
/// cannot be made.
std::optional<std::string> besideRecord(const std::string &absolute, const char *ending)
{
    try {
        return outputFileName(absolute, ending);
    } catch (const Failure &) {
        return std::nullopt;
    }
}

std::string overwriteError(OutputKind kind, const std::string &path, const char *what, const std::string &other)
{
    return std::string("kov-batch: the ") + outputKindName(kind) + " '" + path + "' would overwrite the " + what +
           " '" + other + "'";
}

} // namespace

const char *outputKindName(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Results: return "results file";
    case OutputKind::Json: return "JSON file";
    case OutputKind::Csv: return "CSV file";
    case OutputKind::LevelsCsv: return "levels CSV file";
    case OutputKind::Picture: return "picture";
    case OutputKind::Summary: return "summary";
    case OutputKind::Compare: return "comparison";
    case OutputKind::Report: return "report";
    }
    return "file";
}

const PlannedFile *RecordPlan::find(OutputKind kind) const
{
    for (const PlannedFile &f : outputs)
        if (f.kind == kind)
            return &f;
    return nullptr;
}

std::optional<std::vector<RecordPlan>> planCall(const Options &options, const std::vector<CallRecord> &callRecords,
                                               std::string &error)
{
    std::vector<RecordPlan> plans;
    // The files the call reads, by identity: its records, the campaign file
    // and the steps files; what each is and its path as named.
    std::map<FileId, std::pair<const char *, std::string>> records;
    for (const CallRecord &call : callRecords) {
        const std::string &record = call.record;
        RecordPlan plan;
        plan.record = record;
        plan.label = call.label;
        plan.group = call.group;
        plan.options = call.options;
        plan.absolute = normalisedAbsolutePath(record);
        std::optional<FileId> id;
        plan.skipped = isResultsFile(record, &id);
        if (!plan.skipped)
            records.emplace(id ? *id : fileIdOf(record), std::pair{"record", record});
        plans.push_back(std::move(plan));
    }
    if (!options.campaignFile.empty())
        records.emplace(fileIdOf(options.campaignFile), std::pair{"campaign file", options.campaignFile});
    for (const RecordPlan &plan : plans) {
        if (plan.skipped || plan.options->stepsFile.empty())
            continue;
        // As the analysis finds it: with %n, a record may have none.
        const std::string &pattern = plan.options->stepsFile;
        const std::string steps = withBaseName(pattern, std::filesystem::path(plan.record).stem().string());
        std::error_code ec;
        if (steps == pattern || std::filesystem::exists(steps, ec))
            records.emplace(fileIdOf(steps), std::pair{"steps file", steps});
    }

    // Who writes each file: the record's index (or -1 for a file of the
    // call), its kind and its path as named.
    struct Writer {
        long record;
        OutputKind kind;
        std::string path;
    };
    std::map<FileId, Writer> written;
    // Claims path for the writer; false with error set for a usage error.
    auto claim = [&](long index, OutputKind kind, const std::string &path, std::string *taken) {
        const FileId id = fileIdOf(path);
        if (const auto r = records.find(id); r != records.end()) {
            error = overwriteError(kind, path, r->second.first, r->second.second);
            return false;
        }
        const auto [it, isNew] = written.emplace(id, Writer{index, kind, path});
        if (isNew)
            return true;
        const Writer &earlier = it->second;
        if (taken == nullptr || earlier.record < 0 || earlier.record == index) {
            error = overwriteError(kind, path, outputKindName(earlier.kind), earlier.path);
            return false;
        }
        // A later record of the call: it fails, the earlier file stays.
        *taken = failureLine("Cannot write " + path + ", an output of the record " +
                                 plans[static_cast<std::size_t>(earlier.record)].record + ": " +
                                 errorDescription(err::FileExists),
                             err::FileExists);
        return true;
    };

    for (std::size_t i = 0; i < plans.size(); ++i) {
        RecordPlan &plan = plans[i];
        if (plan.skipped)
            continue;
        auto add = [&](OutputKind kind, const std::optional<std::string> &path) {
            if (path)
                plan.outputs.push_back({kind, *path, {}});
        };
        if (!options.toStdout)
            add(OutputKind::Results, besideRecord(plan.absolute, "-kov.prn"));
        if (options.json)
            add(OutputKind::Json, besideRecord(plan.absolute, "-kov.json"));
        if (options.csv) {
            add(OutputKind::Csv, besideRecord(plan.absolute, "-kov.csv"));
            add(OutputKind::LevelsCsv, besideRecord(plan.absolute, "-kov-levels.csv"));
        }
        if (!options.plotFile.empty())
            add(OutputKind::Picture,
                pictureName(options.plotFile, std::filesystem::path(plan.record).stem().string()));
        for (PlannedFile &f : plan.outputs)
            if (!claim(static_cast<long>(i), f.kind, f.path, &f.taken))
                return std::nullopt;
    }
    // "-" is standard output, no file.
    if (!options.summaryFile.empty() && options.summaryFile != "-" &&
        !claim(-1, OutputKind::Summary, options.summaryFile, nullptr))
        return std::nullopt;
    if (!options.compareFile.empty() && options.compareFile != "-" &&
        !claim(-1, OutputKind::Compare, options.compareFile, nullptr))
        return std::nullopt;
    if (!options.reportFile.empty() && options.reportFile != "-" &&
        !claim(-1, OutputKind::Report, options.reportFile, nullptr))
        return std::nullopt;
    // A long call's records each have a page of their own beside the report.
    if (!options.reportFile.empty() && options.reportFile != "-" && plans.size() > report::ManyRecords)
        for (std::size_t i = 0; i < plans.size(); ++i)
            if (!plans[i].skipped && !claim(-1, OutputKind::Report, recordPagePath(options.reportFile, i), nullptr))
                return std::nullopt;
    return plans;
}

} // namespace kov::batch

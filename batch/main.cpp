// kov-batch: takes test records from input to results file without a window,
// on the same core functions as the kov window.

#include "analysis/core/course.h"
#include "analysis/core/metrics.h"
#include "batch/exports.h"
#include "batch/options.h"
#include "batch/plotoutput.h"
#include "output/atomicfile.h"
#include "output/resultsfile.h"

#include <csignal>
#include <ctime>
#include <functional>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace {

std::string baseName(const std::string &record)
{
    return std::filesystem::path(record).stem().string();
}

/// A folder entry, known by its folder's identity and its name, so that two
/// spellings of one path ("r.prn", "d/../r.prn") compare equal.
struct Entry {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;
    bool operator==(const Entry &) const = default;
};

std::optional<Entry> entryOf(const std::string &path)
{
    const std::filesystem::path p(path);
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : ".";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return std::nullopt;
    return Entry{st.st_dev, st.st_ino, p.filename().string()};
}

/// The usage error when a picture of the run would replace one of its
/// records, else an empty text. (No picture can replace a results file: a
/// picture's name ends in .png or .svg, a results file's in -kov.prn.)
std::string pictureOverRecord(const kov::batch::Options &options)
{
    if (options.plotFile.empty())
        return {};
    std::vector<std::pair<Entry, std::string>> records;
    for (const std::string &record : options.records)
        if (const auto e = entryOf(record))
            records.emplace_back(*e, record);
    for (const std::string &record : options.records) {
        const std::string picture = kov::batch::pictureName(options.plotFile, baseName(record));
        const auto e = entryOf(picture);
        for (const auto &[entry, name] : records)
            if (e && *e == entry)
                return "kov-batch: the picture '" + picture + "' would overwrite the record '" + name + "'";
    }
    return {};
}

/// The usage error when a file of the call (what: "summary", "report")
/// would replace a record of the run, else an empty text.
std::string fileOverRecord(const kov::batch::Options &options, const std::string &file, const char *what)
{
    const auto entry = entryOf(file);
    if (file.empty() || !entry)
        return {};
    for (const std::string &record : options.records)
        if (entryOf(record) == entry)
            return std::string("kov-batch: the ") + what + " '" + file + "' would overwrite the record '" + record + "'";
    return {};
}

/// The usage error when the report would replace the summary.
std::string reportOverSummary(const kov::batch::Options &options)
{
    if (options.reportFile.empty() || options.summaryFile.empty())
        return {};
    const auto report = entryOf(options.reportFile);
    if (report && report == entryOf(options.summaryFile))
        return "kov-batch: the report '" + options.reportFile + "' would overwrite the summary '" +
               options.summaryFile + "'";
    return {};
}

/// Date and time as line 2 of the results file gives them.
std::string nowText()
{
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    char text[32];
    std::strftime(text, sizeof text, "%d-%m-%Y, %H:%M:%S", &now);
    return text;
}

/// "3, 5-7, 9": the cycle numbers, runs of three or more joined.
std::string cycleList(const std::vector<int> &cycles)
{
    std::string text;
    for (std::size_t i = 0; i < cycles.size();) {
        std::size_t j = i;
        while (j + 1 < cycles.size() && cycles[j + 1] == cycles[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(cycles[i]);
        if (j >= i + 2)
            text += "-" + std::to_string(cycles[j]);
        else if (j == i + 1)
            text += ", " + std::to_string(cycles[j]);
        i = j + 1;
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit makes writes fail with an error instead of ending us.
    std::signal(SIGXFSZ, SIG_IGN);

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = kov::batch::parseOptions(args, error);
    if (!options) {
        std::cerr << error << '\n';
        return 2;
    }
    if (options->help) {
        std::cout << kov::batch::usageText();
        return 0;
    }
    if (options->version) {
        std::cout << "kov-batch " << KOV_VERSION << '\n';
        return 0;
    }

    std::string clash = pictureOverRecord(*options);
    if (clash.empty())
        clash = fileOverRecord(*options, options->summaryFile, "summary");
    if (clash.empty())
        clash = fileOverRecord(*options, options->reportFile, "report");
    if (clash.empty())
        clash = reportOverSummary(*options);
    if (!clash.empty()) {
        std::cerr << clash << '\n';
        return 2;
    }

    int status = 0;
    std::vector<kov::SummaryRow> summary; // --summary: one row per record
    const bool report = !options->reportFile.empty();
    std::vector<kov::ReportRecord> reported; // --report: every record with what it showed
    for (const std::string &record : options->records) {
        kov::ReportRecord entry;
        entry.name = record;
        // Failures and warnings go to standard error, and into the report.
        auto fail = [&](const std::string &line) {
            std::cerr << record << ": " << line << '\n';
            entry.errors.push_back(line);
            status = 1;
        };
        auto warn = [&](const std::string &line) {
            std::cerr << record << ": warning: " << line << '\n';
            entry.warnings.push_back(line);
        };

        // Every record starts from a fresh state, as if the program had just started.
        auto state = std::make_unique<kov::SharedState>();
        kov::applyStartValues(*state);
        kov::applySettings(*state, *options);
        // Opened exactly as named; only line 2 and the results name use the
        // normalised absolute path.
        state->DataFileName = record;

        kov::AutomaticCourse course;
        try {
            course = kov::analyseRecord(*state);
        } catch (const kov::Failure &f) {
            fail("This file includes error data or you may mistake column or skip indication. (" +
                 std::to_string(f.number()) + ")");
            summary.push_back(kov::failedSummaryRow(kov::normalisedAbsolutePath(record), f.number()));
            if (report) {
                entry.summary = summary.back();
                reported.push_back(std::move(entry));
            }
            continue;
        }
        int recordError = 0; // the number of the record's first failure after loading
        if (course.truncated)
            warn("only the first 100 cycles were analysed; the record goes on");
        if (!course.beyondFloatRange.empty())
            warn((course.beyondFloatRange.size() == 1 ? "cycle " : "cycles ") + cycleList(course.beyondFloatRange) +
                 ": an energy is beyond the float range (written as Infinity, -Infinity or NaN; damping 0)");

        if (!options->plotFile.empty()) {
            const std::string plotPath = kov::batch::pictureName(options->plotFile, baseName(record));
            std::string plotError;
            if (!kov::batch::writeRecordPlot(*state, plotPath, options->plotScale, plotError)) {
                fail(plotError);
                recordError = kov::err::DeviceIO; // the picture reports no number of its own
            }
        }

        try {
            if (options->toStdout) {
                std::time_t t = std::time(nullptr);
                std::tm now{};
                localtime_r(&t, &now);
                std::cout << kov::resultsText(*state, now) << std::flush;
            } else {
                std::cout << kov::WriteResultsFile(*state) << '\n';
            }
        } catch (const kov::Failure &f) {
            fail(std::string(f.what()) + " (" + std::to_string(f.number()) + ")");
            recordError = recordError ? recordError : f.number();
        }

        // The metrics are computed once from the state the course left, for
        // the JSON and CSV files and the summary.
        if (options->json || options->csv || !options->summaryFile.empty() || report) {
            auto metrics = kov::computeMetrics(*state, *options);
            const kov::ExportContext context{kov::normalisedAbsolutePath(record), options->xUnit, options->yUnit,
                                             course.truncated};
            // With --stdout, standard output carries the results tables only.
            const int e = kov::batch::writeMetricFiles(*state, metrics, context, *options,
                                                       options->toStdout ? nullptr : &std::cout, fail);
            if (e != 0)
                recordError = recordError ? recordError : e;
            summary.push_back(kov::summaryRow(context.record, *state, metrics, recordError));
            if (report) {
                entry.summary = summary.back();
                entry.metrics = std::move(metrics);
                entry.truncated = course.truncated;
                entry.state = std::move(state);
                reported.push_back(std::move(entry));
            }
        }
    }

    if (!options->summaryFile.empty()) {
        try {
            kov::writeFileAtomically(options->summaryFile, kov::summaryCsv(summary));
        } catch (const kov::Failure &f) {
            std::cerr << "kov-batch: " << f.what() << " (" << f.number() << ")\n";
            status = 1;
        }
    }
    if (report) {
        kov::ReportRequest request;
        request.path = options->reportFile;
        request.generated = nowText();
        request.program = std::string("kov-batch ") + KOV_VERSION;
        request.settings = {*options, *options};
        request.records = std::move(reported);
        std::string reportError;
        if (!kov::batch::writeCallReport(request, reportError)) {
            std::cerr << "kov-batch: " << reportError << '\n';
            status = 1;
        }
    }

    // A failed write to standard output (a full disk, for one) is a
    // failure, never a success.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "kov-batch: cannot write to standard output\n";
        status = 1;
    }
    return status;
}

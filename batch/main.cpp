// kov-batch: takes test records from input to results file without a window,
// on the same core functions as the kov window.

#include "analysis/core/course.h"
#include "batch/options.h"
#include "batch/plotoutput.h"
#include "output/resultsfile.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>

namespace {

/// The record's absolute path as the window would store it: symbolic links
/// are not resolved.
std::string absolutePath(const std::string &record)
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(record, ec);
    return ec ? record : p.lexically_normal().string();
}

std::string baseName(const std::string &record)
{
    return std::filesystem::path(record).stem().string();
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

    int status = 0;
    for (const std::string &record : options->records) {
        // Every record starts from a fresh state, as if the program had just started.
        auto state = std::make_unique<kov::SharedState>();
        kov::applyStartValues(*state);
        state->XColumn = options->xColumn;
        state->YColumn = options->yColumn;
        state->SkipLines = options->skipLines;
        state->XCoef = options->xCoef;
        state->YCoef = options->yCoef;
        state->DataFileName = absolutePath(record);

        kov::AutomaticCourse course;
        try {
            course = kov::analyseRecord(*state);
        } catch (const kov::Failure &f) {
            std::cerr << record
                      << ": This file includes error data or you may mistake column or skip indication. ("
                      << f.number() << ")\n";
            status = 1;
            continue;
        }
        if (course.truncated)
            std::cerr << record << ": warning: only the first 100 cycles were analysed; the record goes on\n";

        if (!options->plotFile.empty()) {
            std::string plotPath = options->plotFile;
            for (std::size_t at; (at = plotPath.find("%n")) != std::string::npos;)
                plotPath.replace(at, 2, baseName(record));
            std::string plotError;
            if (!kov::batch::writeRecordPlot(*state, plotPath, options->plotScale, plotError)) {
                std::cerr << record << ": " << plotError << '\n';
                status = 1;
            }
        }

        state->XUnit = options->xUnit;
        state->YUnit = options->yUnit;
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
            std::cerr << record << ": " << f.what() << " (" << f.number() << ")\n";
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

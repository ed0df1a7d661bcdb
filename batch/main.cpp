// kov-batch: takes test records from input to results file without a window,
// on the same core functions as the kov window.

#include "batch/callfiles.h"
#include "batch/options.h"
#include "batch/pipeline.h"
#include "batch/plan.h"
#include "batch/recordplan.h"
#include "batch/runner.h"

#include <csignal>
#include <iostream>

int main(int argc, char *argv[])
{
    // A file-size limit makes writes fail with an error instead of ending us.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string error;
    const auto options = kov::batch::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << error << '\n';
        return 2;
    }
    if (options->help || options->version) {
        std::cout << (options->help ? kov::batch::usageText() : "kov-batch " KOV_VERSION "\n");
        return 0;
    }
    if (options->inspect)
        return kov::batch::inspectRecords(*options, std::cout, std::cerr);
    // Every file the call writes is known before any is written.
    auto plans = kov::batch::planCall(*options, error);
    if (!plans) {
        std::cerr << error << '\n';
        return 2;
    }
    // Where the options need a record's header (auto, a column name), it is
    // read now, so that a name no column has stops the call before any work.
    const auto readings = kov::batch::planReadings(*options, error);
    if (!readings) {
        std::cerr << error << '\n';
        return 2;
    }
    for (std::size_t i = 0; i < plans->size() && i < readings->size(); ++i) {
        for (const std::string &note : (*readings)[i].notes)
            std::cerr << (*plans)[i].record << ": " << note << '\n';
        (*plans)[i].reading = (*readings)[i];
    }

    kov::batch::CallFiles files(*options);
    int status = 0;
    std::size_t handed = 0;
    const bool complete = kov::batch::runRecords(*plans, *options, [&](std::size_t i, kov::batch::RecordOutcome &&outcome) {
        kov::batch::drawRecordPicture(outcome, (*plans)[i], *options);
        kov::batch::printErrorLines(std::cerr, outcome);
        if (!options->quiet || options->toStdout)
            std::cout << outcome.out;
        if (outcome.failed())
            status = 1;
        files.add(std::move(outcome.entry));
        ++handed;
    });
    // The files of the records done are written also when interrupted; the
    // last line then says so.
    if (!files.write(std::cout, std::cerr))
        status = 1;
    if (!complete) {
        std::cout.flush();
        std::cerr << "kov-batch: interrupted: " << handed << " of " << plans->size() << " records done\n";
    }

    // A failed write to standard output (a full disk, for one) is a
    // failure, never a success.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "kov-batch: cannot write to standard output\n";
        status = 1;
    }
    return complete ? status : 130;
}

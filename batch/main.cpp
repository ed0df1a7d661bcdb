// kov-batch: takes test records from input to results file without a window,
// on the same core functions as the kov window.

#include "batch/callfiles.h"
#include "batch/options.h"
#include "batch/pipeline.h"
#include "batch/plan.h"
#include "batch/recordplan.h"
#include "batch/runner.h"
#include "core/output/atomicfile.h"
#include "core/state/failure.h"

#include <csignal>
#include <iostream>
#include <new>

namespace {

/// How a signal that stopped the call is named in its last line.
const char *stoppedBy(int signal)
{
    switch (signal) {
    case SIGINT: return "interrupted";
    case SIGTERM: return "terminated";
    case SIGHUP: return "hung up";
    default: return "stopped";
    }
}

int runCall(int argc, char *argv[])
{
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
    // A campaign file is read whole, and must be sound, before any record.
    const auto records = kov::batch::callRecords(*options, error);
    if (!records) {
        std::cerr << error << '\n';
        return 2;
    }
    if (options->inspect)
        return kov::batch::inspectRecords(*records, std::cout, std::cerr);
    kov::setFileSync(!options->noSync);
    // Every file the call writes is known before any is written.
    auto plans = kov::batch::planCall(*options, *records, error);
    if (!plans) {
        std::cerr << error << '\n';
        return 2;
    }
    // Where the options need a record's header (auto, a column name), it is
    // read now, so that a name no column has stops the call before any work.
    const auto readings = kov::batch::planReadings(*records, error);
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
    bool outputClosed = false;
    kov::batch::runRecords(*plans, *options, [&](std::size_t i, kov::batch::RecordOutcome &&outcome) {
        kov::batch::drawRecordPicture(outcome, (*plans)[i], *options);
        kov::batch::printErrorLines(std::cerr, outcome);
        if ((!options->quiet || options->toStdout) && !outcome.out.empty()) {
            // A reader that has gone (kov-batch ... | head -1) stops the
            // call as a signal does: seen at once, not at the end.
            if (!(std::cout << outcome.out << std::flush) && !outputClosed) {
                outputClosed = true;
                kov::batch::requestStop();
            }
        }
        if (outcome.failed())
            status = 1;
        files.add(std::move(outcome.entry));
        ++handed;
    });
    if (!files.write(std::cout, std::cerr))
        status = 1;

    // A failed write to standard output (a full disk, a closed pipe) is a
    // failure, never a success.
    std::cout.flush();
    if (outputClosed || !std::cout) {
        std::cerr << "kov-batch: cannot write to standard output: " << handed << " of " << plans->size()
                  << " records done\n";
        status = 1;
    }
    if (const int signal = kov::batch::StopSignals::received()) {
        std::cerr << "kov-batch: " << stoppedBy(signal) << ": " << handed << " of " << plans->size()
                  << " records done\n";
        return 128 + signal;
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit makes writes fail with an error instead of ending us.
    std::signal(SIGXFSZ, SIG_IGN);
    // SIGINT, SIGTERM and SIGHUP end the call the same way at any moment:
    // the records under way finish, the summary and the report are written.
    const kov::batch::StopSignals signals;
    // Whatever a call did not expect still ends it with a line and every
    // temporary file removed (as the stack unwinds to here).
    try {
        return runCall(argc, argv);
    } catch (const std::bad_alloc &) {
        std::cerr << "kov-batch: " << kov::failureLine(kov::err::OutOfMemory) << '\n';
    } catch (const std::exception &e) {
        std::cerr << "kov-batch: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "kov-batch: an unexpected failure\n";
    }
    return 1;
}

#include "batch/callfiles.h"

#include "batch/plotoutput.h"
#include "output/atomicfile.h"

#include <ctime>

namespace kov::batch {

namespace {

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

} // namespace

CallFiles::CallFiles(const Options &options) : m_options(options) {}

void CallFiles::add(ReportRecord &&entry)
{
    if (!m_options.summaryFile.empty())
        m_summary.push_back(entry.summary);
    if (!m_options.reportFile.empty())
        m_reported.push_back(std::move(entry));
}

bool CallFiles::write(std::ostream &err)
{
    bool ok = true;
    if (!m_options.summaryFile.empty()) {
        try {
            writeFileAtomically(m_options.summaryFile, summaryCsv(m_summary));
        } catch (const Failure &f) {
            err << "kov-batch: " << f.what() << " (" << f.number() << ")\n";
            ok = false;
        }
    }
    if (!m_options.reportFile.empty()) {
        ReportRequest request;
        request.path = m_options.reportFile;
        request.generated = nowText();
        request.program = std::string("kov-batch ") + KOV_VERSION;
        request.settings = {m_options, m_options};
        request.records = std::move(m_reported);
        std::string reportError;
        if (!writeCallReport(request, reportError)) {
            err << "kov-batch: " << reportError << '\n';
            ok = false;
        }
    }
    return ok;
}

} // namespace kov::batch

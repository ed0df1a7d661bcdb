#include "batch/callfiles.h"

#include "core/output/atomicfile.h"

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

CallFiles::CallFiles(const Options &options) : m_options(options)
{
    if (!m_options.reportFile.empty())
        m_report = std::make_unique<ReportWriter>(m_options.reportFile, ReportSettings{m_options, m_options});
}

CallFiles::~CallFiles() = default;

void CallFiles::add(ReportRecord &&entry)
{
    if (!m_options.summaryFile.empty())
        m_summary.push_back(entry.summary);
    if (m_report)
        m_report->add(entry);
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
    if (m_report) {
        std::string reportError;
        const bool written = m_report->finish(nowText(), std::string("kov-batch ") + KOV_VERSION, reportError);
        m_report.reset();
        if (!written) {
            err << "kov-batch: " << reportError << '\n';
            ok = false;
        }
    }
    return ok;
}

} // namespace kov::batch

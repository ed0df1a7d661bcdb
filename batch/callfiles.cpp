#include "batch/callfiles.h"

#include "core/output/atomicfile.h"

#include <ctime>
#include <filesystem>

namespace kov::batch {

namespace {

/// Date and time of the call as the report shows them: ISO 8601, local
/// time ("2026-12-09 14:03:27").
std::string nowText()
{
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &now);
    return text;
}

/// A file's path as the records' files are listed: absolute and normal.
std::string listedPath(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

} // namespace

CallFiles::CallFiles(const Options &options) : m_options(options)
{
    if (!m_options.reportFile.empty())
        m_report = std::make_unique<ReportWriter>(m_options.reportFile, reportSettings(m_options, m_options));
}

CallFiles::~CallFiles() = default;

void CallFiles::add(ReportRecord &&entry)
{
    if (!m_options.summaryFile.empty())
        m_summary.push_back(entry.summary);
    if (m_report)
        m_report->add(entry);
}

bool CallFiles::write(std::ostream &out, std::ostream &err)
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
        } else if (!m_options.quiet && !m_options.toStdout) {
            out << listedPath(m_options.reportFile) << '\n';
        }
    }
    return ok;
}

} // namespace kov::batch

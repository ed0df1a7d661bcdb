#include "batch/callfiles.h"

#include "core/output/atomicfile.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <unistd.h>

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
    if (m_options.reportFile.empty())
        return;
    // A report for standard output is written to a folder of its own first
    // and copied out whole once written.
    std::string path = m_options.reportFile;
    if (path == "-") {
        const char *tmp = std::getenv("TMPDIR");
        std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/kov-report-XXXXXX";
        if (::mkdtemp(folder.data()) != nullptr) {
            m_reportFolder = folder;
            path = folder + "/report.html";
        } else {
            m_reportError = "Cannot write the report: no scratch folder in " + folder.substr(0, folder.rfind('/'));
            return;
        }
    }
    m_report = std::make_unique<ReportWriter>(path, reportSettings(m_options, m_options), m_options.referenceGroup,
                                              m_options.reportFile != "-");
}

CallFiles::~CallFiles()
{
    m_report.reset();
    if (!m_reportFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_reportFolder, ignored);
    }
}

void CallFiles::add(ReportRecord &&entry)
{
    if (entry.label.empty())
        entry.label = std::filesystem::path(entry.name).stem().string();
    if (!m_options.compareFile.empty() && !entry.summary.skipped) {
        // A record is compared when it was analysed and nothing failed.
        const bool ok = entry.summary.errorNumber == 0 && entry.summary.rows.has_value();
        ComparedRecord r = ok ? comparedRecord(entry.label, entry.group, entry.metrics, entry.summary.xUnit,
                                               entry.summary.yUnit)
                              : ComparedRecord{entry.label, entry.group, true, {}, {}, {}, {}, {}, {}};
        m_compared.push_back(std::move(r));
    }
    if (!m_options.summaryFile.empty())
        m_summary.push_back(entry.summary);
    if (m_report)
        m_report->add(entry);
}

bool CallFiles::write(std::ostream &out, std::ostream &err)
{
    bool ok = true;
    if (m_options.summaryFile == "-") {
        out << summaryCsv(m_summary) << std::flush;
    } else if (!m_options.summaryFile.empty()) {
        try {
            writeFileAtomically(m_options.summaryFile, summaryCsv(m_summary));
        } catch (const Failure &f) {
            err << "kov-batch: " << failureLine(f) << '\n';
            ok = false;
        }
    }
    if (!m_options.compareFile.empty()) {
        const std::string table = comparisonCsv(compareRecords(m_compared, m_options.referenceGroup));
        if (m_options.compareFile == "-") {
            out << table << std::flush;
        } else {
            try {
                writeFileAtomically(m_options.compareFile, table);
            } catch (const Failure &f) {
                err << "kov-batch: " << failureLine(f) << '\n';
                ok = false;
            }
        }
    }
    std::string reportError = m_reportError;
    if (m_report) {
        const bool written = m_report->finish(nowText(), std::string("kov-batch ") + KOV_VERSION, reportError);
        m_report.reset();
        if (written && !m_reportFolder.empty()) {
            std::ifstream page(m_reportFolder + "/report.html", std::ios::binary);
            out << page.rdbuf() << std::flush;
        } else if (written && !m_options.quiet && !m_options.toStdout) {
            out << listedPath(m_options.reportFile) << '\n';
        }
    }
    if (!reportError.empty()) {
        err << "kov-batch: " << reportError << '\n';
        ok = false;
    }
    return ok;
}

} // namespace kov::batch

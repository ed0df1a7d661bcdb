#pragma once

// The files of a whole kov-batch call: the summary (--summary) and the
// groups' statistics (--compare), written once every record has run, and the report (--report), whose sections are drawn
// as the records come and whose page is written at the end.

#include "batch/options.h"
#include "core/output/comparison.h"
#include "report/report.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kov::batch {

class CallFiles {
public:
    explicit CallFiles(const Options &options);
    ~CallFiles();

    /// Adds the next record of the call, in the order of the call. Of a
    /// record the report keeps only what its summary shows.
    void add(ReportRecord &&entry);

    /// Writes the summary and the report of the records added (to out when
    /// named "-"), and lists the report's path on out as the records' files are listed (not with
    /// --quiet or --stdout). Returns false when one of them could not be
    /// written, its reason printed on err.
    bool write(std::ostream &out, std::ostream &err);

private:
    const Options &m_options;
    std::vector<SummaryRow> m_summary;
    std::vector<ComparedRecord> m_compared; ///< for --compare
    std::unique_ptr<ReportWriter> m_report;
    std::string m_reportFolder; ///< the scratch folder of a report for standard output
    std::string m_reportError;  ///< why that folder could not be made
};

} // namespace kov::batch

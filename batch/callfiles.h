#pragma once

// The files of a whole kov-batch call, written once every record has run:
// the summary (--summary) and the report (--report).

#include "batch/options.h"
#include "output/reportrequest.h"

#include <ostream>
#include <vector>

namespace kov::batch {

class CallFiles {
public:
    explicit CallFiles(const Options &options);

    /// Adds the next record of the call, in the order of the call.
    void add(ReportRecord &&entry);

    /// Writes the summary and the report of the records added. Returns false
    /// when one of them could not be written, its reason printed on err.
    bool write(std::ostream &err);

private:
    const Options &m_options;
    std::vector<SummaryRow> m_summary;
    std::vector<ReportRecord> m_reported;
};

} // namespace kov::batch

#pragma once

#include "core/state/sharedstate.h"
#include "report/reportrequest.h"

#include <string>

namespace kov::batch {

/// Draws the loop of a loaded record, as "Draw" draws it with the automatic
/// range, into a .png or .svg file. Returns false with error set when the
/// picture cannot be made or written.
bool writeRecordPlot(const SharedState &state, const std::string &path, double scale, std::string &error);

/// The HTML report of the call, written by the picture module as the records
/// come (kov::ReportWriter): open it before the records run, add each record
/// in order, finish it at the end.
class CallReport {
public:
    /// picturesBetween: loop pictures (writeRecordPlot) are drawn while the
    /// report is open.
    CallReport(const std::string &path, const ReportSettings &settings, bool picturesBetween);
    /// Abandons a report not finished: nothing is written.
    ~CallReport();
    CallReport(const CallReport &) = delete;
    CallReport &operator=(const CallReport &) = delete;

    void add(const ReportRecord &record);
    /// Writes the page. Returns false with error set when it cannot be made
    /// or written, or when opening or adding a record failed.
    bool finish(const std::string &generated, const std::string &program, std::string &error);

private:
    std::string m_path;
    void *m_handle = nullptr; ///< the module's report
    std::string m_error;      ///< why the report could not be opened
};

} // namespace kov::batch

#pragma once

// The HTML report of a kov-batch call: one self-contained page for all its
// records, drawn from a request of plain core data (report/reportrequest.h)
// as text. No Qt, no display, no fonts: anything that links the core can
// write it.

#include "report/reportrequest.h"

#include <memory>
#include <string>

namespace kov {

/// The page: the call's own sections (a summary table with a row per
/// record, its name linking to the record's section, a failed record with
/// its error lines), then for every record that loaded a section that
/// starts a new printed page, with the loop (cycle end and peak steps
/// marked, the envelope and its EEEP curves), the per-cycle charts (energy
/// and cumulative energy, damping, secant stiffness relative to the first
/// cycle), the envelope figures, the per-cycle table and the settings.
/// Charts are inline SVG; the page refers to nothing outside itself. Every
/// text from the user (names, paths, units, messages) is escaped, and a
/// byte that is not UTF-8 becomes U+FFFD. Numbers are written the same in
/// every locale.
std::string reportHtml(const ReportRequest &request);

/// One record's section on its own, as an HTML fragment to show inside
/// another page (a notebook's cell): a <div class="kov-report"> holding the
/// page's style, scoped to that element, and the section as the page has
/// it, headed by the record's file name. A record that did not load gives
/// its name and error lines.
/// The folder of a long call's record pages: the report's path without its
/// extension, "-records" added ("out/r.html": "out/r-records").
std::string recordPagesFolder(const std::string &reportPath);

/// The page of the record at index (0-based, in the order of the call) in
/// that folder: "out/r-records/record-7.html" for index 6.
std::string recordPagePath(const std::string &reportPath, std::size_t index);

std::string recordSectionHtml(const ReportRecord &record, const ReportSettings &settings);

/// The page of reportHtml written as its records come, byte for byte the
/// same: each record's section is drawn when it is added and put into an
/// unnamed scratch file (in the report's folder, else in $TMPDIR or /tmp),
/// so that of a record only what the call's own sections show of it stays
/// in memory. finish() writes the head and the call's sections, then the
/// records' sections, whole or not at all (AtomicFile).
///
/// With more than report::ManyRecords records (and recordPages), the page
/// holds the call's sections only, and each record's section is a page of
/// its own, recordPagePath(path, i), linked from the summary; finish writes
/// those pages first, each whole or not at all, then the page.
class ReportWriter {
public:
    /// The report of a call to path with the call's settings.
    /// The report of a call to path with the call's settings; referenceGroup
    /// is the group the comparison's ratios are to ("" none).
    ReportWriter(const std::string &path, const ReportSettings &settings, const std::string &referenceGroup = {},
                 bool recordPages = false);
    ~ReportWriter();
    ReportWriter(const ReportWriter &) = delete;
    ReportWriter &operator=(const ReportWriter &) = delete;

    /// Adds the next record of the call. A failure (the scratch file cannot
    /// be written) is kept for finish; the records after it are not drawn.
    void add(const ReportRecord &record);

    /// Writes the page. Returns false with error set ("Cannot write r.html:
    /// Disk full (61)") when it cannot, or when an earlier add failed.
    bool finish(const std::string &generated, const std::string &program, std::string &error);

private:
    struct Page;
    std::unique_ptr<Page> m_page;
};

} // namespace kov

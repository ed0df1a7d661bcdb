#pragma once

// The HTML report of a kov-batch call: one self-contained page for all its
// records, drawn from a request of plain core data (output/reportrequest.h).

#include "output/reportrequest.h"

#include <string>

namespace kov {

/// The page: a summary table with a row per record (its name linking to the
/// record's section, a failed record with its error lines), then for every
/// record that loaded a section that starts a new printed page, with the
/// loop (cycle end and peak steps marked, the envelope and its EEEP curves),
/// the per-cycle charts (energy and cumulative energy, damping, secant
/// stiffness relative to the first cycle), the envelope figures, the
/// per-cycle table and the settings. Charts are inline SVG; the page refers
/// to nothing outside itself. Every text from the user (names, paths,
/// units, messages) is escaped, and a byte that is not UTF-8 becomes U+FFFD.
/// Makes a QGuiApplication (offscreen) for the call when there is none.
std::string reportHtml(const ReportRequest &request);

/// Writes reportHtml to request.path whole or not at all
/// (writeFileAtomically). Returns false with error set ("Cannot write
/// r.html: Disk full (61)") when it cannot.
bool writeReport(const ReportRequest &request, std::string &error);

} // namespace kov

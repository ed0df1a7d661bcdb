#pragma once

// The charts of the HTML report as SVG elements to put inline into the page
// (no XML prolog, no size of their own: the page scales them by their
// viewBox), written as text (svgwriter.h). No Qt: the loop is mapped by the
// window's PlotMapping and drawn light, when long, as the window draws it.
//
// A cycle that is not closed (CycleMetrics::closed, the open tail of a
// record) is drawn in a style of its own, hollow and dashed, and no scale
// takes its values: a value beyond a chart's scale is drawn at the edge with
// a mark and the value beside it.

#include "core/analysis/metrics.h"
#include "core/drawing/design.h"
#include "core/drawing/plotmapping.h"
#include "core/state/sharedstate.h"

#include <optional>
#include <string>

namespace kov::report {

/// The colours of the charts, "#rrggbb". The steps' markers are those of
/// the window's cycle view (design::plotcolour): cycle end step red, peak
/// step 1 blue, peak step 2 green.
namespace colour {
namespace detail {
inline constexpr auto EndStep = design::hexText(design::plotcolour::EndStep);
inline constexpr auto PeakStep1 = design::hexText(design::plotcolour::PeakStep1);
inline constexpr auto PeakStep2 = design::hexText(design::plotcolour::PeakStep2);
} // namespace detail
inline constexpr const char *Path = "#4d4d4d";
inline constexpr const char *EndStep = detail::EndStep.data();
inline constexpr const char *PeakStep1 = detail::PeakStep1.data();
inline constexpr const char *PeakStep2 = detail::PeakStep2.data();
inline constexpr const char *Envelope = "#e07b00";
inline constexpr const char *Eeep = "#7b3294";
inline constexpr const char *Bars = "#8eb4d6";
inline constexpr const char *Cumulative = "#d95f02";
inline constexpr const char *Series = "#1f5f99";
inline constexpr const char *Primary = "#1f5f99";
inline constexpr const char *Repeat = "#8eb4d6";
inline constexpr const char *Trailing = "#f2c48d";
inline constexpr const char *NoLevel = "#cccccc";
inline constexpr const char *Text = "#333333";
inline constexpr const char *Frame = "#999999";
inline constexpr const char *Grid = "#e6e6e6";
} // namespace colour

/// The dashes of an open cycle's lines and outlines.
inline constexpr const char *OpenDashes = "3 2";

/// The loop chart shows the window's plot area at this many times its size.
inline constexpr int LoopScale = 2;

/// A path longer than this many points, after its light drawing, is drawn
/// coarser until it fits, so that a chart's size is bounded whatever the
/// record.
inline constexpr std::size_t MaxPathPoints = 16000;

/// Where the loop chart puts its plot area: the window's plot area times
/// LoopScale, its upper-left corner at (left, top) of the chart, in the user
/// coordinates of the record's own automatic range (the window after "Clear
/// scale", and kov-batch's pictures). Step i lies at (left +
/// mapping.toPixelX(XData(i)), top + mapping.toPixelY(-YData(i))), LoopScale
/// times where the window draws it.
struct LoopFrame {
    double left = 0.0;
    double top = 0.0;
    PlotMapping mapping;
};
LoopFrame loopFrame(const SharedState &state);

/// The whole X-Y path of a loaded record with the peak steps 1 (blue) and 2
/// (green) and the end step (red) of every cycle marked, each side's
/// envelope points joined (the points ringed) and its EEEP curve dashed,
/// grid, ticks and axis titles with the units. The steps of an open cycle
/// are drawn dashed, and its end step (the record's last) hollow. A long
/// record (isLongLoop) is drawn light: every step left out lies within half
/// a unit of the path drawn, the cycles' steps stay on it, and markers of a
/// kind that fall on the same unit are drawn once.
std::string loopChart(const SharedState &state, const RecordMetrics &metrics, const std::string &xUnit,
                      const std::string &yUnit);

/// Energy per cycle as bars (left axis) and the cumulative energy as a line
/// (right axis).
std::string energyChart(const RecordMetrics &metrics, const std::string &energyUnit);

/// The equivalent damping factor of each cycle.
std::string dampingChart(const RecordMetrics &metrics);

/// The cycle whose secant stiffness the stiffness chart divides by: the
/// first closed one with a finite positive one (cycle 1 as a rule); none
/// when no closed cycle has one. An index into metrics.cycles.
std::optional<std::size_t> stiffnessReference(const RecordMetrics &metrics);

/// Each cycle's secant stiffness divided by that of cycles[reference]: the
/// stiffness degradation, with a dashed line at 1.
std::string stiffnessChart(const RecordMetrics &metrics, std::size_t reference);

/// The loading protocol: each cycle's amplitude as a bar coloured by its
/// role (primary, repeat, trailing, none), a dashed line where each level
/// starts.
std::string protocolChart(const RecordMetrics &metrics, const std::string &xUnit);

/// The relative energy dissipation ratio of each cycle, with a dashed line
/// at 1/8.
std::string betaChart(const RecordMetrics &metrics);

/// A curve of the comparison: polylines in user coordinates, drawn in one
/// colour ("#rrggbb"). Lines of the same colour are drawn as one path.
struct OverlayLine {
    std::vector<std::vector<EnvelopePoint>> runs;
    std::string colour;
};

/// The lines of several records over one another on axes that hold all
/// their finite points and the origin, with lines through 0; thin lines
/// (width) when there are many. limit, when there is one, is a dashed level
/// line (1 on a ratio).
std::string overlayChart(const std::vector<OverlayLine> &lines, const std::string &xTitle, const std::string &yTitle,
                         const std::string &label, double width, std::optional<double> limit = std::nullopt);

} // namespace kov::report

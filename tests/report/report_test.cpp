// The HTML report: the page's structure (sections, rows, one SVG per chart,
// nothing from outside), the data its charts draw, read back from the SVG
// text and mapped back through the plot's mapping, and the numbers of its
// axes and tables.

#include "core/analysis/course.h"
#include "core/analysis/metrics.h"
#include "core/drawing/loopgeometry.h"
#include "core/drawing/picturefile.h"
#include "report/charts.h"
#include "report/report.h"
#include "report/reportformat.h"
#include "report/svgwriter.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace kov;
namespace fs = std::filesystem;

namespace {

/// A record analysed as kov-batch analyses it (without the window's limits),
/// with its summary row.
ReportRecord analysed(const std::string &path, const ReportSettings &s)
{
    auto state = std::make_unique<SharedState>();
    state->setLimits(RecordLimits);
    applyStartValues(*state);
    applySettings(*state, s);
    state->DataFileName = path;
    const AutomaticCourse course = analyseRecord(*state);
    ReportRecord r;
    r.name = path;
    r.metrics = computeMetrics(*state, s);
    r.summary = summaryRow(path, *state, r.metrics, 0);
    r.truncated = course.truncated;
    r.state = std::move(state);
    return r;
}

ReportSettings damperSettings()
{
    ReportSettings s;
    s.skipLines = 0;
    s.yUnit = "kN";
    s.height = 100.0; // neither damper repeats a level, so acceptance is not reached
    return s;
}

/// Every piece of text from open up to and including close, in order.
std::vector<std::string> pieces(const std::string &text, const std::string &open, const std::string &close)
{
    std::vector<std::string> found;
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const std::size_t end = text.find(close, at + open.size());
        found.push_back(text.substr(at, end == std::string::npos ? end : end + close.size() - at));
    }
    return found;
}

std::size_t count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

using Line = std::vector<std::pair<double, double>>;

/// The lines of path data: a new line at every M x y, then relative lines
/// l dx dy, h dx and v dy; points rounded to the tenth the charts draw.
std::vector<Line> pathLines(const std::string &d)
{
    static const std::regex token(R"([Mlhv]|-?(\d+(\.\d*)?|\.\d+))");
    std::vector<Line> lines;
    char command = 'M';
    std::vector<double> n;
    double x = 0, y = 0;
    auto apply = [&] {
        for (std::size_t i = 0; i < n.size();) {
            if (command == 'M') {
                x = n[i], y = n[i + 1], i += 2;
                lines.emplace_back();
            } else if (command == 'l') {
                x += n[i], y += n[i + 1], i += 2;
            } else {
                (command == 'h' ? x : y) += n[i++];
            }
            lines.back().emplace_back(std::round(x * 10) / 10, std::round(y * 10) / 10);
        }
        n.clear();
    };
    for (auto it = std::sregex_iterator(d.begin(), d.end(), token); it != std::sregex_iterator(); ++it) {
        if (std::isalpha(static_cast<unsigned char>(it->str()[0]))) {
            apply();
            command = it->str()[0];
        } else {
            n.push_back(std::stod(it->str()));
        }
    }
    apply();
    return lines;
}

/// The points of a polyline: "x,y x,y ...".
Line pointsLine(const std::string &points)
{
    Line line;
    std::istringstream in(points);
    double x = 0, y = 0;
    char comma = 0;
    while (in >> x >> comma >> y)
        line.emplace_back(x, y);
    return line;
}

/// The lines of the paths and polylines in the chart's groups whose
/// attributes hold every one of the given texts (a stroke colour, a dash
/// pattern), in drawing order.
std::vector<Line> polylines(const std::string &svg, const std::vector<std::string> &attributes)
{
    std::vector<Line> lines;
    for (const std::string &group : pieces(svg, "<g ", "</g>")) {
        const std::string head = group.substr(0, group.find('>'));
        if (!std::all_of(attributes.begin(), attributes.end(),
                         [&](const std::string &a) { return head.find(a) != std::string::npos; }))
            continue;
        for (const std::string &element : pieces(group, "<p", "/>")) {
            const std::size_t from = element.find('"') + 1;
            const std::string data = element.substr(from, element.find('"', from) - from);
            if (element.rfind("<path", 0) == 0)
                for (const Line &l : pathLines(data))
                    lines.push_back(l);
            else
                lines.push_back(pointsLine(data));
        }
    }
    return lines;
}

/// The texts of the chart's labels, in drawing order.
std::vector<std::string> labels(const std::string &svg)
{
    std::vector<std::string> texts;
    for (const std::string &t : pieces(svg, "<text ", "</text>"))
        texts.push_back(t.substr(t.find('>') + 1, t.size() - t.find('>') - 8));
    return texts;
}

class Report : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        request = new ReportRequest;
        request->settings = damperSettings();
        request->generated = "2026-12-09 10:00:00";
        request->program = "kov-batch test";
        for (const char *name : {"ufp-damper-ganey2015.prn", "slit-damper-chan-albermani.prn"})
            request->records.push_back(analysed(std::string(KOV_EXAMPLES_DIR "/") + name, request->settings));
        ReportRecord missing;
        missing.name = "missing.prn";
        missing.summary = failedSummaryRow("/nowhere/missing.prn", 53);
        missing.errors = {"This file includes error data or you may mistake column or skip indication. (53)"};
        request->records.insert(request->records.begin() + 1, std::move(missing));
        html = new std::string(reportHtml(*request));
    }
    static void TearDownTestSuite()
    {
        delete html;
        delete request;
    }
    static ReportRequest *request;
    static std::string *html;
};
ReportRequest *Report::request = nullptr;
std::string *Report::html = nullptr;

TEST_F(Report, WrittenAsTheRecordsComeIsTheSamePage)
{
    const fs::path dir = fs::temp_directory_path() / ("kov-report-stream-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "r.html").string();
    std::string error;
    {
        ReportWriter writer(path, request->settings);
        for (const ReportRecord &r : request->records)
            writer.add(r);
        EXPECT_TRUE(writer.finish(request->generated, request->program, error)) << error;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, *html);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "only the page is left";
    fs::remove_all(dir);
}

TEST_F(Report, HasASummaryRowPerRecordAndASectionPerLoadedRecord)
{
    const auto summary = pieces(*html, "<table class=\"summary\">", "</table>");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(count(summary[0], "<tr"), 1u + 3u); // the head and one row per record
    EXPECT_EQ(count(summary[0], "<tr class=\"failed\">"), 1u);
    EXPECT_NE(summary[0].find("<td class=\"text\">missing.prn<td class=\"text\">error 53<div class=\"errline\">This file includes"),
              std::string::npos);
    EXPECT_NE(summary[0].find("<a href=\"#record-2\">slit-damper-chan-albermani.prn</a>"), std::string::npos);

    const auto sections = pieces(*html, "<section class=\"record\"", "</section>");
    ASSERT_EQ(sections.size(), 2u);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const ReportRecord &r = request->records[i == 0 ? 0 : 2];
        const std::string &s = sections[i];
        EXPECT_EQ(s.find("<section class=\"record\" id=\"record-" + std::to_string(i + 1) + "\">"), 0u);
        EXPECT_NE(s.find("<p class=\"location\">" + r.summary.record + "</p>"), std::string::npos);
        // The loop and the five per-cycle charts, each one SVG scaled by its viewBox.
        const auto svgs = pieces(s, "<svg", "</svg>");
        ASSERT_EQ(svgs.size(), 6u);
        for (const std::string &svg : svgs) {
            EXPECT_TRUE(std::regex_search(svg, std::regex("^<svg class=\"chart\" viewBox=\"0 0 \\d+ \\d+\" role=\"img\"")))
                << svg.substr(0, 200);
            EXPECT_EQ(count(svg, "<svg"), 1u);
        }
        const auto cycles = pieces(s, "<table class=\"cycles\">", "</table>");
        ASSERT_EQ(cycles.size(), 1u);
        EXPECT_EQ(count(cycles[0], "<tr>"), 1u + r.metrics.cycles.size());
        EXPECT_EQ(count(cycles[0], "<td"), cycleColumns().size() * r.metrics.cycles.size());
        EXPECT_EQ(count(cycles[0], "<th class"), cycleColumns().size());
        const auto levels = pieces(s, "<table class=\"levels\">", "</table>");
        ASSERT_EQ(levels.size(), 1u);
        EXPECT_EQ(count(levels[0], "<tr>"), 1u + r.metrics.levels.size());
        EXPECT_NE(s.find("<th>Verdict</th><td><td><td class=\"text\">not reached</tr>"), std::string::npos);
    }
    EXPECT_EQ(count(summary[0], "<td class=\"text\">not reached"), 2u);
}

TEST_F(Report, RefersToNothingOutsideItselfAndPrintsARecordPerPage)
{
    for (const char *outside : {"src=", "<link", "<script", "@import", "url(", "http:", "https:", "<img", "<iframe"})
        EXPECT_EQ(html->find(outside), std::string::npos) << outside;
    for (const std::string &href : pieces(*html, "href=\"", "\""))
        EXPECT_EQ(href.rfind("href=\"#", 0), 0u) << href;
    EXPECT_EQ(html->rfind("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">", 0), 0u);
    EXPECT_NE(html->find("@page{size:A4"), std::string::npos);
    EXPECT_NE(html->find("section.record{break-before:page}"), std::string::npos);
    EXPECT_NE(html->find("<meta name=\"viewport\""), std::string::npos);
    EXPECT_EQ(html->find("<?xml"), std::string::npos);
}

TEST_F(Report, LoopLandsWhereTheWindowDrawsItsPointsAndCarriesTheEnvelope)
{
    const ReportRecord &r = request->records[2]; // the slit damper
    const SharedState &s = *r.state;
    const std::string loop = pieces(pieces(*html, "<section class=\"record\" id=\"record-2\"", "</section>")[0],
                                    "<svg", "</svg>")[0];
    const report::LoopFrame frame = report::loopFrame(s);
    // The window's own mapping, after "Clear scale".
    PlotMapping window(PlotWidth, PlotHeight);
    window.setScale(loopCorners(withRecordRange(s)));
    auto expectAt = [&](std::pair<double, double> drawn, double x, double y) {
        EXPECT_NEAR(drawn.first, frame.left + frame.mapping.toPixelX(x), 0.05 + 1e-9);
        EXPECT_NEAR(drawn.second, frame.top + frame.mapping.toPixelY(-y), 0.05 + 1e-9);
        EXPECT_NEAR((drawn.first - frame.left) / report::LoopScale, window.toPixelX(x), 0.05);
        EXPECT_NEAR((drawn.second - frame.top) / report::LoopScale, window.toPixelY(-y), 0.05);
    };

    const auto path = polylines(loop, {std::string("stroke=\"") + report::colour::Path + "\""});
    ASSERT_EQ(path.size(), 1u);
    ASSERT_EQ(path[0].size(), static_cast<std::size_t>(s.RowCount));
    for (int i = 1; i <= static_cast<int>(s.RowCount); ++i)
        expectAt(path[0][static_cast<std::size_t>(i - 1)], s.XData(i), s.YData(i));

    const std::string envelope = std::string("stroke=\"") + report::colour::Envelope + "\"";
    const auto sides = polylines(loop, {envelope});
    ASSERT_EQ(sides.size(), 2u);
    const EnvelopeSide *metricSides[] = {&r.metrics.positive, &r.metrics.negative};
    for (std::size_t k = 0; k < 2; ++k) {
        ASSERT_EQ(sides[k].size(), metricSides[k]->points.size());
        for (std::size_t i = 0; i < sides[k].size(); ++i)
            expectAt(sides[k][i], metricSides[k]->points[i].x, metricSides[k]->points[i].y);
    }

    const auto eeep = polylines(loop, {std::string("stroke=\"") + report::colour::Eeep + "\"", "stroke-dasharray"});
    ASSERT_EQ(eeep.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const EeepCurve &c = *metricSides[k]->eeep;
        ASSERT_EQ(eeep[k].size(), 3u);
        expectAt(eeep[k][0], 0.0, 0.0);
        expectAt(eeep[k][1], c.yieldDisp, c.yieldLoad);
        expectAt(eeep[k][2], c.ultimateDisp, c.yieldLoad);
    }

    // A marker for every cycle's end step, and for every peak step that is not 0.
    std::size_t peaks1 = 0;
    for (const CycleMetrics &c : r.metrics.cycles)
        peaks1 += c.peak1.step != 0 ? 1 : 0;
    const auto circlesOf = [&](const char *colour) {
        std::size_t n = 0;
        for (const std::string &g : pieces(loop, std::string("<g fill=\"") + colour + "\"", "</g>"))
            n += count(g, "<circle");
        return n;
    };
    EXPECT_EQ(circlesOf(report::colour::EndStep), r.metrics.cycles.size());
    EXPECT_EQ(circlesOf(report::colour::PeakStep1), peaks1);
}

TEST_F(Report, CycleChartsDrawABarAndAPointPerCycle)
{
    const RecordMetrics &m = request->records[2].metrics; // the slit damper: energies grow
    const std::string energy = report::energyChart(m, "kN*mm");
    const std::size_t n = m.cycles.size();
    EXPECT_EQ(count(pieces(energy, std::string("<g fill=\"") + report::colour::Bars + "\"", "</g>").at(0), "<rect"), n);
    const auto total = polylines(energy, {std::string("stroke=\"") + report::colour::Cumulative + "\""});
    ASSERT_EQ(total.size(), 1u);
    ASSERT_EQ(total[0].size(), n);
    for (std::size_t i = 1; i < n; ++i) {
        EXPECT_GT(total[0][i].first, total[0][i - 1].first); // one cycle further right
        EXPECT_LT(total[0][i].second, total[0][i - 1].second); // higher, as the total grows
    }

    // The stiffness of the reference cycle lies on the dashed line of ratio 1.
    const auto reference = report::stiffnessReference(m);
    ASSERT_EQ(reference, std::optional<std::size_t>(0));
    const std::string stiffness = report::stiffnessChart(m, *reference);
    const auto one = polylines(stiffness, {"stroke-dasharray"});
    const auto ratio = polylines(stiffness, {std::string("stroke=\"") + report::colour::Series + "\""});
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(ratio.size(), 1u);
    ASSERT_EQ(ratio[0].size(), n);
    EXPECT_EQ(ratio[0][0].second, one[0][0].second);
    EXPECT_EQ(count(stiffness, "<circle"), n);
}

TEST(ReportText, UserTextIsEscapedAndStrayBytesReplaced)
{
    const fs::path dir = fs::temp_directory_path() / ("kov-report-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string name = (dir / "<b>&\"x\xb5.prn").string();
    std::ofstream(name) << "0 -1\n1 1\n-2 -1\n3 1\n-4 -1\n";
    ReportRequest request;
    request.settings.skipLines = 0;
    request.settings.xUnit = "<i>";
    request.settings.yUnit = "k&N";
    request.records.push_back(analysed(name, request.settings));
    request.records.back().warnings = {"<script>"};
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const std::string html = reportHtml(request);
    fs::remove_all(dir);

    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), locale) << "the report put the C locale back";
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("k&N"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;&amp;&quot;x\xef\xbf\xbd.prn"), std::string::npos);
    EXPECT_NE(html.find("(&lt;i&gt;)"), std::string::npos); // also in the charts' axis titles
    EXPECT_EQ(html.find('\xb5'), std::string::npos);

    // Without cycles there are no cycle charts and no cycle table, only the loop.
    request.records.back().metrics = RecordMetrics{};
    const std::string empty = reportHtml(request);
    EXPECT_EQ(count(empty, "<svg"), 1u);
    EXPECT_NE(empty.find("<p class=\"empty\">No cycle was analysed"), std::string::npos);
    EXPECT_EQ(empty.find("<table class=\"cycles\">"), std::string::npos);
}

// ---- Open cycles, units, settings, long records

TEST_F(Report, AnOpenCycleIsDrawnApartAndStaysOutOfTheScales)
{
    const RecordMetrics &closed = request->records[2].metrics;
    RecordMetrics m = closed; // the tail as an open cycle with a damping far beyond the others
    m.cycles.back().closed = false;
    m.cycles.back().damping = 15.28f;
    RecordMetrics without = closed;
    without.cycles.pop_back();

    const std::string damping = report::dampingChart(m);
    const auto ticks = [](const std::string &svg) {
        const auto all = labels(svg);
        return std::vector<std::string>(all.begin(), std::find(all.begin(), all.end(), "1"));
    };
    EXPECT_EQ(ticks(damping), ticks(report::dampingChart(without))) << "the scale of the closed cycles";
    const auto dampingLabels = labels(damping);
    EXPECT_NE(std::find(dampingLabels.begin(), dampingLabels.end(), "15.28"), dampingLabels.end());
    const auto open = pieces(damping, std::string("<g fill=\"#ffffff\" stroke=\"") + report::colour::Series, "</g>");
    ASSERT_EQ(open.size(), 1u);
    const auto grid = polylines(damping, {std::string("stroke=\"") + report::colour::Grid});
    const double top = std::min_element(grid.begin(), grid.end())->front().second; // the highest grid line
    EXPECT_NE(open[0].find("cy=\"" + std::to_string(int(top)) + "\""), std::string::npos) << "clipped at the top";
    EXPECT_EQ(polylines(damping, {std::string("stroke=\"") + report::colour::Series, "stroke-dasharray"}).size(), 1u);

    // A bar beyond the scale ends at the frame; its value stands beside the mark.
    m.cycles.back().energy = 1e4f;
    const std::string energy = report::energyChart(m, "kN*mm");
    const std::string frame = pieces(energy, std::string("<g fill=\"none\" stroke=\"") + report::colour::Frame, "</g>")[0];
    const double frameTop = std::stod(pieces(frame, "y=\"", "\"")[0].substr(3));
    for (const std::string &y : pieces(energy.substr(energy.find(frame) + frame.size()), "<rect x=\"", "\" width"))
        EXPECT_GE(std::stod(y.substr(y.find("y=\"") + 3)), frameTop) << y;
    const auto energyLabels = labels(energy);
    EXPECT_NE(std::find(energyLabels.begin(), energyLabels.end(), "10000"), energyLabels.end());

    // No scale or reference is an open cycle's: with cycle 1 open, cycle 2 is the reference.
    RecordMetrics first = closed;
    first.cycles.front().closed = false;
    EXPECT_EQ(report::stiffnessReference(first), std::optional<std::size_t>(1));

    ReportRecord r = analysed(request->records[2].name, request->settings);
    r.metrics = m;
    const std::string section = recordSectionHtml(r, request->settings);
    EXPECT_EQ(count(section, "<tr class=\"open\"><td>" + std::to_string(m.cycles.back().cycle) +
                                 "<span class=\"tag\">open</span>"),
              1u);
    EXPECT_NE(section.find("<span class=\"key open\">"), std::string::npos);
    ReportRequest page;
    page.records.push_back(std::move(r));
    EXPECT_NE(reportHtml(page).find("<span class=\"tag\">1 open</span>"), std::string::npos);
}

TEST(ReportSummary, GivesEachRecordItsOwnUnits)
{
    struct Case {
        std::vector<std::string> loadUnits; ///< of each record, as read
        std::string head;                   ///< the peak load column's head
        std::size_t unitsInCells;
    };
    for (const Case &c : {Case{{"kN", "kN"}, "Peak load + <span class=\"unit\">(kN)</span>", 0},
                          Case{{"kN", "tonf"}, "Peak load +</th>", 2 * 2 + 2}}) {
        ReportRequest request;
        request.settings.yUnit = "tonf";
        for (const std::string &unit : c.loadUnits) {
            ReportRecord r;
            r.name = unit + ".prn";
            r.summary.record = "/d/" + r.name;
            r.summary.totalEnergy = 1.0f;
            r.summary.peakLoadPos = 2.0f;
            r.summary.peakLoadNeg = -2.0f;
            r.readWith = request.settings;
            r.readWith->yUnit = unit;
            request.records.push_back(r);
        }
        const std::string html = reportHtml(request);
        EXPECT_NE(html.find(c.head), std::string::npos) << c.loadUnits[1];
        EXPECT_EQ(count(html, "</span></td>") + count(html, "</span><td"), c.unitsInCells) << c.loadUnits[1];
        EXPECT_EQ(html.find("(tonf)"), std::string::npos);
    }
}

TEST(ReportSection, StandsAloneWithItsStyleScoped)
{
    ReportSettings s = damperSettings();
    const ReportRecord r = analysed(KOV_EXAMPLES_DIR "/slit-damper-chan-albermani.prn", s);
    const std::string fragment = recordSectionHtml(r, s);
    EXPECT_EQ(fragment.rfind("<div class=\"kov-report\"><style>.kov-report *{box-sizing:border-box}", 0), 0u);
    EXPECT_NE(fragment.find(".kov-report h2{"), std::string::npos);
    for (const char *page : {"@page", "html{", "body{", "<body"})
        EXPECT_EQ(fragment.find(page), std::string::npos) << page;
    ReportRequest request;
    request.settings = s;
    request.records.push_back(r);
    const std::string html = reportHtml(request);
    const std::string body = "<h2>slit-damper-chan-albermani.prn</h2>";
    const std::size_t at = fragment.find(body);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(html.find(fragment.substr(at + body.size() - 5, fragment.size() - at - body.size() - 1)),
              std::string::npos)
        << "the page's section";
    EXPECT_NE(fragment.find("<dt>Height</dt><dd>100 mm</dd><dt>Acceptance drift</dt><dd>0.035</dd>"),
              std::string::npos);
}

TEST(ReportLoop, ALongRecordIsDrawnLightAndBounded)
{
    const test::ScratchFolder folder;
    for (const bool noisy : {false, true}) {
        // 6,000 steps of 30 growing cycles; noisy: 200,000 whose load jitters at every
        // step, more points than a chart holds even when drawn light.
        std::string text = "h\nh\nh\nh\nh\n";
        const int rows = noisy ? 200000 : 6000;
        for (int i = 0; i < rows; ++i) {
            const double phase = 2 * M_PI * 30 * i / rows, a = 1 + 3.0 * i / rows;
            text += std::to_string(a * std::sin(phase)) + " " +
                    std::to_string(a * std::sin(phase + 0.3) + (noisy ? 0.3 * ((i * 7919) % 13 - 6) / 6 : 0.0)) + "\n";
        }
        test::writeAll(folder / "long.prn", text);
        ReportSettings s;
        const ReportRecord r = analysed((folder / "long.prn").string(), s);
        ASSERT_TRUE(isLongLoop(*r.state));
        const auto path = polylines(report::loopChart(*r.state, r.metrics, "mm", "kN"),
                                    {std::string("stroke=\"") + report::colour::Path + "\""});
        ASSERT_EQ(path.size(), 1u);
        EXPECT_LT(path[0].size(), static_cast<std::size_t>(rows) / 4) << noisy;
        EXPECT_LE(path[0].size(), report::MaxPathPoints) << noisy;
        // Every cycle's start, peaks and end stay on it, where the mapping puts them.
        const report::LoopFrame frame = report::loopFrame(*r.state);
        for (const std::size_t i : cycleSteps(*r.state)) {
            const int step = static_cast<int>(i) + 1;
            const std::pair<double, double> at(
                report::svgCoordinate(frame.left + frame.mapping.toPixelX(r.state->XData(step))),
                report::svgCoordinate(frame.top + frame.mapping.toPixelY(-r.state->YData(step))));
            EXPECT_NE(std::find(path[0].begin(), path[0].end(), at), path[0].end()) << noisy << " step " << step;
        }
    }
}

// ---- SVG text

TEST(SvgText, EscapesAndReplacesWhatIsNotUtf8)
{
    const std::string R = "\xef\xbf\xbd";
    const std::pair<std::string, std::string> cases[] = {
        {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d'"},
        {"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"x\xb5", "x" + R},
        {"\xe2\x82", R + R},                         // cut short
        {"\xc0\xaf", R + R},                         // overlong
        {"\xed\xa0\x80", R + R + R},                // a surrogate
        {"\xf4\x90\x80\x80", R + R + R + R},       // beyond U+10FFFF
        {std::string("\x01\t\n", 3), R + "\t\n"}, // no control character but blanks
    };
    for (const auto &[text, escaped] : cases)
        EXPECT_EQ(report::escapeText(text), escaped) << text;
}

TEST(SvgText, NumbersArePathStepsOfTenths)
{
    std::string numbers;
    for (const double v : {12.0, -3.45, 0.04, -0.04, 1e12, 123.456})
        report::appendNumber(numbers, v), numbers += ' ';
    EXPECT_EQ(numbers, "12 -3.5 0 0 1000000000 123.5 ");
    report::PathData d;
    d.polyline({{64, 261}, {65.2, 260.7}, {65.2, 262.7}, {61.2, 262.7}, {61.24, 262.66}, {60.8, 263}});
    d.moveTo(0.05, -0.05);
    d.lineTo(1, 1);
    EXPECT_EQ(d.text(), "M64 261l1.2-.3v2h-4v0l-.4 .3M0.1 -0.1l.9 1.1");
    EXPECT_NEAR(report::textWidth("-10.5", 12), 12.0 * (739 + 3 * 1303 + 651) / 2048, 1e-9);
}

// ---- Numbers of axes and tables

struct TickCase {
    double lo, hi;
    int maxCount;
    double first, step;
    int count, decimals;
    std::vector<std::string> texts;
};

class TickTable : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickTable, AreWholeStepsWithinTheRange)
{
    const TickCase &c = GetParam();
    const report::Ticks t = report::niceTicks(c.lo, c.hi, c.maxCount);
    EXPECT_DOUBLE_EQ(t.first, c.first);
    EXPECT_DOUBLE_EQ(t.step, c.step);
    EXPECT_EQ(t.count, c.count);
    EXPECT_EQ(t.decimals, c.decimals);
    std::vector<std::string> texts;
    for (int i = 0; i < t.count; ++i)
        texts.push_back(t.text(i));
    EXPECT_EQ(texts, c.texts);
}

INSTANTIATE_TEST_SUITE_P(Cases, TickTable, ::testing::Values(
    TickCase{-21.46, 21.46, 9, -20, 10, 5, 0, {"-20", "-10", "0", "10", "20"}},
    TickCase{-0.3, 0.3, 7, -0.3, 0.1, 7, 1, {"-0.3", "-0.2", "-0.1", "0.0", "0.1", "0.2", "0.3"}},
    TickCase{0, 2866, 6, 0, 1000, 3, 0, {"0", "1000", "2000"}},
    TickCase{1, 11, 10, 2, 2, 5, 0, {"2", "4", "6", "8", "10"}},
    TickCase{1, 3, 3, 1, 1, 3, 0, {"1", "2", "3"}},
    TickCase{0, 4e7, 5, 0, 1e7, 5, 1, {"0.0e+00", "1.0e+07", "2.0e+07", "3.0e+07", "4.0e+07"}},
    TickCase{-2.5e-7, 2.5e-7, 6, -2e-7, 1e-7, 5, 1, {"-2.0e-07", "-1.0e-07", "0.0e+00", "1.0e-07", "2.0e-07"}},
    TickCase{5, 5, 6, 5, 1, 1, 0, {"5"}}));

TEST(ReportNumbers, RangesEndOnTicksAndColumnsKeepFourDigits)
{
    double lo = 0.0, hi = 2866.0;
    report::niceRange(lo, hi, 6);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 3000.0);
    lo = hi = 0.0;
    report::niceRange(lo, hi, 6);
    EXPECT_EQ(lo, -1.0);
    EXPECT_EQ(hi, 1.0);

    const struct {
        double largest, value;
        const char *text;
    } cases[] = {{19.51, -3.14159, "-3.14"}, {3239.6, 12.3, "12"},     {0.1512, 0.15123, "0.1512"},
                 {0.1512, -0.00004, "0.0000"}, {0.0, 0.0, "0"},          {2e-5, 1.5e-5, "1.500e-05"},
                 {1e9, 123456789.0, "1.235e+08"}, {5.0, INFINITY, "Infinity"}, {5.0, -INFINITY, "-Infinity"},
                 {5.0, NAN, "NaN"}};
    for (const auto &c : cases)
        EXPECT_EQ(report::formatNumber(c.value, report::columnFormat(c.largest)), c.text) << c.largest << " " << c.value;
}

} // namespace

TEST(ReportComparison, GroupsRecordsAndMarksRatiosBelowTheReference)
{
    // Two groups of the same two dampers; "weak" holds the UFP damper twice
    // (labels a1, a2), "ref" the slit damper and the UFP damper: every
    // median of weak's peak load (that of the UFP damper) is below ref's
    // (the mean of both), so its ratio is marked.
    ReportRequest request;
    request.settings = damperSettings();
    request.referenceGroup = "ref";
    const struct {
        const char *file, *label, *group;
    } rows[] = {{"ufp-damper-ganey2015.prn", "a1", "weak"},
                {"slit-damper-chan-albermani.prn", "b1", "ref"},
                {"ufp-damper-ganey2015.prn", "a2", "weak"},
                {"ufp-damper-ganey2015.prn", "b2", "ref"}};
    for (const auto &row : rows) {
        request.records.push_back(analysed(std::string(KOV_EXAMPLES_DIR "/") + row.file, request.settings));
        request.records.back().label = row.label;
        request.records.back().group = row.group;
    }
    const std::string html = reportHtml(request);
    const std::size_t comparison = html.find("<section id=\"comparison\">");
    ASSERT_NE(comparison, std::string::npos);
    EXPECT_LT(comparison, html.find("<section class=\"record\""));
    const std::string section = html.substr(comparison, html.find("</section>", comparison) - comparison);
    EXPECT_NE(section.find(">a1</span>"), std::string::npos);
    EXPECT_NE(section.find(">b2</span>"), std::string::npos);
    // The absolute envelopes: a line per side of every record, in four shades of two colours.
    const std::string envelopes = pieces(section, "<svg", "</svg>").front();
    std::size_t lines = 0, colours = 0;
    for (const std::string &group : pieces(envelopes, "stroke-linejoin=\"round\"", "</g>")) {
        lines += polylines("<g " + group, {}).size();
        ++colours;
    }
    EXPECT_EQ(lines, 8u);
    EXPECT_EQ(colours, 4u);
    EXPECT_NE(std::find(labels(envelopes).begin(), labels(envelopes).end(), "Load Y (kN)"), labels(envelopes).end());
    // weak's table has the ratio column; its peak load + ratio is below 1.
    const std::size_t weak = section.find("<h3>weak");
    const std::size_t ref = section.find("<h3>ref");
    ASSERT_LT(weak, ref);
    const std::string weakTable = section.substr(weak, ref - weak);
    EXPECT_NE(weakTable.find("Median / ref"), std::string::npos);
    const std::string peakRow = weakTable.substr(weakTable.find("Peak load +"));
    EXPECT_NE(peakRow.substr(0, peakRow.find("</tr>")).find("<td class=\"below\">"), std::string::npos);
    EXPECT_EQ(section.substr(ref).find("Median / ref"), std::string::npos);
}

TEST(ReportComparison, RecordsInOtherUnitsGetOnlyTheNormalisedCharts)
{
    ReportRequest request;
    request.settings = damperSettings();
    for (const char *unit : {"kN", "kip"}) {
        ReportSettings s = request.settings;
        s.yUnit = unit;
        request.records.push_back(analysed(KOV_EXAMPLES_DIR "/ufp-damper-ganey2015.prn", s));
        request.records.back().readWith = s;
    }
    const std::string html = reportHtml(request);
    const std::size_t at = html.find("<section id=\"comparison\">");
    const std::string section = html.substr(at, html.find("</section>", at) - at);
    EXPECT_NE(section.find("not all in the same units"), std::string::npos);
    for (const std::string &svg : pieces(section, "<svg", "</svg>")) {
        const auto texts = labels(svg);
        EXPECT_EQ(std::find(texts.begin(), texts.end(), "Load Y (kN)"), texts.end());
        EXPECT_EQ(std::find(texts.begin(), texts.end(), "Load Y (kip)"), texts.end());
    }
    // The statistics with a unit are left empty, the ductility is not.
    EXPECT_EQ(count(section, "<svg"), 5u);
    const std::string ductility = section.substr(section.find("Ductility +"));
    EXPECT_NE(ductility.substr(0, ductility.find("</tr>")).find("<td>2<td>"), std::string::npos);
}

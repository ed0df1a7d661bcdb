// The JSON and CSV of the metrics: number texts, document order and
// round trip, null and non-finite values, CSV quoting and units, summary.

#include "core/output/metricsexport.h"
#include "core/output/recordanalysis.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>

using namespace kov;

namespace {

// ---- Numbers

struct FloatText {
    float value;
    const char *text;
};

void PrintTo(const FloatText &k, std::ostream *os)
{
    *os << k.text;
}

class JsonFloatText : public ::testing::TestWithParam<FloatText> {};

TEST_P(JsonFloatText, IsTheFloatsShortestText)
{
    EXPECT_EQ(jsonText(jsonFloat(GetParam().value)), std::string(GetParam().text) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, JsonFloatText, ::testing::Values(
    FloatText{0.1f, "0.1"}, FloatText{-2.5f, "-2.5"}, FloatText{0.0f, "0"}, FloatText{-0.0f, "0"},
    FloatText{16777217.0f, "16777216"}, FloatText{123456792.0f, "123456792"}, FloatText{1e-45f, "1e-45"},
    FloatText{std::numeric_limits<float>::min(), "1.1754944e-38"},
    FloatText{std::numeric_limits<float>::max(), "3.4028235e+38"}, FloatText{3.0e-5f, "3e-05"},
    FloatText{std::numeric_limits<float>::infinity(), "null"},
    FloatText{-std::numeric_limits<float>::infinity(), "null"},
    FloatText{std::numeric_limits<float>::quiet_NaN(), "null"}));

TEST(JsonNumbers, FloatsAcrossTheirRangeKeepTheirOwnShortestText)
{
    // A sample of about 400 000 floats of every exponent: the JSON text is
    // std::to_chars of the float, and reads back as the same float.
    for (std::uint64_t bits = 0; bits < 0x7f800000u; bits += 5273) {
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const std::string text = jsonText(jsonFloat(f));
        ASSERT_EQ(text, shortestText(f) + "\n") << bits;
        double back = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(static_cast<float>(back), f) << bits;
    }
}

TEST(JsonNumbers, DoublesAreShortestAndNonFiniteOnesNull)
{
    EXPECT_EQ(jsonText(jsonDouble(0.1)), "0.1\n");
    EXPECT_EQ(jsonText(jsonDouble(1.0 / 3.0)), "0.3333333333333333\n");
    EXPECT_EQ(jsonText(jsonDouble(static_cast<double>(0.1f))), "0.10000000149011612\n");
    EXPECT_EQ(jsonText(jsonDouble(1e300)), "1e+300\n");
    EXPECT_EQ(jsonText(jsonDouble(-std::numeric_limits<double>::infinity())), "null\n");
    EXPECT_EQ(jsonText(jsonDouble(std::numeric_limits<double>::quiet_NaN())), "null\n");
    EXPECT_EQ(jsonText(jsonOptional(std::optional<double>())), "null\n");
}

// ---- Layout and strings

TEST(JsonText, LayoutAndStringsReadBackAsTheDocument)
{
    JsonDocument doc = JsonDocument::object();
    doc["path"] = std::string("/tmp/a \"b\"\\c\td\x01\xc3\xa9.prn");
    doc["empty"] = JsonDocument::array();
    doc["none"] = JsonDocument::object();
    doc["points"] = JsonDocument::array({JsonDocument::array({jsonFloat(0.1f), -3}), JsonDocument::array({1, 2})});
    doc["flag"] = false;
    EXPECT_EQ(jsonText(doc), "{\n"
                             "  \"path\": \"/tmp/a \\\"b\\\"\\\\c\\td\\u0001\xc3\xa9.prn\",\n"
                             "  \"empty\": [],\n"
                             "  \"none\": {},\n"
                             "  \"points\": [\n"
                             "    [0.1, -3],\n"
                             "    [1, 2]\n"
                             "  ],\n"
                             "  \"flag\": false\n"
                             "}\n");
    EXPECT_EQ(JsonDocument::parse(jsonText(doc)), doc);
}

TEST(JsonText, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    EXPECT_EQ(jsonText(JsonDocument(std::string("a\xff" "b"))), "\"a\xef\xbf\xbd" "b\"\n");
}

// ---- The record's document

/// A state and its metrics: one loop (2, 4) / (-2, -4) of steps 1..5, and a
/// second cycle that ends where it starts.
struct Analysed {
    Analysed()
    {
        const std::vector<LoadPoint> steps{{0, -1}, {2, 4}, {0.1f, -1}, {-2, -4}, {0, 1}};
        for (int i = 1; i <= 5; ++i) {
            state.XData(i) = steps[static_cast<std::size_t>(i - 1)].x;
            state.YData(i) = steps[static_cast<std::size_t>(i - 1)].y;
        }
        state.DataFileName = "/data/run, \"1\".prn";
        state.XColumn = 2;
        state.YColumn = 3;
        state.SkipLines = 5;
        state.XCoef = 1000.0f;
        state.YCoef = 0.1f;
        state.RowCount = 5;
        state.ColumnCount = 3;
        state.CycleNo = 2;
        state.CycleEndStep(0) = 1;
        state.CycleEndStep(1) = 5;
        state.CycleEndStep(2) = 5;
        state.PeakStep(0, 1) = 2;
        state.PeakStep(1, 1) = 4;
        state.CycleEnergy(1) = 20.5f;
        state.TotalEnergy(1) = 20.5f;
        state.CycleEnergy(2) = std::numeric_limits<float>::infinity();
        state.TotalEnergy(2) = std::numeric_limits<float>::quiet_NaN();
        state.CycleStrainEnergy(1) = 8.0f;
        state.ResultDamping(1) = 0.4078f;
        metrics = computeMetrics(state, 0.25);
    }
    SharedState state;
    RecordMetrics metrics;
};

std::vector<std::string> keys(const JsonDocument &object)
{
    std::vector<std::string> names;
    for (auto it = object.begin(); it != object.end(); ++it)
        names.push_back(it.key());
    return names;
}

ExportContext context(bool truncated, const std::string &sha256 = "")
{
    ExportContext c;
    c.record = "/data/run.prn";
    c.xUnit = "mm";
    c.yUnit = "kN";
    c.truncated = truncated;
    c.sha256 = sha256;
    return c;
}

TEST(MetricsJson, KeysInOrderAndValuesOfTheirKind)
{
    const Analysed a;
    const std::string text = metricsJson(a.state, a.metrics, context(true));
    const JsonDocument doc = JsonDocument::parse(text);
    EXPECT_EQ(doc, metricsDocument(a.state, a.metrics, context(true)));
    EXPECT_EQ(keys(doc), (std::vector<std::string>{"record", "version", "record_sha256", "settings", "rows", "columns", "truncated",
                                                   "cycles", "levels", "envelope", "acceptance"}));
    EXPECT_EQ(keys(doc["settings"]), (std::vector<std::string>{"x_column", "y_column", "skip_lines", "x_coef",
                                                               "y_coef", "x_unit", "y_unit", "level_tolerance", "height",
                                                               "acceptance_drift", "yield_disp", "peak_rule",
                                                               "envelope", "rows", "x_offset", "y_offset",
                                                               "steps_file", "steps_sha256"}));
    const JsonDocument &c1 = doc["cycles"][0];
    EXPECT_EQ(keys(c1), (std::vector<std::string>{"cycle", "start_step", "end_step", "closed", "peak1", "peak2", "energy",
                                                  "total_energy", "strain_energy", "damping", "max_load", "min_load",
                                                  "secant_stiffness", "residual_pos", "residual_neg", "level", "role",
                                                  "beta", "drift_pos", "drift_neg", "inelastic_deformation",
                                                  "cumulative_inelastic_deformation", "corrected"}));
    EXPECT_EQ(keys(c1["peak1"]), (std::vector<std::string>{"step", "x", "y"}));
    EXPECT_EQ(keys(doc["envelope"]), (std::vector<std::string>{"positive", "negative", "average"}));
    for (const char *side : {"negative", "average"})
        EXPECT_EQ(keys(doc["envelope"][side]),
                  (std::vector<std::string>{"points", "peak_load", "peak_disp", "elastic_stiffness", "yield_load",
                                            "yield_disp", "ultimate_disp", "failure_reached", "ductility",
                                            "yield_fallback"}));
    EXPECT_EQ(keys(doc["levels"][0]),
              (std::vector<std::string>{"level", "first_cycle", "amplitude", "x_pos", "x_neg", "cycles", "repeats",
                                        "trailing", "ratio", "drift", "strength_pos", "strength_neg", "loss_pos",
                                        "loss_neg", "loss3_pos", "loss3_neg"}));
    EXPECT_TRUE(doc["acceptance"].is_null()); // no height

    // Floats of the state print as floats, integers as integers.
    EXPECT_NE(text.find("\"y_coef\": 0.1,"), std::string::npos);
    EXPECT_NE(text.find("\"damping\": 0.4078,"), std::string::npos);
    EXPECT_NE(text.find("\"rows\": 5,"), std::string::npos);
    EXPECT_NE(text.find("\"truncated\": true,"), std::string::npos);
    EXPECT_NE(text.find("\"level_tolerance\": 0.25,\n"), std::string::npos);
    EXPECT_EQ(doc["record"], "/data/run.prn");
    EXPECT_EQ(c1["residual_pos"].get<double>(), 2.0 + (static_cast<double>(0.1f) - 2.0) * 4.0 / 5.0);
    EXPECT_EQ(c1["secant_stiffness"], 2.0);
    EXPECT_EQ(doc["envelope"]["negative"]["points"], JsonDocument::parse("[[0, 0], [-2, -4]]"));
    EXPECT_EQ(doc["envelope"]["negative"]["peak_load"], -4);
    EXPECT_EQ(doc["envelope"]["negative"]["failure_reached"], false);

    // Cycle 2 ends where it starts: no loads; its infinite and NaN energies
    // have no JSON number.
    const JsonDocument &c2 = doc["cycles"][1];
    for (const char *key : {"energy", "total_energy", "max_load", "min_load", "secant_stiffness", "residual_pos",
                            "residual_neg"})
        EXPECT_TRUE(c2[key].is_null()) << key;
}

TEST(MetricsJson, ASideWithoutPointsIsNullThroughout)
{
    Analysed a;
    a.state.PeakStep(1, 1) = 0;
    const JsonDocument doc = JsonDocument::parse(metricsJson(a.state, computeMetrics(a.state), context(false)));
    const JsonDocument &side = doc["envelope"]["negative"];
    EXPECT_EQ(side["points"], JsonDocument::parse("[[0, 0]]"));
    for (auto it = side.begin(); it != side.end(); ++it) {
        if (it.key() != "points") {
            EXPECT_TRUE(it->is_null()) << it.key();
        }
    }
    EXPECT_FALSE(doc["envelope"]["positive"]["ductility"].is_null());
}

// ---- CSV

TEST(MetricsCsv, HeaderWithUnitsAndOneRowPerCycle)
{
    const Analysed a;
    const std::string csv = metricsCsv(a.metrics, context(false, "9f86d0"));
    const std::string header =
        "cycle,start_step,end_step,closed,peak1_step,peak1_x (mm),peak1_y (kN),peak2_step,peak2_x (mm),peak2_y (kN),"
        "energy (kN*mm),total_energy (kN*mm),strain_energy (kN*mm),damping,max_load (kN),min_load (kN),"
        "secant_stiffness (kN/mm),residual_pos (mm),residual_neg (mm),level,role,beta,drift_pos,drift_neg,"
        "inelastic_deformation,cumulative_inelastic_deformation,record_sha256,version\r\n";
    EXPECT_EQ(csv.substr(0, header.size()), header);
    const std::string rows = csv.substr(header.size());
    EXPECT_EQ(rows.substr(0, rows.find(",20.5,")), "1,1,5,true,2,2,4,4,-2,-4");
    // Cycle 2: non-finite energies spelled out, missing values empty; its
    // amplitude 0 makes it a trailing cycle of level 1.
    EXPECT_EQ(rows.substr(rows.find("\r\n") + 2), "2,5,5,true,0,0,0,0,0,0,Infinity,NaN,0,0,,,,,,1,trailing,,,,,,9f86d0," KOV_VERSION "\r\n");
}

struct UnitCase {
    const char *xUnit, *yUnit;
    const char *energyHead, *xHead;
};

void PrintTo(const UnitCase &k, std::ostream *os)
{
    *os << k.xHead;
}

class CsvUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(CsvUnits, AreQuotedWhereTheyMustBe)
{
    const UnitCase &k = GetParam();
    ExportContext c;
    c.xUnit = k.xUnit;
    c.yUnit = k.yUnit;
    const std::string csv = metricsCsv(Analysed().metrics, c);
    const std::string header = csv.substr(0, csv.find("\r\n"));
    EXPECT_NE(header.find("," + std::string(k.energyHead) + ","), std::string::npos) << header;
    EXPECT_NE(header.find("," + std::string(k.xHead) + ","), std::string::npos) << header;
}

INSTANTIATE_TEST_SUITE_P(Cases, CsvUnits, ::testing::Values(
    UnitCase{"mm", "kN", "energy (kN*mm)", "peak1_x (mm)"},
    UnitCase{"", "", "energy", "peak1_x"},
    UnitCase{"", "kN", "energy (kN*)", "peak1_x"},
    UnitCase{"in,1", "kip \"US\"", "\"energy (kip \"\"US\"\"*in,1)\"", "\"peak1_x (in,1)\""},
    UnitCase{"\xce\xbcm", "N", "energy (N*\xce\xbcm)", "peak1_x (\xce\xbcm)"},
    // Bytes that are not UTF-8: a Latin-1 micro sign, a character cut short,
    // an overlong form, a surrogate.
    UnitCase{"\xb5m", "k\xe2\x82N", "energy (k\xef\xbf\xbdN*\xef\xbf\xbdm)", "peak1_x (\xef\xbf\xbdm)"},
    UnitCase{"\xc0\xafm", "\xed\xa0\x80", "energy (\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd*\xef\xbf\xbd\xef\xbf\xbdm)",
             "peak1_x (\xef\xbf\xbd\xef\xbf\xbdm)"}));

TEST(SummaryCsv, OkAndFailedRecords)
{
    const Analysed a;
    std::vector<SummaryRow> rows;
    rows.push_back(summaryRow(a.state.DataFileName, a.state, a.metrics, 0));
    rows.push_back(failedSummaryRow("/data/missing.prn", 53));
    rows.back().sha256 = "9f86d0";
    rows.push_back(summaryRow("/data/b.prn", a.state, a.metrics, 70));
    rows.push_back(failedSummaryRow("/data/\xb0.prn", 53));
    const std::string csv = summaryCsv(rows);
    // Mean of ResultDamping over both cycles; one envelope point a side, so
    // both ductilities are 1.
    const std::string mean = shortestText(static_cast<double>(0.4078f) / 2.0);
    // One level; cycle 1 is elastic, so no beta; no height, no acceptance.
    EXPECT_EQ(csv, "record,label,group,status,rows,cycles,total_energy,mean_damping,peak_load_pos,peak_load_neg,"
                   "ductility_pos,ductility_neg,levels,beta_min,acceptance,noise_cycles,x_unit,y_unit,record_sha256,"
                   "version\r\n"
                   "\"/data/run, \"\"1\"\".prn\",,,ok,5,2,NaN," + mean + ",4,-4,1,1,1,,,,,,," KOV_VERSION "\r\n"
                   "/data/missing.prn,,,error 53,,,,,,,,,,,,,,,9f86d0," KOV_VERSION "\r\n"
                   "/data/b.prn,,,error 70,5,2,NaN," + mean + ",4,-4,1,1,1,,,,,,," KOV_VERSION "\r\n"
                   "/data/\xef\xbf\xbd.prn,,,error 53,,,,,,,,,,,,,,,," KOV_VERSION "\r\n");
}

// ---- One record through the core's analysis, as kov-batch runs it

TEST(RecordAnalysis, GivesTheResultsOfTheCommandLine)
{
    RecordOptions options;
    options.xColumn = 2;
    options.yColumn = 3;
    options.xCoef = 1000.0f;
    options.yUnit = "kN";
    const std::string record = (test::examplesFolder() / "rc-column-soesianawati1986.prn").string();
    std::string error;
    const auto reading = resolveReading(options, record, error);
    ASSERT_TRUE(reading) << error;
    const RecordAnalysis a = analyseRecordFile(record, options, *reading);
    ASSERT_FALSE(a.failed()) << a.errors.at(0);
    const std::tm now{};
    const std::string text = recordResultsText(a, now);
    EXPECT_EQ(recordResultsText(a, now), text); // the units stay as they were
    EXPECT_EQ(test::withoutLine2(text),
              test::withoutLine2(test::readAll(test::dataFolder() / "cases/rc-column/expected-kov.prn")));
    EXPECT_EQ(a.context.sha256.size(), 64u);
    EXPECT_NE(recordJson(a).find("\"record\": \"" + record + "\""), std::string::npos);
    EXPECT_EQ(recordCsv(a).substr(0, 6), "cycle,");
}

TEST(RecordAnalysis, ARecordThatDoesNotLoadFailsWithTheWindowsMessage)
{
    test::ScratchFolder folder;
    test::writeAll(folder / "semi.prn", "h\nh\nh\nh\nh\n1,5;2,5\n2,5;x\n");
    const RecordOptions options;
    std::string error;
    const auto reading = resolveReading(options, (folder / "semi.prn").string(), error);
    const RecordAnalysis a = analyseRecordFile((folder / "semi.prn").string(), options, *reading);
    EXPECT_EQ(a.errorNumber, 13);
    EXPECT_EQ(a.errors, (std::vector<std::string>{
                            "This file includes error data or you may mistake column or skip indication. (13)",
                            "the data rows hold semicolons: for decimal commas, add --decimal-comma"}));
}

} // namespace

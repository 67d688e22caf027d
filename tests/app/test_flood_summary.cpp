// The flood summary: its values on real records against a computation written
// here from the files alone, the water balance's volume identity, negative
// inflows, records too short for a value, a computation that stopped part-way,
// and the exact text of the summary file whatever the locale.

#include "Currency.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "FloodRun.h"
#include "FloodSummary.h"
#include "InflowCorrection.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace inflow_test;

namespace {

const std::string kRealData = QUELMORA_REALDATA_DIR;

// ---------------------------------------------------------------- reference
// A second computation of the summary, from the files' text, sharing nothing
// with the program: its own reading, its own calendar, all in long double.

std::vector<std::vector<std::string>> ReadFields(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);   // the heading
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

long double Real(const std::string& text) { return std::strtold(text.c_str(), nullptr); }

// "yyyy-mm-dd hh-mm-ss" as days since 1899-12-30.
long double Days(const std::string& stamp) {
    using namespace std::chrono;
    const int y = std::stoi(stamp.substr(0, 4));
    const unsigned mo = static_cast<unsigned>(std::stoi(stamp.substr(5, 2)));
    const unsigned d = static_cast<unsigned>(std::stoi(stamp.substr(8, 2)));
    const int seconds = std::stoi(stamp.substr(11, 2)) * 3600 + std::stoi(stamp.substr(14, 2)) * 60 +
                        std::stoi(stamp.substr(17, 2));
    const auto date = sys_days(year(y) / month(mo) / day(d)) - sys_days(year(1899) / December / 30);
    return static_cast<long double>(date.count()) + seconds / 86400.0L;
}

struct Reference {
    std::size_t records = 0;
    long double start = 0, end = 0;
    std::size_t peakIn = 0, peakOut = 0, maxLevel = 0;   // record indexes
    std::vector<long double> T, Z, Q, V, Qin;
    long double inflowVolume = 0, outflowVolume = 0, negativeVolume = 0;
    std::size_t negativeSteps = 0;
};

Reference Compute(const std::string& curvePath, const std::string& floodPath) {
    std::vector<long double> cz, cv;
    for (const auto& f : ReadFields(curvePath)) {
        cz.push_back(Real(f.at(0)));
        cv.push_back(Real(f.at(1)));
    }
    auto storage = [&](long double z) {
        for (std::size_t i = 0; i + 1 < cz.size(); ++i)
            if (z >= cz[i] && z < cz[i + 1]) return cv[i] + (cv[i + 1] - cv[i]) * (z - cz[i]) / (cz[i + 1] - cz[i]);
        ADD_FAILURE() << "level " << static_cast<double>(z) << " outside the curve";
        return 0.0L;
    };
    Reference r;
    for (const auto& f : ReadFields(floodPath)) {
        r.T.push_back(Days(f.at(0)));
        r.Z.push_back(Real(f.at(1)));
        r.Q.push_back(Real(f.at(2)));
        r.V.push_back(storage(r.Z.back()));
    }
    r.records = r.T.size();
    r.start = r.T.front();
    r.end = r.T.back();
    r.Qin.assign(r.records, 0);
    for (std::size_t i = 1; i < r.records; ++i) {
        const long double dt = (r.T[i] - r.T[i - 1]) * 86400;
        const long double qMean = (r.Q[i] + r.Q[i - 1]) / 2;
        r.Qin[i] = (r.V[i] - r.V[i - 1]) * 1e8L / dt + qMean;
        r.inflowVolume += r.Qin[i] * dt / 1e8L;
        r.outflowVolume += qMean * dt / 1e8L;
        if (r.Qin[i] < 0) {
            ++r.negativeSteps;
            r.negativeVolume += r.Qin[i] * dt / 1e8L;
        }
        if (i == 1 || r.Qin[i] > r.Qin[r.peakIn]) r.peakIn = i;
    }
    for (std::size_t i = 1; i < r.records; ++i) {
        if (r.Q[i] > r.Q[r.peakOut]) r.peakOut = i;
        if (r.Z[i] > r.Z[r.maxLevel]) r.maxLevel = i;
    }
    return r;
}

// ---------------------------------------------------------------- fixture

class Summary : public IsoLocaleTest {
protected:
    // The program's own road: read both files, compute, summarise.
    TFloodSummary Run(const std::string& curvePath, const std::string& floodPath) {
        work.FormCreate();
        work.ResetCurveTable();
        work.ReadCurve(curvePath);
        work.ResetFloodTable();
        work.ReadFlood(floodPath);
        work.Compute();
        return SummarizeFlood(work.FloodSteps, work.FloodSteps.size());
    }

    std::string Write(const std::string& name, const std::string& text) {
        WriteFile(dir / name, text);
        return dir / name;
    }

    ScratchDir dir;
    InflowWork work;
};

constexpr long double kDaysTolerance = 1e-9L;   // a tenth of a millisecond

void ExpectPeak(const std::optional<TFloodPeak>& peak, long double value, long double time,
                long double tolerance, const char* what) {
    ASSERT_TRUE(peak) << what;
    EXPECT_NEAR(peak->value, static_cast<double>(value), static_cast<double>(tolerance)) << what;
    EXPECT_NEAR(peak->time, static_cast<double>(time), static_cast<double>(kDaysTolerance)) << what;
}

void ExpectMatches(const TFloodSummary& s, const Reference& r) {
    ASSERT_EQ(s.records, r.records);
    ASSERT_TRUE(s.start && s.end);
    EXPECT_NEAR(*s.start, static_cast<double>(r.start), static_cast<double>(kDaysTolerance));
    EXPECT_NEAR(*s.end, static_cast<double>(r.end), static_cast<double>(kDaysTolerance));
    ExpectPeak(s.peakInflow, r.Qin[r.peakIn], r.T[r.peakIn], 1e-6L, "peak inflow");
    ExpectPeak(s.peakOutflow, r.Q[r.peakOut], r.T[r.peakOut], 1e-9L, "peak outflow");
    ExpectPeak(s.maxLevel, r.Z[r.maxLevel], r.T[r.maxLevel], 1e-9L, "max level");
    ASSERT_TRUE(s.inflowVolume && s.outflowVolume && s.storageChange && s.peakLag);
    EXPECT_NEAR(*s.inflowVolume, static_cast<double>(r.inflowVolume), 1e-9);
    EXPECT_NEAR(*s.outflowVolume, static_cast<double>(r.outflowVolume), 1e-9);
    EXPECT_NEAR(*s.storageChange, static_cast<double>(r.V.back() - r.V.front()), 1e-9);
    EXPECT_NEAR(*s.peakLag, static_cast<double>((r.T[r.peakOut] - r.T[r.peakIn]) * 24), 1e-6);
    if (r.Qin[r.peakIn] > 0) {
        ASSERT_TRUE(s.peakAttenuation);
        EXPECT_NEAR(*s.peakAttenuation, static_cast<double>((1 - r.Q[r.peakOut] / r.Qin[r.peakIn]) * 100), 1e-7);
    } else {
        EXPECT_FALSE(s.peakAttenuation);
    }
    ASSERT_TRUE(s.negativeInflowSteps && s.negativeInflowVolume);
    EXPECT_EQ(*s.negativeInflowSteps, r.negativeSteps);
    EXPECT_NEAR(*s.negativeInflowVolume, static_cast<double>(r.negativeVolume), 1e-9);
    // What flowed in, less what flowed out, stayed in the reservoir.
    EXPECT_NEAR(*s.storageChange, *s.inflowVolume - *s.outflowVolume,
                1e-12 * (std::fabs(*s.inflowVolume) + std::fabs(*s.outflowVolume)) + 1e-12);
}

}  // namespace

// ---------------------------------------------------------------- real records

TEST_F(Summary, RealRecordsAgreeWithAnIndependentComputation) {
    struct Case {
        const char* curve;
        const char* flood;
    };
    for (const Case c : {Case{"tankan_curve.txt", "tankan_flood.txt"},
                         Case{"powell_curve_pre2017_live.txt", "powell_1983_flood.txt"}}) {
        SCOPED_TRACE(c.flood);
        const std::string curve = kRealData + "/" + c.curve, flood = kRealData + "/" + c.flood;
        const TFloodSummary s = Run(curve, flood);
        const Reference r = Compute(curve, flood);
        ASSERT_GT(r.records, 30u);
        ExpectMatches(s, r);
    }
}

// With the agency's terms the volumes follow the terms used: the outflow
// volume holds the evaporation, and the banks hold K times what the lake
// gained, so inflow less outflow is (1 + K) times the storage change.
TEST_F(Summary, AgencyTermsKeepTheirOwnVolumeBalance) {
    const std::string curve = kRealData + "/powell_curve_pre2017_live.txt",
                      flood = kRealData + "/powell_1983_flood_evap.txt";
    const TFloodSummary plain = Run(curve, flood);
    work.Balance.outflow = TBalanceOptions::TOutflow::End;
    work.Balance.bankStorage = 0.08;
    work.Balance.lossFields = {4};
    const TFloodSummary agency = Run(curve, flood);
    ASSERT_TRUE(plain.storageChange && agency.storageChange && agency.inflowVolume && agency.outflowVolume);
    EXPECT_EQ(*agency.storageChange, *plain.storageChange);
    const double held = *agency.inflowVolume - *agency.outflowVolume;
    EXPECT_NEAR(held, 1.08 * *agency.storageChange, 1e-9 * *agency.inflowVolume);
    // Evaporation leaves the lake as the releases do: the outflow volume grows.
    EXPECT_GT(*agency.outflowVolume, *plain.outflowVolume);
}

// ---------------------------------------------------------------- negative inflows

TEST_F(Summary, NegativeInflowsAreCountedAndSummed) {
    // Levels falling faster than the outflow explains: the balance gives
    // negative inflows in three steps; the outflow peaks (a release ahead of
    // the flood) before the inflow does, so the lag is negative.
    const std::string curve = Write("curve.txt", Lines({"Z,V", "100,10", "110,11", "120,12.5"}));
    const std::string flood = Write(
        "flood.txt", Lines({"T,Z,Q", "2024-07-24 00-00-00,105,1500", "2024-07-24 03-00-00,104.5,100",
                            "2024-07-24 06-00-00,104,100", "2024-07-24 09-00-00,104.8,100",
                            "2024-07-24 12-00-00,104.6,100", "2024-07-24 15-00-00,104.5,50",
                            "2024-07-24 18-00-00,104.5,50"}));
    const TFloodSummary s = Run(curve, flood);
    const Reference r = Compute(curve, flood);
    ASSERT_EQ(r.negativeSteps, 3u);
    ExpectMatches(s, r);
    EXPECT_LT(*s.negativeInflowVolume, 0);
    EXPECT_LT(*s.peakLag, 0);
}

// ---------------------------------------------------------------- short records

TEST(SummaryShort, NoRecordAndOneRecordLeaveTheStepItemsEmpty) {
    const TFloodSummary none = SummarizeFlood({}, 0);
    EXPECT_EQ(none.records, 0u);
    EXPECT_FALSE(none.start || none.end || none.peakOutflow || none.maxLevel || none.peakInflow);
    EXPECT_EQ(SummaryText(none).substr(0, 53), "item,value,unit,time\r\nrecords,0,,\r\nstart,,,\r\nend,,,\r\n");

    // One record: its time, outflow and level are there; its Qin field (never
    // a result for a first record) is not a peak.
    TFloodStep only;
    ASSERT_TRUE(TryEncodeDate(1983, 5, 1, only.T));
    only.Z = 1123.5263;
    only.Qout = 436.0794;
    only.V = 200;
    only.Qin = 1e6;
    const TFloodSummary one = SummarizeFlood(std::vector<TFloodStep>{only}, 1);
    EXPECT_EQ(SummaryText(one),
              "item,value,unit,time\r\nrecords,1,,\r\nstart,,,1983-05-01 00:00:00\r\n"
              "end,,,1983-05-01 00:00:00\r\npeak_inflow,,m^3/s,\r\n"
              "peak_outflow,436.0794,m^3/s,1983-05-01 00:00:00\r\n"
              "max_level,1123.5263,m,1983-05-01 00:00:00\r\ninflow_volume,,10^8m^3,\r\n"
              "outflow_volume,,10^8m^3,\r\nstorage_change,,10^8m^3,\r\npeak_attenuation,,%,\r\n"
              "peak_lag,,h,\r\nnegative_inflow_steps,,,\r\nnegative_inflow_volume,,10^8m^3,\r\n");
    // The count asked for is bounded by the records there are.
    EXPECT_EQ(SummaryText(SummarizeFlood(std::vector<TFloodStep>{only}, 5)), SummaryText(one));
}

TEST_F(Summary, AComputationStoppedPartWaySummarisesTheComputedRecordsOnly) {
    // The full curve computes every record; a lower curve then stops at the
    // fifth record (index 4), whose level lies above it. The fields of the
    // records after it still hold the first run's results; the summary over
    // the four computed records must equal that of a record of those four.
    const std::vector<std::string> records{
        "T,Z,Q", "2024-07-24 00-00-00,105,500", "2024-07-24 03-00-00,105.5,700",
        "2024-07-24 06-00-00,106.5,900", "2024-07-24 09-00-00,107.5,600", "2024-07-24 12-00-00,112,800",
        "2024-07-24 15-00-00,116,2000"};
    const std::string full = Write("full.txt", Lines({"Z,V", "100,10", "120,12.5"}));
    const std::string low = Write("low.txt", Lines({"Z,V", "100,10", "110,11.25"}));
    const std::string flood = Write("flood.txt", Lines(records));
    Run(full, flood);
    work.ResetCurveTable();
    work.ReadCurve(low);
    EXPECT_THROW(work.Compute(), Exception);
    const TFloodSummary partial = SummarizeFlood(work.FloodSteps, 4);

    const std::string four =
        Write("four.txt", Lines(std::vector<std::string>(records.begin(), records.begin() + 5)));
    InflowWork fresh;
    fresh.FormCreate();
    fresh.ResetCurveTable();
    fresh.ReadCurve(low);
    fresh.ResetFloodTable();
    fresh.ReadFlood(four);
    fresh.Compute();
    ASSERT_EQ(fresh.FloodSteps.size(), 4u);
    EXPECT_EQ(SummaryText(partial), SummaryText(SummarizeFlood(fresh.FloodSteps, 4)));
    EXPECT_EQ(partial.records, 4u);
}

// ---------------------------------------------------------------- the texts

namespace {

DateTimeValue Stamp(int y, int mo, int d, int h) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(TryEncodeTime(h, 0, 0, 0, time));
    return CombineDateTime(date, time);
}

// Hourly steps worked out by hand: V in 10^8 m^3, flows in m^3/s.
std::vector<TFloodStep> HandRecord() {
    std::vector<TFloodStep> r(6);
    const double Z[] = {100.5, 100.75, 100.90625, 100.90625, 100.8, 100.6};
    const double V[] = {2.0, 2.036, 2.054, 2.054, 2.045, 2.009};
    const double Q[] = {100, 200, 300, 300, 250, 300};
    const double qMean[] = {0, 150, 250, 300, 275, 275};
    const double Qin[] = {99999, 1150.09375, 750, 300, 25, -725};
    for (std::size_t i = 0; i < r.size(); ++i) {
        r[i].T = i == 0 ? Stamp(2024, 7, 24, 23) : Stamp(2024, 7, 25, static_cast<int>(i) - 1);
        r[i].Z = Z[i];
        r[i].V = V[i];
        r[i].Qout = Q[i];
        r[i].qMean = qMean[i];
        r[i].Qin = Qin[i];
        r[i].dt = i == 0 ? 0 : 3600;
    }
    return r;
}

// A locale unlike the file's forms: decimal comma, dots for dates and times,
// a 12-hour clock.
class HostileLocale : public IsoLocaleTest {
protected:
    void SetUp() override {
        IsoLocaleTest::SetUp();
        LocaleFormats& f = Formats();
        f.decimalMark = ',';
        f.dateMark = '.';
        f.timeMark = '.';
        f.shortDatePattern = "dd/mm/yyyy";
        f.longTimePattern = "h:mm:ss AMPM";
        f.amText = "vorm.";
        f.pmText = "nachm.";
    }
};

}  // namespace

TEST_F(HostileLocale, TheFileKeepsItsFormsWhateverTheLocale) {
    // Worked out by hand: ties go to the first record (outflow 300 at 01:00,
    // 02:00 and 04:00; level at 01:00 and 02:00); 1150.09375 and 100.90625 lie
    // halfway between four-decimal texts and go to the even one; the
    // midnight stamp keeps its time; the first record's Qin is not a step.
    const std::string expected =
        "item,value,unit,time\r\n"
        "records,6,,\r\n"
        "start,,,2024-07-24 23:00:00\r\n"
        "end,,,2024-07-25 04:00:00\r\n"
        "peak_inflow,1150.0938,m^3/s,2024-07-25 00:00:00\r\n"
        "peak_outflow,300,m^3/s,2024-07-25 01:00:00\r\n"
        "max_level,100.9062,m,2024-07-25 01:00:00\r\n"
        "inflow_volume,0.054,10^8m^3,\r\n"          // 1500.09375 * 3600 / 10^8
        "outflow_volume,0.045,10^8m^3,\r\n"         // 1250 * 3600 / 10^8
        "storage_change,0.009,10^8m^3,\r\n"
        "peak_attenuation,73.9152,%,\r\n"           // (1 - 300 / 1150.09375) * 100
        "peak_lag,1,h,\r\n"
        "negative_inflow_steps,1,,\r\n"
        "negative_inflow_volume,-0.0261,10^8m^3,\r\n";  // -725 * 3600 / 10^8
    const TFloodSummary s = SummarizeFlood(HandRecord(), 6);
    EXPECT_EQ(SummaryText(s), expected);

    ScratchDir dir;
    WriteSummaryText(s, dir / "summary.csv");
    EXPECT_EQ(ReadFile(dir / "summary.csv"), expected);
}

TEST_F(HostileLocale, TheWindowRowsUseTheLocalesForms) {
    const std::vector<TFloodSummaryRow> rows = SummaryRows(SummarizeFlood(HandRecord(), 6));
    ASSERT_EQ(rows.size(), 13u);
    const std::vector<std::string> captions{
        "记录数", "起始时间", "终止时间", "洪峰流量 / 峰现时间", "最大出库流量", "最高库水位", "入库洪量",
        "出库洪量", "库容变化", "削峰率", "峰现滞时", "负入流时段数", "负入流水量"};
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].caption, captions[i]) << i;
    EXPECT_EQ(rows[3].item, "peak_inflow");
    EXPECT_EQ(rows[3].value, "1150,0938");
    EXPECT_EQ(rows[3].unit, "m^3/s");
    EXPECT_EQ(rows[3].time, "25.07.2024");                 // midnight: the date alone
    EXPECT_EQ(rows[5].time, "25.07.2024 1.00.00 vorm.");
    EXPECT_EQ(rows[1].time, "24.07.2024 11.00.00 nachm.");
    EXPECT_EQ(rows[1].value, "");
    EXPECT_EQ(rows[12].value, "-0,0261");
    EXPECT_EQ(rows[11].value, "1");
    EXPECT_EQ(rows[0].value, "6");
}

TEST(SummaryFile, AnInflowThatNeverRisesAboveZeroHasNoAttenuation) {
    // A reservoir drawn down with no inflow: a ratio to the peak inflow
    // means nothing, the lag still does.
    std::vector<TFloodStep> r = HandRecord();
    for (TFloodStep& step : r) step.Qin = std::min(step.Qin, 0.0);
    const TFloodSummary s = SummarizeFlood(r, r.size());
    ASSERT_TRUE(s.peakInflow && s.peakLag);
    EXPECT_EQ(s.peakInflow->value, 0);
    EXPECT_EQ(s.peakInflow->time, r[1].T);   // the first of the zeros after the first record
    EXPECT_FALSE(s.peakAttenuation);
    EXPECT_NE(SummaryText(s).find("\r\npeak_attenuation,,%,\r\n"), std::string::npos);
}

TEST(SummaryFile, AValueBeyondTheTablesNumbersFailsBeforeTheFileIsTouched) {
    // 10^15 m^3/s has no four-decimal text: the table raises the same error.
    std::vector<TFloodStep> r = HandRecord();
    r[2].Qin = 1e15;
    const TFloodSummary s = SummarizeFlood(r, r.size());
    // The message names the item, its value and its unit.
    try {
        SummaryText(s);
        ADD_FAILURE() << "no error";
    } catch (const ESummaryValue& e) {
        EXPECT_TRUE(e.Message.starts_with("peak_inflow is 1e+15 m^3/s: beyond the numbers")) << e.Message;
    }
    ScratchDir dir;
    WriteFile(dir / "summary.csv", "earlier");
    EXPECT_THROW(WriteSummaryText(s, dir / "summary.csv"), ESummaryValue);
    EXPECT_EQ(ReadFile(dir / "summary.csv"), "earlier");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"summary.csv"});
}

// The run every front end takes after a computation: the corrected series and
// the summary are those the parts make alone, the summary is left out when not
// asked for, and a summary that cannot be made leaves the corrected series.
TEST(FloodRun, TheCorrectionAndTheSummaryAsThePartsMakeThem) {
    std::vector<TFloodStep> steps(6);
    const double inflows[] = {0, 120, -40, 300, 80, -10};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].T = 39292 + static_cast<double>(i) / 24;
        steps[i].Z = 500 + static_cast<double>(i % 3);
        steps[i].Qout = 90;
        steps[i].Qin = inflows[i];
        steps[i].dt = i ? 3600 : 0;
        steps[i].qMean = i ? 90 : 0;
    }
    TCorrectionOptions smooth, redistribute, both;
    smooth.smooth = 3;
    redistribute.redistribute = true;
    both = smooth;
    both.redistribute = true;
    for (const TCorrectionOptions& options : {TCorrectionOptions{}, smooth, redistribute, both}) {
        for (const std::size_t computed : {std::size_t{6}, std::size_t{4}, std::size_t{1}}) {
            for (const bool withSummary : {true, false}) {
                const std::string what = "smooth " + std::to_string(options.smooth) + ", redistribute " +
                                         std::to_string(options.redistribute) + ", computed " +
                                         std::to_string(computed) + ", summary " + std::to_string(withSummary);
                const TFloodRun run = RunFlood(steps, computed, options, withSummary);
                const TCorrectedInflow alone = CorrectInflow(steps, computed, options);
                EXPECT_EQ(run.corrected, alone.inflow) << what;
                EXPECT_EQ(run.negativeVolume, alone.negativeVolume) << what;
                EXPECT_EQ(run.backwardStep, alone.backwardStep) << what;
                EXPECT_FALSE(run.summaryError) << what;
                ASSERT_EQ(run.summary.has_value(), withSummary) << what;
                if (!withSummary) continue;
                const TFloodSummary expected = options.Any() ? SummarizeFlood(steps, computed, alone.inflow)
                                                             : SummarizeFlood(steps, computed);
                EXPECT_EQ(SummaryText(*run.summary), SummaryText(expected)) << what;
                EXPECT_EQ(run.summary->corrected, options.Any()) << what;
            }
        }
    }
    // The attenuation of a peak inflow of the smallest number overflows.
    steps[1].Qin = 5e-324;
    for (std::size_t i = 2; i < steps.size(); ++i) steps[i].Qin = -1;
    steps[3].Qout = 1e300;
    const TFloodRun run = RunFlood(steps, steps.size(), smooth);
    EXPECT_EQ(run.corrected.size(), steps.size() - 1);
    EXPECT_FALSE(run.summary);
    EXPECT_EQ(MessageOf([&] { std::rethrow_exception(run.summaryError); }), "Floating point overflow");
}

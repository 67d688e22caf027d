// The balance's choices: bank storage, the outflow at a step's end, and
// further outflows (losses) read from the record's later fields; and the
// agency's own balance on a real record against its published inflow.

#include "Currency.h"
#include "Exceptions.h"
#include "CurveLookup.h"
#include "InflowBalance.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "RecordFields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace inflow_test;

namespace {

const char* kFloodHeading = "time,level(m),outflow(m3/s),evaporation(m3/s),diversion(m3/s)";

// Storage 2 + (level - 500) · 1: a change of 0.5 m is 0.5 · 10^8 m^3.
const std::string kLinearCurve = Lines({"level,storage", "500,2", "501,3"});

// Three hourly records whose storages change by +0.5 then -0.25 (10^8 m^3),
// with two further fields each.
const std::string kThreeRecords =
    Lines({kFloodHeading, "2007-07-29 06-00-00,500,90,10,1.5", "2007-07-29 07-00-00,500.5,110,20,2.5",
           "2007-07-29 08-00-00,500.25,100,30,0"});

class Balance : public IsoLocaleTest {
protected:
    void SetUp() override {
        IsoLocaleTest::SetUp();
        work.FormCreate();
        Read(dir / "curve.txt", kLinearCurve, [&](const std::string& f) {
            work.ResetCurveTable();
            work.ReadCurve(f);
        });
    }
    template <class F> void Read(const std::string& path, const std::string& text, F read) {
        WriteFile(path, text);
        read(path);
    }
    void ReadFlood(const std::string& text) {
        Read(dir / "flood.txt", text, [&](const std::string& f) {
            work.ResetFloodTable();
            work.ReadFlood(f);
        });
    }
    std::string ComputeError() {
        return MessageOf([&] { work.Compute(); });
    }
    std::string Cell(int c, int r) const { return std::string(work.StringGrid1.Cell(c, r)); }

    ScratchDir dir;
    InflowWork work;
};

// Worked by hand: dV = 0.5 and -0.25 (10^8 m^3) over 3600 s, so the plain
// storage rate is 13888.888… and -6944.444… m^3/s.
TEST_F(Balance, EachChoiceAloneOnAHandWorkedRecord) {
    ReadFlood(kThreeRecords);
    struct Case {
        const char* what;
        TBalanceOptions options;
        // Columns 5, 7 and 8 of rows 3 and 4.
        std::vector<std::string> row3, row4;
    };
    TBalanceOptions bank;
    bank.bankStorage = 0.08;
    TBalanceOptions end;
    end.outflow = TBalanceOptions::TOutflow::End;
    TBalanceOptions losses;
    losses.lossFields = {4};
    const std::vector<Case> cases{
        {"plain", {}, {"13888.8889", "100", "13988.8889"}, {"-6944.4444", "105", "-6839.4444"}},
        // 1.08 · 13888.888… = 15000; 1.08 · -6944.444… = -7500.
        {"bank storage 0.08", bank, {"15000", "100", "15100"}, {"-7500", "105", "-7395"}},
        {"outflow at the end", end, {"13888.8889", "110", "13998.8889"}, {"-6944.4444", "100", "-6844.4444"}},
        // Field 4's mean: 15, then 25.
        {"losses 4", losses, {"13888.8889", "115", "14003.8889"}, {"-6944.4444", "130", "-6814.4444"}},
    };
    for (const Case& c : cases) {
        work.Balance = c.options;
        ASSERT_EQ(ComputeError(), "(no error)") << c.what;
        EXPECT_EQ((std::vector<std::string>{Cell(5, 3), Cell(7, 3), Cell(8, 3)}), c.row3) << c.what;
        EXPECT_EQ((std::vector<std::string>{Cell(5, 4), Cell(7, 4), Cell(8, 4)}), c.row4) << c.what;
        // The storage and its change do not depend on the choices.
        EXPECT_EQ(Cell(3, 3), "0.5") << c.what;
        EXPECT_EQ(Cell(4, 4), "3600") << c.what;
    }
    // The fields hold the terms used, and the inflow is their sum.
    work.Balance = bank;
    work.Compute();
    const TFloodStep& s = work.FloodSteps[1];
    EXPECT_NEAR(s.dVdt, 15000, 1e-5);   // the step is 3600 s to about 1e-10 (stamps in days)
    EXPECT_EQ(s.Qin, s.dVdt + s.qMean);
}

TEST_F(Balance, LossesTakenAsMeanOrEndLikeTheOutflow) {
    ReadFlood(kThreeRecords);
    auto outflowTerms = [&](TBalanceOptions::TOutflow outflow, std::vector<int> fields) {
        work.Balance.outflow = outflow;
        work.Balance.lossFields = std::move(fields);
        EXPECT_EQ(ComputeError(), "(no error)");
        return std::vector<std::string>{Cell(7, 3), Cell(8, 3), Cell(7, 4), Cell(8, 4)};
    };
    using O = TBalanceOptions::TOutflow;
    // Means: outflow 100 and 105, field 4 15 and 25, field 5 2 and 1.25.
    EXPECT_EQ(outflowTerms(O::Mean, {5}), (std::vector<std::string>{"102", "13990.8889", "106.25", "-6838.1944"}));
    EXPECT_EQ(outflowTerms(O::Mean, {4, 5}),
              (std::vector<std::string>{"117", "14005.8889", "131.25", "-6813.1944"}));
    // Ends: outflow 110 and 100, field 4 20 and 30, field 5 2.5 and 0.
    EXPECT_EQ(outflowTerms(O::End, {4, 5}),
              (std::vector<std::string>{"132.5", "14021.3889", "130", "-6814.4444"}));
    // A field named twice counts twice, as asked.
    EXPECT_EQ(outflowTerms(O::End, {5, 5}),
              (std::vector<std::string>{"115", "14003.8889", "100", "-6844.4444"}));

    // A record that fails to read keeps no texts either.
    WriteFile(dir / "bad.txt", Lines({kFloodHeading, "2007-07-29 06-00-00,500,90,1", "x,500,90,2"}));
    EXPECT_EQ(MessageOf([&] { work.ReadFlood(dir / "bad.txt"); }), "'x' is not a valid date and time");
    EXPECT_TRUE(work.FloodFieldTexts.Empty());
    ReadFlood(kThreeRecords);
    EXPECT_FALSE(work.FloodFieldTexts.Empty());

    // The choices may change after reading: the texts were kept, and a record
    // read again without further fields has none left.
    ReadFlood(Lines({kFloodHeading, "2007-07-29 06-00-00,500,90", "2007-07-29 07-00-00,500.5,110"}));
    EXPECT_TRUE(work.FloodFieldTexts.Empty());
    work.Balance = {};
    EXPECT_EQ(ComputeError(), "(no error)");
    work.Balance.lossFields = {4};
    EXPECT_EQ(ComputeError(), "'' is not a valid floating point value");
}

// A loss text is read as the outflow's is, and fails as a bad outflow fails,
// at the row that needs it: after the row's storage term, before its outflow
// term.
TEST_F(Balance, ABadOrMissingLossFailsLikeABadOutflowAtItsRow) {
    for (const std::string text : {"abc", "", "1e20", "\t1"}) {
        // What a bad outflow says.
        WriteFile(dir / "bad_outflow.txt", Lines({kFloodHeading, "2007-07-29 06-00-00,500," + text}));
        const std::string expected = MessageOf([&] { work.ReadFlood(dir / "bad_outflow.txt"); });
        ASSERT_NE(expected, "(no error)") << text;

        ReadFlood(Lines({kFloodHeading, "2007-07-29 06-00-00,500,90,1", "2007-07-29 07-00-00,500.5,110,2",
                         "2007-07-29 08-00-00,500.25,100," + text, "2007-07-29 09-00-00,500,100,4"}));
        work.Balance.lossFields = {4};
        for (const auto outflow : {TBalanceOptions::TOutflow::Mean, TBalanceOptions::TOutflow::End}) {
            work.Balance.outflow = outflow;
            try {
                work.Compute();
                ADD_FAILURE() << "no error for '" << text << "'";
            } catch (const EConvertError& e) {
                EXPECT_EQ(std::string(e.what()), expected);
            }
            EXPECT_EQ(work.ComputedRecords, 2u) << text;
            EXPECT_EQ(Cell(8, 3), outflow == TBalanceOptions::TOutflow::End ? "14000.8889" : "13990.3889");
            // The failing row shows its storage term, not its outflow term.
            EXPECT_EQ(Cell(2, 4), "2.25");
            EXPECT_EQ(Cell(3, 4), "-0.25");
            EXPECT_EQ(Cell(4, 4), "3600");
            EXPECT_EQ(Cell(5, 4), "-6944.4444");
            EXPECT_EQ(Cell(7, 4), "");
            EXPECT_EQ(Cell(8, 4), "");
            EXPECT_EQ(Cell(2, 5), "");
        }
    }

    // A missing field reads as an empty one; one the choices do not name is
    // never read. With the outflow at the end, the first record's fields are
    // never needed.
    ReadFlood(Lines({kFloodHeading, "2007-07-29 06-00-00,500,90,x", "2007-07-29 07-00-00,500.5,110,2,",
                     "2007-07-29 08-00-00,500.25,100,3,junk"}));
    work.Balance = {};
    work.Balance.lossFields = {4};
    work.Balance.outflow = TBalanceOptions::TOutflow::End;
    EXPECT_EQ(ComputeError(), "(no error)");
    work.Balance.outflow = TBalanceOptions::TOutflow::Mean;
    EXPECT_EQ(ComputeError(), "'x' is not a valid floating point value");
    EXPECT_EQ(work.ComputedRecords, 1u);
    // The record whose field failed is the first, on line 2; the step that
    // needed it ends at the second.
    ASSERT_TRUE(work.FailedLine);
    EXPECT_EQ(work.FailedLine->line, 2);
    work.Balance.outflow = TBalanceOptions::TOutflow::End;
    work.Balance.lossFields = {5};
    EXPECT_EQ(ComputeError(), "'' is not a valid floating point value") << "row 3's empty fifth field";
    EXPECT_EQ(work.ComputedRecords, 1u);
    work.Balance.lossFields = {6};
    EXPECT_EQ(ComputeError(), "'' is not a valid floating point value") << "no sixth field";

    // A failure elsewhere in the row comes first where it comes first: a zero
    // time step fails at the storage term, before the losses are needed.
    ReadFlood(Lines({kFloodHeading, "2007-07-29 06-00-00,500,90,1", "2007-07-29 06-00-00,500.5,110,bad"}));
    work.Balance.lossFields = {4};
    EXPECT_EQ(ComputeError(), "Floating point division by zero");
    EXPECT_EQ(Cell(5, 3), "");
    ASSERT_TRUE(work.FailedLine);
    EXPECT_EQ(work.FailedLine->line, 3);
}

// The rest of a record line after the outflow, and the fields in it, as both
// the computation and the record check read them.
TEST(RecordFields, FieldsAfterTheOutflow) {
    EXPECT_EQ(TextAfterOutflow("t,1,2"), "");
    EXPECT_EQ(TextAfterOutflow("t,1"), "");
    EXPECT_EQ(TextAfterOutflow("t,1,2,"), ",");
    EXPECT_EQ(TextAfterOutflow("t,1,2,3.5, 4,"), ",3.5, 4,");
    auto field = [](std::string_view line, int f) {
        std::string_view text;
        return LossFieldText(TextAfterOutflow(line), f, text) ? "[" + std::string(text) + "]" : std::string("none");
    };
    EXPECT_EQ(field("t,1,2,3.5, 4,", 5), "[ 4]");
    EXPECT_EQ(field("t,1,2,3.5, 4,", 6), "[]");
    EXPECT_EQ(field("t,1,2,3.5, 4,", 7), "none");
    EXPECT_EQ(field("t,1,2,3", 3), "none") << "the outflow is no loss field";

    // Records without further fields cost nothing until one has them.
    TRecordFieldTexts texts;
    texts.Add(0, "");
    texts.Add(1, "");
    EXPECT_TRUE(texts.Empty());
    texts.Add(2, ",a");
    texts.Add(3, "");
    texts.Add(4, ",");
    texts.Add(5, ",bc,d");
    EXPECT_FALSE(texts.Empty());
    const std::vector<std::string> expected{"", "", ",a", "", ",", ",bc,d", ""};
    for (std::size_t e = 0; e < expected.size(); ++e) EXPECT_EQ(texts.AfterOutflow(e), expected[e]) << e;
    texts.Clear();
    EXPECT_TRUE(texts.Empty());
    EXPECT_EQ(texts.AfterOutflow(2), "");
}

// ---------------------------------------------------------------------------
// The agency's balance on Lake Powell's 1983 spill

TEST_F(Balance, TheAgencysBalanceReproducesThePublishedPowellInflow) {
    const std::string real = std::string(QUELMORA_REALDATA_DIR) + "/";
    work.ResetCurveTable();
    work.ReadCurve(real + "powell_curve_pre2017_live.txt");
    work.ResetFloodTable();
    work.ReadFlood(real + "powell_1983_flood_evap.txt");
    const std::vector<double> published = ReadPublishedInflow(real + "powell_1983_published.csv");
    ASSERT_EQ(published.size(), 123u);
    ASSERT_EQ(work.FloodSteps.size(), 123u);

    auto inflow = [&](const TBalanceOptions& options) {
        work.Balance = options;
        work.Compute();
        EXPECT_EQ(work.ComputedRecords, 123u);
        std::vector<double> q;
        for (const TFloodStep& s : work.FloodSteps) q.push_back(s.Qin);
        return q;
    };
    TBalanceOptions agency;
    agency.outflow = TBalanceOptions::TOutflow::End;
    agency.bankStorage = 0.08;
    agency.lossFields = {4};
    const std::vector<double> ours = inflow(agency);
    const std::vector<double> plain = inflow({});

    // The first record's inflow needs the day before, which the record lacks.
    const double rmse = Rmse(ours, published, 1);
    const double plainRmse = Rmse(plain, published, 1);
    EXPECT_LT(rmse, 1.0);
    EXPECT_GT(plainRmse, 50.0) << "the plain balance is not the agency's";
    const double peak = *std::max_element(ours.begin() + 1, ours.end());
    const double publishedPeak = *std::max_element(published.begin() + 1, published.end());
    EXPECT_NEAR(peak, publishedPeak, 2.0);
    // Day by day within a few m^3/s (levels read to 0.1 mm on a daily step).
    for (std::size_t e = 1; e < ours.size(); ++e) EXPECT_NEAR(ours[e], published[e], 3.0) << e;
    std::printf("Powell 1983, 122 days: RMSE %.3f m^3/s (plain balance %.3f); peak %.4f, published %.4f\n", rmse,
                plainRmse, peak, publishedPeak);
}

}  // namespace

// One step of the balance apart from any table: where each kind of failure
// stops it, which fields it leaves new, and that the fields it never reached
// keep the values they had.
TEST(BalanceStep, StopsAtTheFirstFailingFormulaAndKeepsTheRest) {
    const std::vector<TCurvePoint> points{{500, 2}, {501, 3}};
    const TCurveLookup curve(points);
    const double hour = 1.0 / 24;
    auto stepAt = [](double T, double Z, double Qout) {
        TFloodStep s;
        s.T = T;
        s.Z = Z;
        s.Qout = Qout;
        // What an earlier run left: kept by every field not reached.
        s.dV = s.dt = s.dVdt = s.qMean = s.Qin = 7;
        s.V = 7;
        return s;
    };
    TFloodStep prev = stepAt(39292, 500, 90);
    prev.V = 2;
    TBalanceOptions endWithBanks;
    endWithBanks.outflow = TBalanceOptions::TOutflow::End;
    endWithBanks.bankStorage = 0.5;
    TBalanceOptions losses;
    losses.lossFields = {4};
    const TStepLosses badLoss{0, std::make_exception_ptr(EConvertError("'x' is not a valid floating point value"))};
    struct Case {
        const char* what;
        bool first;
        TFloodStep step;
        TBalanceOptions options;
        TStepLosses losses;
        int shown, stored;
        std::string error;   // the message, "" for none
        std::vector<double> fields;   // V, dV, dt, dVdt, qMean, Qin expected
    };
    const double rate = 0.5e8 / 3600;
    const TStepLosses none;
    const TStepLosses fiveLost{5, nullptr};
    const std::vector<Case> cases{
        {"first record", true, stepAt(39292, 500.5, 90), {}, none, 1, 1, "", {2.5, 7, 7, 7, 7, 7}},
        {"level above the curve", false, stepAt(39292 + hour, 502, 90), {}, none, 0, 0, "?", {7, 7, 7, 7, 7, 7}},
        {"plain", false, stepAt(39292 + hour, 500.5, 110), {}, none, 6, 6, "", {2.5, 0.5, 3600, rate, 100, rate + 100}},
        {"end and banks", false, stepAt(39292 + hour, 500.5, 110), endWithBanks, none, 6, 6, "",
         {2.5, 0.5, 3600, 1.5 * rate, 110, 1.5 * rate + 110}},
        {"losses", false, stepAt(39292 + hour, 500.5, 110), losses, fiveLost, 6, 6, "",
         {2.5, 0.5, 3600, rate, 105, rate + 105}},
        {"same time, other storage", false, stepAt(39292, 500.5, 110), {}, none, 3, 3,
         "Floating point division by zero", {2.5, 0.5, 0, 7, 7, 7}},
        {"same time, same storage", false, stepAt(39292, 500, 110), {}, none, 3, 3, "Invalid floating point operation",
         {2, 0, 0, 7, 7, 7}},
        {"a loss that is no number", false, stepAt(39292 + hour, 500.5, 110), losses, badLoss, 4, 4,
         "'x' is not a valid floating point value", {2.5, 0.5, 3600, rate, 7, 7}},
        // 1e15 m^3/s is beyond the table's numbers: kept, without a text.
        {"an outflow term beyond the decimals", false, stepAt(39292 + hour, 500.5, 2e15), {}, none, 4, 5,
         "Invalid floating point operation", {2.5, 0.5, 3600, rate, (2e15 + 90) / 2, 7}},
    };
    for (const Case& c : cases) {
        const TBalanceResult r = BalanceStep(c.first ? nullptr : &prev, c.step, curve, c.options, c.losses);
        EXPECT_EQ(r.shown, c.shown) << c.what;
        EXPECT_EQ(r.stored, c.stored) << c.what;
        const std::string message = r.error ? MessageOf([&] { std::rethrow_exception(r.error); }) : "";
        if (c.error == "?")
            EXPECT_NE(message, "") << c.what;
        else
            EXPECT_EQ(message, c.error) << c.what;
        for (int k = 0; k < kBalanceFields; ++k)
            EXPECT_NEAR(BalanceField(r.values, k), c.fields[static_cast<std::size_t>(k)],
                        1e-6 * std::max(1.0, std::abs(c.fields[static_cast<std::size_t>(k)])))
                << c.what << ", field " << k;
        // The recorded fields pass through.
        EXPECT_EQ(r.values.T, c.step.T) << c.what;
        EXPECT_EQ(r.values.Qout, c.step.Qout) << c.what;
    }
}

#include "InflowBalance.h"

#include "Currency.h"
#include "CurveLookup.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "FloatRules.h"

#include <array>

namespace {

constexpr std::array<double TFloodStep::*, kBalanceFields> kFields{
    &TFloodStep::V, &TFloodStep::dV, &TFloodStep::dt, &TFloodStep::dVdt, &TFloodStep::qMean, &TFloodStep::Qin};

// Ends the step at field k with the error being handled now.
void Stop(TBalanceResult& result, int stored) {
    result.stored = stored;
    result.error = std::current_exception();
}

}  // namespace

double& BalanceField(TFloodStep& step, int k) { return step.*kFields[static_cast<std::size_t>(k)]; }
double BalanceField(const TFloodStep& step, int k) { return step.*kFields[static_cast<std::size_t>(k)]; }

TBalanceResult BalanceStep(const TFloodStep* previous, const TFloodStep& given, const TCurveLookup& curve,
                           const TBalanceOptions& options, const TStepLosses& losses) {
    TBalanceResult result;
    result.values = given;
    TFloodStep& step = result.values;
    try {
        const double storage = curve.Storage(step.Z);
        if (!DecimalInRange(storage)) throw EInvalidOp();   // it has no text
        step.V = storage;
    } catch (const std::exception&) {
        Stop(result, 0);
        return result;
    }
    result.shown = result.stored = 1;
    if (!previous) return result;

    const TFloodStep& prev = *previous;
    auto dV = [&] { return static_cast<long double>(step.V) - prev.V; };
    // The real time between the records: before 1899-12-30 a stored stamp is
    // its date minus its time of day. From then on the operands are the
    // stored values themselves.
    auto dt = [&] { return (ElapsedDays(step.T) - ElapsedDays(prev.T)) * 24.0L * 3600.0L; };
    // With bank storage K the banks take up K times the water the lake gains;
    // K = 0 is the plain term, with the very same operations.
    const long double bank = options.bankStorage;
    auto dVdt = [&] {
        if (bank == 0) return static_cast<long double>(step.dV) * 1e8L / step.dt;
        return (1.0L + bank) * step.dV * 1e8L / step.dt;
    };
    const bool atEnd = options.outflow == TBalanceOptions::TOutflow::End;
    const bool withLosses = !options.lossFields.empty();
    auto qMean = [&] {
        const long double outflow =
            atEnd ? static_cast<long double>(step.Qout) : (static_cast<long double>(step.Qout) + prev.Qout) / 2.0L;
        return withLosses ? outflow + losses.value : outflow;
    };
    auto Qin = [&] { return static_cast<long double>(step.dVdt) + step.qMean; };

    // The usual road: the five formulas at once, their error flags tested
    // once. Any error, and the step is done again formula by formula.
    if (!losses.error && EvalFormulasQuietly([&] {
            step.dV = static_cast<double>(dV());
            step.dt = static_cast<double>(dt());
            step.dVdt = static_cast<double>(dVdt());
            step.qMean = static_cast<double>(qMean());
            step.Qin = static_cast<double>(Qin());
        })) {
        for (int k = 1; k < kBalanceFields; ++k) {
            if (DecimalInRange(BalanceField(step, k))) continue;
            // The fields after one that has no text are never reached.
            for (int later = k + 1; later < kBalanceFields; ++later)
                BalanceField(step, later) = BalanceField(given, later);
            result.shown = k;
            result.stored = k + 1;
            result.error = std::make_exception_ptr(EInvalidOp());
            return result;
        }
        result.shown = result.stored = kBalanceFields;
        return result;
    }

    for (int k = 1; k < kBalanceFields; ++k) BalanceField(step, k) = BalanceField(given, k);
    // One formula: its value stored, then its text's range checked.
    auto put = [&](int k, auto formula) {
        try {
            BalanceField(step, k) = EvalFormula(formula);
        } catch (const std::exception&) {
            Stop(result, k);
            return false;
        }
        if (!DecimalInRange(BalanceField(step, k))) {
            result.stored = k + 1;
            result.error = std::make_exception_ptr(EInvalidOp());
            return false;
        }
        result.shown = result.stored = k + 1;
        return true;
    };
    if (!put(1, dV) || !put(2, dt) || !put(3, dVdt)) return result;
    if (losses.error) {
        result.error = losses.error;
        return result;
    }
    if (put(4, qMean)) put(5, Qin);
    return result;
}

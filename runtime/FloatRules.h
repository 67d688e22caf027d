#pragma once
// The application's floating point rules: arithmetic with a 64-bit significand
// (long double on x86-64), rounded to double when stored, rounding to nearest;
// division by zero, invalid operations and overflow raise EZeroDivide,
// EInvalidOp and EOverflow; underflow and inexact results stay silent.
//
// Usage, formula by formula:
//     double q = EvalFormula([&] { return (long double)a * 1e8L / b; });
//
// The formula must compute, and return, a long double: plain double
// arithmetic would round every intermediate result to 53 bits. Overflow in
// the final rounding to double counts as overflow.

#include <cfenv>
#include <cmath>
#include <memory>
#include <type_traits>

inline constexpr int kFloatErrorFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// Raises the exception for the flag among division by zero, overflow and
// invalid operation set in `flags`, in that order of precedence, after
// clearing those flags in the status word. Returns when none is set.
//
// The order follows cause and effect: a division by zero or an overflow
// yields an infinity, and the next operation on it (inf - inf, 0 * inf) is
// often invalid, whereas a NaN raises nothing further. So when both are set,
// the division or the overflow came first and is the error to report.
void RaiseFloatFlags(int flags);

namespace float_rules_detail {

template <class F> double Store(void* formula) {
    return static_cast<double>((*static_cast<F*>(formula))());
}

template <class F> void Run(void* formulas) { (*static_cast<F*>(formulas))(); }

} // namespace float_rules_detail

template <class F> double EvalFormula(F&& formula) {
    using Formula = std::remove_reference_t<F>;
    static_assert(std::is_same_v<std::invoke_result_t<Formula&>, long double>,
                  "compute the formula in long double and return that");
    // The silent flags are left as they are; only the error flags must start clear.
    if (const int pending = std::fetestexcept(kFloatErrorFlags)) std::feclearexcept(pending);
    // GCC does not honour FENV_ACCESS and may move arithmetic across the flag
    // calls. Calling through a volatile function pointer makes the formula an
    // opaque call: its arithmetic and the rounding to double happen inside it,
    // between the two flag calls, whatever the optimiser does.
    double (*volatile store)(void*) = &float_rules_detail::Store<Formula>;
    const double stored =
        store(const_cast<void*>(static_cast<const void*>(std::addressof(formula))));
    if (const int flags = std::fetestexcept(kFloatErrorFlags)) RaiseFloatFlags(flags);
    return stored;
}

// Runs a group of formulas that store their results (rounded to double)
// themselves, and tests the error flags once for the whole group: true when
// none was raised. Testing the flags costs as much as a formula, so a hot
// loop runs its formulas this way and, on false, runs them again one by one
// through EvalFormula, which tells which one failed and stops there. The
// error flags are clear afterwards either way.
template <class F> bool EvalFormulasQuietly(F&& formulas) {
    using Formulas = std::remove_reference_t<F>;
    if (const int pending = std::fetestexcept(kFloatErrorFlags)) std::feclearexcept(pending);
    // Opaque, as in EvalFormula: the arithmetic stays between the flag calls.
    void (*volatile run)(void*) = &float_rules_detail::Run<Formulas>;
    run(const_cast<void*>(static_cast<const void*>(std::addressof(formulas))));
    const int flags = std::fetestexcept(kFloatErrorFlags);
    if (flags) std::feclearexcept(flags);
    return flags == 0;
}

// Rounds to the nearest integer, ties to even, exactly, for every value within
// long long: what nearbyint gives, without its library call (about 100 ns on
// long double). llrint rounds in the current rounding mode, so this relies on
// the program's mode being to nearest: nothing here changes it, and the one
// conversion that switches the floating point environment for its own
// duration (absurd number texts) restores the caller's.
inline long long RoundHalfEven(long double x) noexcept { return std::llrint(x); }
inline long long RoundHalfEven(double x) noexcept { return std::llrint(x); }

#pragma once
// The application's floating point rules: arithmetic with a 64-bit significand
// (long double on x86-64), rounded to double when stored, rounding to nearest;
// division by zero, invalid operations and overflow raise EZeroDivide,
// EInvalidOp and EOverflow; underflow and inexact results stay silent.
//
// Usage, formula by formula:
//     double q = EvalFormula([&] { return (long double)a * 1e8L / b; });

#include <cfenv>

// Raises the exception for the first of division by zero, invalid operation or
// overflow that is flagged in the status word, then clears the flags.
void RaiseFloatFlags(int flags);

template <class F>
double EvalFormula(F&& formula) {
    std::feclearexcept(FE_ALL_EXCEPT);
    const double stored = static_cast<double>(static_cast<long double>(formula()));
    const int flags = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    if (flags) RaiseFloatFlags(flags);
    return stored;
}

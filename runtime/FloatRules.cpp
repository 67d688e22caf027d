#include "FloatRules.h"

#include "Exceptions.h"

void RaiseFloatFlags(int flags) {
    flags &= kFloatErrorFlags;
    if (flags == 0) return;
    // Clear first, so that the next formula starts from a clean status word.
    std::feclearexcept(kFloatErrorFlags);
    if (flags & FE_DIVBYZERO) throw EZeroDivide();
    if (flags & FE_OVERFLOW) throw EOverflow();
    throw EInvalidOp();
}

#pragma once
// The end of a run: the last offset at which a predicate holds that holds from
// 0 up to some offset and fails beyond it. The drawing asks it where the points
// of one pixel end along a curve, and where the doubles of one pixel end; in
// both places the previous answer is a good guess for the next one, so the
// search starts there and gallops (1, 2, 4 ... away) towards the change before
// it bisects: an answer near the guess costs a few probes, any answer a
// logarithmic number.

// The last offset in [0, limit) at which `holds` holds: 0 is taken to hold
// and `limit` to fail, neither is probed. A guess outside (0, limit) is not
// probed; the search bisects the whole span.
template <class Holds>
unsigned long long LastHolding(unsigned long long limit, unsigned long long guess, Holds holds) {
    unsigned long long in = 0, out = limit;
    if (guess > 0 && guess < out) {
        if (holds(guess)) {
            in = guess;
            for (unsigned long long s = 1; s != 0 && s < out - in; s *= 2) {
                if (!holds(in + s)) {
                    out = in + s;
                    break;
                }
                in += s;
            }
        } else {
            out = guess;
            for (unsigned long long s = 1; s != 0 && s < out - in; s *= 2) {
                if (holds(out - s)) {
                    in = out - s;
                    break;
                }
                out -= s;
            }
        }
    }
    while (out - in > 1) {
        const unsigned long long mid = in + (out - in) / 2;
        (holds(mid) ? in : out) = mid;
    }
    return in;
}

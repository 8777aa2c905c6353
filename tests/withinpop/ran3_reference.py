#!/usr/bin/env python3
"""Prints the first values of the subtractive lagged-Fibonacci generator
(Knuth, lags 55 and 24; modulus 10^9, seed constant 161803398) for a few
negative seeds. The values hard-coded in random_test.cpp come from this script.
Python integers do not overflow, so this is an independent check of the C++
32-bit arithmetic."""

MBIG = 1000000000
MSEED = 161803398


def ran3_stream(seed, count):
    ma = [0] * 56
    mj = MSEED - abs(seed)
    # C's % truncates towards zero
    mj = mj - int(mj / MBIG) * MBIG
    ma[55] = mj
    mk = 1
    for i in range(1, 55):
        ii = (21 * i) % 55
        ma[ii] = mk
        mk = mj - mk
        if mk < 0:
            mk += MBIG
        mj = ma[ii]
    for _ in range(4):
        for i in range(1, 56):
            ma[i] -= ma[1 + (i + 30) % 55]
            if ma[i] < 0:
                ma[i] += MBIG
    inext, inextp = 0, 31
    out = []
    for _ in range(count):
        inext = 1 if inext + 1 == 56 else inext + 1
        inextp = 1 if inextp + 1 == 56 else inextp + 1
        mj = ma[inext] - ma[inextp]
        if mj < 0:
            mj += MBIG
        ma[inext] = mj
        out.append(mj)
    return out


if __name__ == "__main__":
    for seed in (-12345, -1):
        values = ran3_stream(seed, 3)
        print(seed, values, [v * 1e-9 for v in values])

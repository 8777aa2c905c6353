#!/usr/bin/env python3
"""Writes harmonic_reference.txt: a1 = sum_{i=1}^{m} 1/i and a2 = sum_{i=1}^{m}
1/i^2 with 40 significant digits (mpmath: harmonic(m) and zeta(2) - zeta(2,
m + 1)), and Tajima's D (1989) for samples of n gene copies with the same
constants, for n beyond the sizes where the program sums term by term.

Needs mpmath (1.3.0 was used). Run: python3 harmonic_reference.py >
harmonic_reference.txt"""

import mpmath as mp

mp.mp.dps = 50


def sums(m):
    m = mp.mpf(m)
    return mp.harmonic(m), mp.zeta(2) - mp.zeta(2, m + 1)


def tajima(n, pi, S):
    a1, a2 = sums(n - 1)
    n, pi, S = mp.mpf(n), mp.mpf(pi), mp.mpf(S)
    b1 = (n + 1) / (3 * (n - 1))
    b2 = 2 * (n * n + n + 3) / (9 * n * (n - 1))
    c1 = b1 - 1 / a1
    c2 = b2 - (n + 2) / (a1 * n) + a2 / (a1 * a1)
    e1, e2 = c1 / a1, c2 / (a1 * a1 + a2)
    return (pi - S / a1) / mp.sqrt(e1 * S + e2 * S * (S - 1))


print("# harmonic_reference.py: sums m a1 a2, then tajima n pi S D (40 digits, mpmath)")
for m in (1, 2, 10, 1000, 65535, 65536, 65537, 100000, 1000000, 12345678,
          1000000011, 2147483646, 4000000000, 10**15):
    a1, a2 = sums(m)
    print("sums", m, mp.nstr(a1, 40), mp.nstr(a2, 40))
for n, pi, S in ((65537, 3.5, 12), (200000, 0.25, 9), (1000000012, 3.4e-08, 2),
                 (2000000010, 0.75, 40), (4000000000, 2.0, 7)):
    print("tajima", n, repr(pi), S, mp.nstr(tajima(n, pi, S), 40))

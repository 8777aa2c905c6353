#!/usr/bin/env python3
"""Writes the offline part of ewens_reference.txt: Fu's Fs, ln P(K < k) and
ln P(K = k) under the Ewens sampling formula, P(K = j) = |s(n, j)| theta^j /
(theta (theta+1) ... (theta+n-1)), computed independently of the C++ code:

- n <= 1000: exactly. The unsigned Stirling numbers |s(n, j)| are Python
  integers, theta is the exact binary value of the double, and both tails
  are sums of positive terms evaluated with 60 significant digits.
- n > 1000: the Cauchy integral of the probability generating function
  G(z) = Gamma(theta z + n) Gamma(theta) / (Gamma(theta z) Gamma(theta + n)):
  P(K >= k) = (1/2 pi i) \\oint G(z) z^-k / (z - 1) dz on a circle of radius
  r > 1, P(K < k) the same with 1 / (1 - z) and r < 1, P(K = k) with z^-k-1;
  r puts the circle through the saddle point, the trapezoid rule runs on 4096
  nodes with 40 significant digits (mpmath), and a run on 2048 nodes must
  agree to 1e-15, or the row is refused.

Needs mpmath (1.3.0 was used). Run: python3 ewens_reference.py > offline.txt,
then paste the rows below the published ones in ewens_reference.txt."""

from fractions import Fraction
import mpmath as mp

EXACT_DPS = 60
CONTOUR_DPS = 40


def stirling_row(n):
    row = [1] + [0] * n
    for m in range(1, n + 1):
        for j in range(m, 0, -1):
            row[j] = (m - 1) * row[j] + row[j - 1]
        row[0] = 0
    return row


def exact(n, k, theta):
    """(P(K >= k), P(K < k), P(K = k)) from Stirling numbers."""
    s = stirling_row(n)
    t = Fraction(theta)
    with mp.workdps(EXACT_DPS):
        th = mp.mpf(t.numerator) / t.denominator
        upper, lower, power = mp.mpf(0), mp.mpf(0), mp.mpf(1)
        at_k = mp.mpf(0)
        for j in range(1, n + 1):
            power *= th
            term = s[j] * power
            if j >= k:
                upper += term
            else:
                lower += term
            if j == k:
                at_k = term
        total = upper + lower
        return upper / total, lower / total, at_k / total


def contour(n, k, theta, quantity, nodes):
    with mp.workdps(CONTOUR_DPS):
        t = mp.mpf(theta)

        def log_g(z):
            return (mp.loggamma(t * z + n) - mp.loggamma(t * z)
                    - mp.loggamma(t + n) + mp.loggamma(t))

        def mean(r):
            return t * r * (mp.digamma(t * r + n) - mp.digamma(t * r))

        target = mp.mpf(k) - (0 if quantity == 'exactly' else mp.mpf(1) / 2)
        lo, hi = mp.mpf('1e-30'), mp.mpf('1e30')
        for _ in range(300):
            mid = mp.sqrt(lo * hi)
            lo, hi = (mid, hi) if mean(mid) < target else (lo, mid)
        r = mp.sqrt(lo * hi)
        upper = quantity == 'fs' and target > mean(1)
        if quantity == 'fs' or quantity == 'less':
            # keep the circle off the pole at z = 1
            gap = 1 / mp.sqrt(k + 1)
            r = max(r, 1 + gap) if upper else min(r, 1 - gap)
        acc = mp.mpc(0)
        for q in range(nodes):
            z = r * mp.expj(2 * mp.pi * q / nodes)
            value = mp.exp(log_g(z) - k * mp.log(z))
            if quantity == 'exactly':
                acc += value
            elif upper:
                acc += value * z / (z - 1)
            else:
                acc += value * z / (1 - z)
        result = (acc / nodes).real
        if quantity == 'exactly':
            return None, None, result
        return (result, 1 - result, None) if upper else (1 - result, result, None)


def value(quantity, n, k, theta):
    if n <= 1000:
        parts = [exact(n, k, theta)]
    else:
        parts = [contour(n, k, theta, quantity, nodes) for nodes in (2048, 4096)]
    results = []
    for upper, lower, at_k in parts:
        with mp.workdps(CONTOUR_DPS):
            if quantity == 'fs':
                results.append(mp.log(upper) - mp.log(lower))
            elif quantity == 'less':
                results.append(mp.log(lower))
            else:
                results.append(mp.log(at_k))
    if len(results) == 2:
        assert abs(results[0] - results[1]) <= mp.mpf('1e-15') * max(1, abs(results[1]))
    return results[-1]


ROWS = [
    # Fs, gene by gene at small n: the tails where 1 - P(K < k) loses digits,
    # S' next to 1, and the limits of the B-number formula.
    ('fs', 19, 19, 36 / 19), ('fs', 50, 50, 1e-4), ('fs', 1000, 1000, 0.001),
    ('fs', 1000, 2, 0.001), ('fs', 200, 5, 50.0), ('fs', 1000, 2, 1000.0),
    ('fs', 400, 77, 20.0), ('fs', 2, 2, 1.0), ('fs', 640, 496, 1000.0),
    ('fs', 30, 30, 10000.0),
    # Beyond the B-number matrix and where its values overflow.
    ('fs', 2000, 950, 300.0), ('fs', 1500, 1000, 500.0), ('fs', 4999, 300, 60.0),
    ('fs', 5000, 300, 60.0), ('fs', 6000, 1200, 100.0), ('fs', 10000, 9999, 0.3), ('fs', 20000, 19000, 2000.0),
    ('fs', 50000, 49990, 30.0),
    # Large samples: the first genes one by one, the others from power sums.
    ('fs', 30000, 200, 5.0), ('fs', 100000, 2, 0.01),
    ('fs', 1000000, 3, 100.0), ('fs', 10000000, 10, 7.5), ('fs', 100000000, 60, 3.0),
    ('fs', 1000000000, 2, 1e-8), ('fs', 1000000000, 7, 1e-8), ('fs', 1000000000, 1000, 50.0),
    ('fs', 1000000000, 100, 10000.0),
    ('fs', 2147483647, 2, 1e-8), ('fs', 2147483647, 300, 1e-8), ('fs', 2147483647, 30, 0.5),
    ('fs', 2147483647, 300, 20.0), ('fs', 2147483647, 8, 200.0),
    # ln P(K < k) and ln P(K = k): tiny values, values next to 1, large samples.
    ('less', 7, 3, 1.0), ('less', 200, 5, 50.0), ('less', 10, 10, 0.5),
    ('less', 2000, 950, 300.0), ('less', 1000000000, 5, 0.5),
    ('exactly', 19, 19, 2.2), ('exactly', 30, 7, 2.5), ('exactly', 1000, 500, 10.0),
    ('exactly', 2000, 950, 300.0), ('exactly', 1000000000, 5, 0.5),
]

if __name__ == '__main__':
    for quantity, n, k, theta in ROWS:
        v = value(quantity, n, k, theta)
        print('%-8s %10d %6d %-22r %s' % (quantity, n, k, theta, mp.nstr(v, 20)), flush=True)

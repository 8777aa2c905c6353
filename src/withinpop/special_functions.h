// Log-gamma, log-factorial and incomplete-gamma functions used by the
// probability formulas of the analyses (Fu's Fs, chi-square p-values).
#ifndef QND_WITHINPOP_SPECIAL_FUNCTIONS_H
#define QND_WITHINPOP_SPECIAL_FUNCTIONS_H

// ln Gamma(x) for x > 0 (Lanczos approximation with six coefficients).
double gammln(double x);
// The same in extended precision.
long double gammlnl(long double x);

// ln(n!); n < 0 is reported (error 105) and gives 0. Values for n <= 100 are
// cached because the probability formulas call this in inner loops.
double factln(int n);
// ln(n!) in extended precision, with its own cache.
long double factlnl(int n);
// ln(n!) by summing logarithms; n is rounded down after adding 0.1.
double factorial(const float n);

// Regularised lower incomplete gamma P(a, x) by its series (*gamser), and
// ln Gamma(a) (*gln).
void gser(float* gamser, float a, float x, float* gln);
// Regularised upper incomplete gamma Q(a, x) by its continued fraction
// (*gammcf), and ln Gamma(a) (*gln).
void gcf(float* gammcf, float a, float x, float* gln);

// sum_{i=0}^{count-1} (a + i)^-r for r >= 1, a > 0 and a whole count >= 0:
// a direct sum while a + i < 2r + 40, the Euler-Maclaurin formula beyond, so
// that count may be as large as 2^31 at a cost that does not depend on it.
double inverse_power_sum(int r, double a, double count);

// a1 = sum_{i=1}^{m} 1/i and a2 = sum_{i=1}^{m} 1/i^2 for a whole m >= 0 (the
// constants of Watterson's theta and Tajima's D for m + 1 gene copies). Up to
// kHarmonicLoopTerms terms they are summed one by one in increasing i; beyond,
// they come from the asymptotic expansions of digamma and trigamma, evaluated
// in extended precision, so that their cost does not grow with m and the
// doubles are correct to the last bit.
constexpr double kHarmonicLoopTerms = 65536;
void harmonic_sums(double m, double& a1, double& a2);

// Upper-tail probability of a chi-square value with df degrees of freedom;
// -1 for negative df and for a chi-square value not above 0.
double Prob_of_chi_sq(float df, float chi2);

#endif  // QND_WITHINPOP_SPECIAL_FUNCTIONS_H

// Log-gamma, log-factorials and the incomplete gamma function behind the
// chi-square probability.
#include "withinpop/special_functions.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "base/errors.h"
#include "globals.h"

namespace {

constexpr int kFactCacheSize = 101;  // entries 0..100
constexpr int kMaxIterations = 100;
constexpr float kEps = 3.0e-7f;
constexpr double kTiny = 1.0e-30;

}  // namespace

// Lanczos (1964) approximation as popularised by Numerical Recipes; relative
// error below 2e-10 for x > 0.
double gammln(double x) {
  double tmp = x + 5.5;
  tmp -= (x + 0.5) * std::log(tmp);
  const double ser = 1.000000000190015 + 76.18009172947146 / (x + 1) - 86.50532032941678 / (x + 2) +
                     24.01409824083091 / (x + 3) - 1.231739572450155 / (x + 4) +
                     0.001208650973866179 / (x + 5) - 5.395239384953e-6 / (x + 6);
  return -tmp + std::log(2.5066282746310007 * ser / x);
}

long double gammlnl(long double x) {
  long double tmp = x + 5.5L;
  tmp -= (x + 0.5L) * std::log(tmp);
  const long double ser = 1.000000000190015L + 76.18009172947146L / (x + 1) -
                          86.50532032941678L / (x + 2) + 24.01409824083091L / (x + 3) -
                          1.231739572450155L / (x + 4) + 0.001208650973866179L / (x + 5) -
                          5.395239384953e-6L / (x + 6);
  return -tmp + std::log(2.5066282746310007L * ser / x);
}

double factln(int n) {
  static double cache[kFactCacheSize] = {};
  if (n < 0) {
    E.error(Error, "factln(int n) negative factorial: setting it to zero", 105);
    return 0.0;
  }
  if (n <= 1) return 0.0;
  if (n >= kFactCacheSize) return gammln(n + 1.0);
  if (cache[n] == 0.0) cache[n] = gammln(n + 1.0);
  return cache[n];
}

long double factlnl(int n) {
  static long double cache[kFactCacheSize] = {};
  if (n < 0) {
    *_AOS_ << "factlnl(int n) negative factorial: setting it to zero" << '\n';
    return 0.0L;
  }
  if (n <= 1) return 0.0L;
  if (n >= kFactCacheSize) return gammlnl(n + 1.0L);
  if (cache[n] == 0.0L) cache[n] = gammlnl(n + 1.0L);
  return cache[n];
}

double factorial(const float n) {
  const int m = static_cast<int>(n + 0.1f);
  double sum = 0.0;
  for (int i = 2; i <= m; ++i) sum += std::log(static_cast<double>(i));
  return sum;
}

// P(a, x) = e^-x x^a / Gamma(a) * sum_k x^k / (a (a+1) ... (a+k)); converges
// quickly for x < a + 1.
void gser(float* gamser, float a, float x, float* gln) {
  *gln = static_cast<float>(gammln(a));
  if (x <= 0.0f) {
    if (x < 0.0f) E.error(Error, "gser() x less than 0", 105);
    *gamser = 0.0f;
    return;
  }
  float ap = a;
  float del = 1.0f / a;
  float sum = del;
  for (int n = 1; n <= kMaxIterations; ++n) {
    ap += 1.0f;
    del *= x / ap;
    sum += del;
    if (std::fabs(del) < std::fabs(sum) * kEps) {
      *gamser = static_cast<float>(sum * std::exp(-x + a * std::log(x) - *gln));
      return;
    }
  }
  E.error(Error, "gser() a too large, ITMAX too small ", 105);
  // The last partial sum is the best value there is.
  *gamser = static_cast<float>(sum * std::exp(-x + a * std::log(x) - *gln));
}

// Q(a, x) by its continued fraction, evaluated with the modified Lentz method;
// converges quickly for x > a + 1.
void gcf(float* gammcf, float a, float x, float* gln) {
  *gln = static_cast<float>(gammln(a));
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  bool converged = false;
  for (int i = 1; i <= kMaxIterations; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1.0) < kEps) {
      converged = true;
      break;
    }
  }
  if (!converged) E.error(Error, "gcf() a too large, ITMAX too small in gcf", 105);
  *gammcf = static_cast<float>(std::exp(-x + a * std::log(x) - *gln) * h);
}

namespace {

// B_2k / (2k)! for k = 1..7, the Euler-Maclaurin coefficients.
constexpr double kBernoulliOverFactorial[] = {1.0 / 12,           -1.0 / 720,
                                              1.0 / 30240,        -1.0 / 1209600,
                                              1.0 / 47900160,     -691.0 / 1307674368000.0,
                                              1.0 / 74724249600.0};

// sum_{i=0}^{count-1} (a + i)^-r for a >= 2r + 40 by the Euler-Maclaurin
// formula with seven correction terms (relative error near 1e-16). Every
// difference f(a) - f(b), b = a + count, is written f(a) (1 - (a/b)^s) with
// expm1, so that near and distant ends alike keep their digits.
double euler_maclaurin_sum(int r, double a, double count) {
  const double log_ratio = -std::log1p(count / a);  // ln(a / b)
  auto drop = [log_ratio](double s) { return -std::expm1(s * log_ratio); };
  const double fa = std::pow(a, -r);
  double sum = (r == 1 ? -log_ratio : a * fa * drop(r - 1.0) / (r - 1)) + 0.5 * fa * drop(r);
  double rising = r;      // r (r+1) ... (r + 2k - 2)
  double power = fa / a;  // a^-(r + 2k - 1)
  for (int k = 1; k <= 7; ++k) {
    sum += kBernoulliOverFactorial[k - 1] * rising * power * drop(r + 2.0 * k - 1);
    rising *= (r + 2.0 * k - 1) * (r + 2.0 * k);
    power /= a * a;
  }
  return sum;
}

}  // namespace

void harmonic_sums(double m, double& a1, double& a2) {
  a1 = a2 = 0.0;
  if (!(m >= 1)) return;
  if (m <= kHarmonicLoopTerms) {
    const int terms = static_cast<int>(m);
    for (int i = 1; i <= terms; ++i) {
      a1 += 1.0 / i;
      a2 += 1.0 / (static_cast<double>(i) * i);
    }
    return;
  }
  // H(m) = ln m + gamma + 1/(2m) - 1/(12m^2) + 1/(120m^4) - ..., and
  // sum_{i<=m} 1/i^2 = pi^2/6 - 1/m + 1/(2m^2) - 1/(6m^3) + 1/(30m^5) - ...;
  // the first omitted terms are below 1e-30 for m > 65536.
  constexpr long double kEulerGamma = 0.577215664901532860606512090082402431L;
  constexpr long double kZeta2 = 1.644934066848226436472415166646025189L;
  const long double x = std::floor(m);
  const long double u = 1.0L / x;
  const long double u2 = u * u;
  a1 = static_cast<double>(std::log(x) + kEulerGamma +
                           u * (0.5L - u * (1.0L / 12 - u2 * (1.0L / 120))));
  a2 = static_cast<double>(kZeta2 - u * (1.0L - u * (0.5L - u * (1.0L / 6 - u2 * (1.0L / 30)))));
}

double inverse_power_sum(int r, double a, double count) {
  const double direct = std::min(count, std::max(0.0, std::ceil(2.0 * r + 40 - a)));
  double sum = 0.0;
  for (double i = direct - 1; i >= 0; i -= 1)  // small terms first
    sum += r == 1 ? 1 / (a + i) : std::pow(a + i, -r);
  if (direct >= count) return sum;
  return sum + euler_maclaurin_sum(r, a + direct, count - direct);
}

double Prob_of_chi_sq(float df, float chi2) {
  const float a = df / 2.0f;
  const float x = chi2 / 2.0f;
  if (a < 0.0f) {
    E.error(Error, "Prob_of_chi_sq()  invalid arguments", 105);
    return -1.0;
  }
  if (x <= 0.0f) return -1.0;
  // No degrees of freedom: all the mass sits at 0, so no positive value is
  // exceeded with any probability (the series below would divide by a = 0).
  if (a == 0.0f) return 0.0;
  float gln = 0.0f;
  if (x < a + 1.0f) {
    float gamser = 0.0f;
    gser(&gamser, a, x, &gln);
    return 1.0 - gamser;
  }
  float gammcf = 0.0f;
  gcf(&gammcf, a, x, &gln);
  return gammcf;
}

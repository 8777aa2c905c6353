// The number of alleles K among n genes under the Ewens sampling formula.
//
// Genes are added one at a time: gene m + 1 founds a new allele with
// probability p_m = theta / (theta + m), independently of the others, so K is
// 1 plus a sum of independent Bernoulli variables. A probability P(lo <= K <= hi)
// is computed in one of two ways:
//
// - Gene by gene: the distribution of K over the genes added so far, one row
//   of probabilities, moved on by P'(j) = P(j) (1 - p_m) + P(j - 1) p_m. Counts
//   that can no longer reach lo are dropped, counts above hi are dropped or,
//   for an upper tail, gathered in one absorbing cell.
// - Split at gene M, for large samples: the first M genes gene by gene; the
//   count T of new alleles among genes M + 1 .. n from its generating function
//   prod_m (1 - p_m) (1 + y_m z), y_m = theta / m, whose coefficients (the
//   elementary symmetric functions of the y_m) follow from the power sums
//   sum_m y_m^r = theta^r sum_m m^-r by Newton's identities; the power sums
//   come from the Euler-Maclaurin series, so nothing loops over the n genes.
//   M is at least 4 theta, so every y_m is at most 1/4, and large enough that
//   the identities stay well conditioned; then P(K = j) = sum_a P(K_M = a)
//   P(T = j - a).
//
// Tiny probabilities (e^-5000 and below occur) stay representable by
// exponential tilting: the rows are computed under a parameter theta' for
// which the wanted values of K are typical, and P_theta(K = j) = P_theta'(K = j)
// (theta / theta')^(j-1) prod_{m=1}^{n-1} (theta' + m) / (theta + m). Gene by
// gene, a first pass runs untilted, and only a result below e^-600, where the
// rows may have lost values below the range of a double, is computed again
// under the tilt.
#include "withinpop/ewens.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "withinpop/special_functions.h"

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();
constexpr double kLn2 = 0.69314718055994530942;
// Rows are rescaled by 2^600 when their largest value falls below 2^-600.
constexpr int kRescaleExponent = 600;
// The split needs the tail genes to be at least this many times theta and the
// sample at least this many times M.
constexpr double kTailGenesPerTheta = 4.0;
constexpr double kSampleOverSplit = 8.0;
constexpr int kMinSplit = 64;
// Extra per-gene work of the gene-by-gene path (the tilt factor, the
// absorbing cell, the checks of the row's range), in elementary updates.
constexpr double kPerGeneWork = 40.0;

double log_add(double a, double b) {
  if (a == kNegInf) return b;
  if (b == kNegInf) return a;
  return std::max(a, b) + std::log1p(std::exp(-std::fabs(a - b)));
}

// A number x 2^e kept with 2^-500 <= x <= 2^500, for the tilt factor and for
// sums of terms that span more than the range of a double.
struct Scaled {
  double mant = 0.0;
  int exp = 0;

  double log() const { return mant > 0 ? std::log(mant) + exp * kLn2 : kNegInf; }
  void normalise() {
    if (mant != 0 && (mant > 0x1p500 || mant < 0x1p-500)) {
      int e = 0;
      mant = std::frexp(mant, &e);
      exp += e;
    }
  }
  void multiply(double x) {  // x > 0
    int e = 0;
    mant *= std::frexp(x, &e);
    exp += e;
    normalise();
  }
  void add(double x, int e) {  // adds x 2^e, x >= 0
    if (!(x > 0)) return;
    if (mant == 0 || e > exp) {
      mant = std::ldexp(mant, exp - e);
      exp = e;
    }
    mant += std::ldexp(x, e - exp);
    normalise();
  }
};

// The parameter under which K_n has mean `target` (1 < target < n), found by
// bisection on its logarithm. It only has to be roughly right: it decides
// which probabilities are large enough to be represented, not their values.
double tilted_theta(int n, double theta, double target) {
  double lo = theta, hi = theta;
  if (ewens::expected_alleles(n, theta) < target) {
    while (ewens::expected_alleles(n, hi) < target && hi < 1e300) hi *= 4;
    lo = hi / 4;
  } else {
    while (ewens::expected_alleles(n, lo) > target && lo > 1e-300) lo /= 4;
    hi = lo * 4;
  }
  for (int i = 0; i < 24; ++i) {  // to a millionth of theta'
    const double mid = std::sqrt(lo * hi);
    (ewens::expected_alleles(n, mid) < target ? lo : hi) = mid;
  }
  return std::sqrt(lo * hi);
}

// The values of K wanted, and the parameters of the tilt.
struct Query {
  int n;
  int lo, hi;  // lo <= K <= hi; hi == n with lo > 1 is an upper tail
  double theta, tilted;
  double log_w;  // ln(theta / theta')
};

// Distribution of K over the first `genes` genes under theta', for counts in
// [1, top]: P(K = j) = row[j] e^log_scale. log_g is ln prod (theta' + m) /
// (theta + m) over the genes added. Mass that moves above `top` is dropped or,
// with `absorb`, gathered (converted to theta) in log_absorbed; counts that can
// no longer reach `reach` by gene n are dropped.
struct GeneRows {
  std::vector<double> row;
  double log_scale = 0.0;
  double log_g = 0.0;
  double log_absorbed = kNegInf;
};

GeneRows add_genes(const Query& q, int genes, int top, int reach, bool absorb) {
  GeneRows r;
  r.row.assign(static_cast<size_t>(top) + 2, 0.0);
  r.row[1] = 1.0;
  std::vector<double>& row = r.row;
  int row_exp = 0;  // P(K = j) = row[j] 2^row_exp
  Scaled g{1.0, 0}, absorbed;
  for (int m = 1; m < genes; ++m) {
    const double denom = q.tilted + m;
    const double a = q.tilted / denom, b = m / denom;
    if (q.tilted != q.theta) g.multiply(denom / (q.theta + m));
    if (absorb && std::min(m, top) == top)
      absorbed.add(row[static_cast<size_t>(top)] * a * g.mant, row_exp + g.exp);
    const int lo_new = std::max(1, reach - (q.n - m - 1));
    const int hi_new = std::min(m + 1, top);
    if (lo_new > hi_new) {
      row.assign(row.size(), 0.0);
      break;
    }
    for (int j = hi_new; j >= lo_new; --j) {
      const size_t u = static_cast<size_t>(j);
      row[u] = row[u] * b + row[u - 1] * a;
    }
    row[static_cast<size_t>(lo_new) - 1] = 0.0;
    if ((m & 15) == 0 || hi_new - lo_new < 16) {
      double largest = 0.0;
      for (int j = lo_new; j <= hi_new; ++j)
        largest = std::max(largest, row[static_cast<size_t>(j)]);
      if (largest == 0.0) break;
      if (largest < std::ldexp(1.0, -kRescaleExponent)) {
        for (int j = lo_new; j <= hi_new; ++j)
          row[static_cast<size_t>(j)] = std::ldexp(row[static_cast<size_t>(j)], kRescaleExponent);
        row_exp -= kRescaleExponent;
      }
    }
  }
  r.log_scale = row_exp * kLn2;
  r.log_g = g.log();
  r.log_absorbed = absorbed.log() + top * q.log_w;
  return r;
}

// ln sum_{j=lo}^{hi} P_theta(K = j) by the gene-by-gene path.
double log_range_by_genes(const Query& q) {
  const bool upper = q.hi >= q.n && q.lo > 1;
  const int top = upper ? q.lo - 1 : q.hi;
  const GeneRows r = add_genes(q, q.n, top, q.lo, upper);
  if (upper) return r.log_absorbed;
  double total = kNegInf;
  for (int j = q.lo; j <= q.hi; ++j) {
    const double p = r.row[static_cast<size_t>(j)];
    if (p > 0) total = log_add(total, std::log(p) + (j - 1) * q.log_w);
  }
  return total + r.log_scale + r.log_g;
}

// ---------------------------------------------------------------------------
// Split at gene M.
// ---------------------------------------------------------------------------

// Power sums of the tail genes m = M .. n-1: z[r] = sum m^-r, r = 1..R.
std::vector<double> tail_power_sums(int M, int n, int R) {
  std::vector<double> z(static_cast<size_t>(R) + 1, 0.0);
  for (int r = 1; r <= R; ++r) z[static_cast<size_t>(r)] = inverse_power_sum(r, M, n - M);
  return z;
}

// sum_m ln(1 + x / m) over the tail genes, from sum_r (-1)^(r-1) x^r z_r / r.
double log_one_plus_sum(double x, const std::vector<double>& z) {
  double sum = 0.0, power = 1.0;
  for (size_t r = 1; r < z.size(); ++r) {
    power *= x;
    sum += (r % 2 == 1 ? 1.0 : -1.0) * power * z[r] / static_cast<double>(r);
  }
  return sum;
}

// ln P_theta'(T = t), t = 0..tmax, for the count T of new alleles among the
// tail genes. With e_t the elementary symmetric functions of y_m = theta'/m and
// P_r = sum y_m^r, Newton's identities t e_t = sum_i (-1)^(i-1) e_(t-i) P_i
// become, for g_t = e_t t! / P_1^t (about 1 while the y_m are small),
// g_t = sum_i (-1)^(i-1) g_(t-i) (P_i / P_1^i) (t-1)! / (t-i)!.
std::vector<double> log_tail_count(double tilted, const std::vector<double>& z, int tmax) {
  const int R = static_cast<int>(z.size()) - 1;
  const double p1 = tilted * z[1];
  std::vector<double> c(static_cast<size_t>(R) + 1, 0.0);  // P_i / P_1^i
  for (int i = 1; i <= R; ++i)
    c[static_cast<size_t>(i)] = z[static_cast<size_t>(i)] / std::pow(z[1], i);
  std::vector<double> g(static_cast<size_t>(tmax) + 1, 0.0);
  g[0] = 1.0;
  for (int t = 1; t <= tmax; ++t) {
    double sum = 0.0, falling = 1.0;
    for (int i = 1; i <= std::min(t, R); ++i) {
      const double term = g[static_cast<size_t>(t - i)] * c[static_cast<size_t>(i)] * falling;
      sum += i % 2 == 1 ? term : -term;
      falling *= t - i;
    }
    g[static_cast<size_t>(t)] = std::max(sum, 0.0);
  }
  const double log_none = -log_one_plus_sum(tilted, z);  // ln prod (1 - p_m)
  const double log_p1 = std::log(p1);
  std::vector<double> out(static_cast<size_t>(tmax) + 1);
  for (int t = 0; t <= tmax; ++t) {
    const double gt = g[static_cast<size_t>(t)];
    out[static_cast<size_t>(t)] =
        gt > 0 ? std::log(gt) + log_none + t * log_p1 - std::lgamma(t + 1.0) : kNegInf;
  }
  return out;
}

// Number of power sums kept: enough that the dropped terms of the logarithm
// series (ratio y = theta_max / M) and of Newton's identities (ratio x =
// tmax / (M sum m^-1)) fall below 1e-17 of the leading ones.
int power_sums_needed(int M, double theta_max, double z1, int tmax) {
  const double y = theta_max / M;
  const double x = tmax / (M * z1);
  const double p1 = std::max(theta_max * z1, 1.0);
  double needed = 1.0;
  if (y > 0) needed = std::max(needed, 1.0 + (std::log(p1) + 39.2) / -std::log(y));
  if (x > 0) needed = std::max(needed, 1.0 + 39.2 / -std::log(x));
  return static_cast<int>(std::ceil(needed));
}

// ln sum_{j=lo}^{hi} P_theta(K = j) with the first M genes gene by gene and the
// rest from the generating function. hi must be below M + (n - M).
double log_range_split(const Query& q, int M) {
  const int jcap = std::min(q.hi, M);
  const GeneRows first = add_genes(q, M, jcap, 1, false);
  const int tmax = q.hi - 1;
  const double theta_max = std::max(q.theta, q.tilted);
  const int R = power_sums_needed(M, theta_max, inverse_power_sum(1, M, q.n - M), tmax);
  const std::vector<double> z = tail_power_sums(M, q.n, R);
  const std::vector<double> log_t = log_tail_count(q.tilted, z, tmax);
  const double log_g_tail = log_one_plus_sum(q.tilted, z) - log_one_plus_sum(q.theta, z);

  // Both factors scaled to a largest value of 1; the weights w^(j-1) are taken
  // relative to the end of the range where they are largest.
  double row_max = 0.0;
  for (int a = 1; a <= jcap; ++a) row_max = std::max(row_max, first.row[static_cast<size_t>(a)]);
  if (row_max == 0.0) return kNegInf;
  const double t_max = *std::max_element(log_t.begin(), log_t.end());
  if (t_max == kNegInf) return kNegInf;
  std::vector<double> A(static_cast<size_t>(jcap) + 1, 0.0), B(log_t.size(), 0.0);
  for (int a = 1; a <= jcap; ++a)
    A[static_cast<size_t>(a)] = first.row[static_cast<size_t>(a)] / row_max;
  for (size_t t = 0; t < log_t.size(); ++t) B[t] = std::exp(log_t[t] - t_max);
  const int ref = q.log_w <= 0 ? q.lo : q.hi;
  double sum = 0.0;
  for (int j = q.lo; j <= q.hi; ++j) {
    double conv = 0.0;
    for (int a = std::max(1, j - tmax); a <= std::min(j, jcap); ++a)
      conv += A[static_cast<size_t>(a)] * B[static_cast<size_t>(j - a)];
    sum += conv * std::exp((j - ref) * q.log_w);
  }
  if (!(sum > 0)) return kNegInf;
  return std::log(sum) + std::log(row_max) + first.log_scale + t_max + (ref - 1) * q.log_w +
         first.log_g + log_g_tail;
}

// The smallest split gene M for which the tail expansion is well conditioned
// for counts up to tmax: M >= 64, M >= 4 theta_max and M ln(n / M) >= 2 tmax
// (the terms of Newton's identities then fall at least like 2^-i); 0 when the
// sample is not at least 8 M.
int split_gene(int n, double theta_max, int tmax) {
  double M = std::max<double>(kMinSplit, std::ceil(kTailGenesPerTheta * theta_max));
  while (M * kSampleOverSplit <= n && M * std::log(n / M) < 2.0 * tmax) M *= 1.25;
  if (M * kSampleOverSplit > n) return 0;
  return static_cast<int>(std::ceil(M));
}

// Sets the tilt of q for a mean of `target`; none when that is the mean.
void tilt(Query& q, double target) {
  if (std::fabs(target - ewens::expected_alleles(q.n, q.theta)) <= 0.5) return;
  q.tilted = tilted_theta(q.n, q.theta, std::clamp(target, 1.5, q.n - 0.5));
  const double w = q.theta / q.tilted;
  q.log_w = std::isnormal(w) ? std::log(w) : std::log(q.theta) - std::log(q.tilted);
}

// ln P(lo <= K <= hi), choosing the cheaper path; false when it exceeds the
// work budget. `target` is the mean K the tilt aims at.
bool log_range(int n, int lo, int hi, double theta, double target, ewens::Method method,
               double& log_p) {
  Query q{n, lo, hi, theta, theta, 0.0};
  const bool upper = hi >= n && lo > 1;
  const double width = upper ? std::min(lo - 1, n - lo + 2) : std::min(hi, n - lo + 1);
  const double by_genes = static_cast<double>(n) * (width + kPerGeneWork);

  // The split needs the tilt to be planned; it cannot apply to small samples.
  int M = 0, split_hi = hi;
  if (n >= kSampleOverSplit * kMinSplit && method != ewens::Method::kGeneByGene) {
    tilt(q, target);
    // For an upper tail, the split stops at counts where the tilted
    // distribution (mean near lo) has left at most e^-45 of its mass.
    if (upper)
      split_hi = static_cast<int>(std::min<double>(n, lo + std::ceil(10 * std::sqrt(lo) + 40)));
    M = split_gene(n, std::max(theta, q.tilted), split_hi - 1);
  }
  const double jcap = std::min(M, split_hi);
  const double by_split =
      M > 0 ? M * (jcap + kPerGeneWork) + split_hi * kPerGeneWork + (split_hi - lo + 1.0) * jcap
            : std::numeric_limits<double>::infinity();
  bool genes = by_genes <= by_split;
  if (method == ewens::Method::kGeneByGene) genes = true;
  if (method == ewens::Method::kSplit) genes = false;
  if ((genes ? by_genes : by_split) > ewens::kWorkBudget) return false;
  if (!genes) {
    q.hi = split_hi;
    log_p = log_range_split(q, M);
    return true;
  }
  if (q.tilted == theta) {
    // Without a tilt, values lost below the range of a double are less than
    // 1e-300 of the rows' largest; a result above e^-600 cannot miss them.
    log_p = log_range_by_genes(q);
    if (log_p >= -600) return true;
    tilt(q, target);
    if (q.tilted == theta) return true;
  }
  log_p = log_range_by_genes(q);
  return true;
}

}  // namespace

double ewens::expected_alleles(int n, double theta) {
  if (n < 1) return 0.0;
  if (!(theta > 0)) return 1.0;
  return 1.0 + theta * inverse_power_sum(1, theta + 1, n - 1);
}

bool ewens::log_tails(int n, int k, double theta, double& log_upper, double& log_lower,
                      Method method) {
  if (k <= 1 || n < 1) {
    log_upper = 0.0;
    log_lower = kNegInf;
    return true;
  }
  if (k > n || !(theta > 0)) {
    log_upper = kNegInf;
    log_lower = 0.0;
    return true;
  }
  const double boundary = k - 0.5;
  if (boundary >= expected_alleles(n, theta)) {
    double log_u = 0.0;
    if (!log_range(n, k, n, theta, boundary, method, log_u)) return false;
    log_upper = std::min(log_u, 0.0);
    log_lower = std::log1p(-std::exp(log_upper));
  } else {
    double log_l = 0.0;
    if (!log_range(n, 1, k - 1, theta, boundary, method, log_l)) return false;
    log_lower = std::min(log_l, 0.0);
    log_upper = std::log1p(-std::exp(log_lower));
  }
  return true;
}

bool ewens::log_probability_of(int n, int k, double theta, double& log_p) {
  if (n < 1 || k < 1 || k > n) {
    log_p = kNegInf;
    return true;
  }
  if (!(theta > 0) || n == 1) {
    log_p = k == 1 ? 0.0 : kNegInf;
    return true;
  }
  if (!log_range(n, k, k, theta, k, Method::kCheapest, log_p)) return false;
  log_p = std::min(log_p, 0.0);
  return true;
}

// Tajima's D (1989) and Fu's Fs (1997), the neutrality tests of the
// infinite-site model, with their p-values from coalescent simulations.
//
// Fu's Fs needs S' = P(K >= k | theta) under the Ewens sampling formula. For
// samples below 5,000 genes and 1,000 haplotypes it is summed from the shared
// matrix of B numbers (B(n, j) = |s(n, j)| j! / n!); beyond that, or where the
// B numbers overflow a double (from about n = 1,500 and k = 900 on), the same
// probabilities come from a recurrence in log space that works for any n and k.
#include "withinpop/neutrality.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

#include "base/errors.h"
#include "globals.h"
#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/coalescent.h"
#include "withinpop/special_functions.h"

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();
constexpr double kMaxTheta = 10000.0;
const char* const kFuSource = "PopulDNA::Fu_Fs()";

// ln(e^a + e^b), exact when either term is e^-inf = 0.
double log_add(double a, double b) {
  if (a == kNegInf) return b;
  if (b == kNegInf) return a;
  const double hi = std::max(a, b);
  return hi + std::log1p(std::exp(-std::fabs(a - b)));
}

// After the call, row[j] (j = 1..kmax-1) is ln P(K = j) and tail is
// ln P(K >= kmax) for a sample of n genes. Gene m + 1 founds a new allele with
// probability theta / (theta + m), so the row moves from m to m + 1 genes by
// P'(j) = P(j) m / (theta + m) + P(j - 1) theta / (theta + m), while the
// last cell absorbs every count of kmax or more.
void ewens_log_row(int n, int kmax, double theta, std::vector<double>& row, double& tail) {
  row.assign(static_cast<size_t>(std::max(kmax, 2)), kNegInf);
  tail = kNegInf;
  if (kmax <= 1) {
    tail = 0.0;
    return;
  }
  row[1] = 0.0;
  const double log_theta = std::log(theta);
  for (int m = 1; m < n; ++m) {
    const double log_denom = std::log(theta + m);
    const double old_lineage = std::log(static_cast<double>(m)) - log_denom;
    const double new_allele = log_theta - log_denom;
    tail = log_add(tail, row[static_cast<size_t>(kmax - 1)] + new_allele);
    for (int j = std::min(m + 1, kmax - 1); j >= 2; --j) {
      const size_t u = static_cast<size_t>(j);
      row[u] = log_add(row[u] + old_lineage, row[u - 1] + new_allele);
    }
    row[1] += old_lineage;
  }
}

// Grows the shared B matrix to cover n rows and k columns, doubling a
// dimension when it grows so that slowly increasing samples rebuild it rarely.
bool ensure_b_matrix(int n, int k) {
  PopGenetics::get_B_num_mat();
  BnumMat& B = BnumMat::shared();
  if (n <= B.rows() && k <= B.cols()) return true;
  if (n > BnumMat::kMaxRows || k > BnumMat::kMaxCols) return false;
  const int rows = std::max(B.rows(), std::min(BnumMat::kMaxRows, std::max(n + 10, 2 * B.rows())));
  const int cols = std::max(B.cols(), std::min(BnumMat::kMaxCols, std::max(k + 10, 2 * B.cols())));
  return B.re_allocate_matrix(rows, cols) == 1;
}

// Sum over j < k of B(n, j) theta^j / j!, times Gamma(theta) n! / Gamma(n + theta),
// in extended precision and not clamped. The matrix must cover n and k - 1.
long double b_sum_less_than_k(int k, int n, double theta) {
  const BnumMat& B = BnumMat::shared();
  const long double log_theta = std::log(static_cast<long double>(theta));
  long double sum = 0.0L;
  for (int j = 1; j < k; ++j) sum += B(n, j) * std::exp(j * log_theta - factlnl(j));
  return sum * std::exp(gammlnl(theta) + factlnl(n) - gammlnl(static_cast<long double>(n) + theta));
}

enum class FsOutcome {
  kComputed,
  kNoDiversity,
  kSPrimeZero,
  kSPrimeOne,
  kNotANumber,
  kThetaTooLarge
};

// Fs = ln(S' / (1 - S')) for n genes, theta and k haplotypes.
FsOutcome compute_fs(int n, double theta, int k, double& Fs) {
  if (!(theta > 0)) return FsOutcome::kNoDiversity;
  if (theta > kMaxTheta) return FsOutcome::kThetaTooLarge;
  if (k <= 1) return FsOutcome::kSPrimeOne;
  if (k > n) return FsOutcome::kSPrimeZero;
  if (n < BnumMat::kMaxRows && k < BnumMat::kMaxCols && ensure_b_matrix(n, k)) {
    const long double P = b_sum_less_than_k(k, n, theta);
    if (std::isfinite(P)) {
      const long double sp = 1.0L - std::clamp(P, 0.0L, 1.0L);
      if (sp > 0 && sp < 1) {
        Fs = static_cast<double>(std::log(sp / (1.0L - sp)));
        return FsOutcome::kComputed;
      }
      if (sp == 0) return FsOutcome::kSPrimeZero;
      if (sp == 1) return FsOutcome::kSPrimeOne;
      return FsOutcome::kNotANumber;
    }
    // The B numbers overflowed: fall through to the log-space recurrence.
  }
  double log_sp = 0.0, log_rest = 0.0;
  neutrality::log_prob_k_tails(n, k, theta, log_sp, log_rest);
  if (log_sp == kNegInf) return FsOutcome::kSPrimeZero;
  if (log_rest == kNegInf) return FsOutcome::kSPrimeOne;
  Fs = log_sp - log_rest;
  return std::isfinite(Fs) ? FsOutcome::kComputed : FsOutcome::kNotANumber;
}

// Mean and standard deviation of simulated values.
void write_simulated_summary(std::ostream& log, double sum, double sum2, int m) {
  const double mean = m > 0 ? sum / m : 0.0;
  const double var = m > 1 ? (sum2 - m * mean * mean) / (m - 1) : 0.0;
  log << "  Mean of simulated values      : " << mean << '\n'
      << "  S.d. of simulated values      : " << (var > 0 ? std::sqrt(var) : 0.0) << '\n';
}

}  // namespace

// ---------------------------------------------------------------------------
// B numbers.
// ---------------------------------------------------------------------------

BnumMat& BnumMat::shared() {
  static BnumMat matrix;
  return matrix;
}

int BnumMat::re_allocate_matrix(int rows, int cols) {
  if (rows <= 0 || cols <= 0 || rows > kMaxRows || cols > kMaxCols) return 0;
  row_start_.assign(static_cast<size_t>(rows) + 1, 0);
  size_t total = 0;
  for (int n = 1; n <= rows; ++n) {
    row_start_[static_cast<size_t>(n)] = total;
    total += static_cast<size_t>(std::min(n, cols));
  }
  cells_.assign(total, 0.0);
  rows_ = rows;
  cols_ = cols;
  cells_[0] = 1.0;  // B(1, 1)
  for (int n = 2; n <= rows; ++n) {
    double* row = &cells_[row_start_[static_cast<size_t>(n)]];
    const double* prev = &cells_[row_start_[static_cast<size_t>(n - 1)]];
    const int width = std::min(n, cols);
    const int prev_width = std::min(n - 1, cols);
    row[0] = 1.0 / n;
    for (int k = 2; k <= width; ++k) {
      if (k == n) {
        row[k - 1] = 1.0;
      } else {
        const double stay = k <= prev_width ? prev[k - 1] : 0.0;
        row[k - 1] = ((n - 1) * stay + k * prev[k - 2]) / n;
      }
    }
  }
  return 1;
}

void PopGenetics::get_B_num_mat() {
  BnumMat& B = BnumMat::shared();
  if (!B.built()) (void)B.re_allocate_matrix(200, 80);
}

// ---------------------------------------------------------------------------
// Ewens sampling formula.
// ---------------------------------------------------------------------------

void neutrality::log_prob_k_tails(int n, int k, double theta, double& log_s_prime,
                                  double& log_one_minus) {
  if (k <= 1) {
    log_s_prime = 0.0;
    log_one_minus = kNegInf;
    return;
  }
  if (k > n || !(theta > 0)) {
    log_s_prime = kNegInf;
    log_one_minus = 0.0;
    return;
  }
  std::vector<double> row;
  ewens_log_row(n, k, theta, row, log_s_prime);
  log_one_minus = kNegInf;
  for (int j = 1; j < k; ++j) log_one_minus = log_add(log_one_minus, row[static_cast<size_t>(j)]);
}

// P(K < k) for n genes (Ewens 1972), clamped to [0, 1].
long double PopGenetics::proba_less_than_k(const int& k, const int& n, const double& theta) {
  if (k <= 1) return 0.0L;
  if (n < BnumMat::kMaxRows && k - 1 < BnumMat::kMaxCols && k <= n && ensure_b_matrix(n, k - 1)) {
    const long double P = b_sum_less_than_k(k, n, theta);
    if (std::isfinite(P)) return std::clamp(P, 0.0L, 1.0L);
  }
  double log_sp = 0.0, log_rest = 0.0;
  neutrality::log_prob_k_tails(n, k, theta, log_sp, log_rest);
  return std::clamp(static_cast<long double>(std::exp(log_rest)), 0.0L, 1.0L);
}

// P(K = k) for n genes: B(n, k) theta^k n! Gamma(theta) / (k! Gamma(n + theta)).
// theta <= 0 gives 1 for k = 1; theta above 10000 or k outside 1..n gives 0.
double PopGenetics::proba_exactly_k(const int& k, const int& n, const double& theta) {
  if (theta <= 0) return k == 1 ? 1.0 : 0.0;
  if (theta > kMaxTheta || k < 1 || k > n) return 0.0;
  if (n <= BnumMat::kMaxRows && k <= BnumMat::kMaxCols && ensure_b_matrix(n, k)) {
    const double p =
        BnumMat::shared()(n, k) *
        std::exp(k * std::log(theta) + factln(n) + gammln(theta) - factln(k) - gammln(n + theta));
    if (std::isfinite(p)) return p;
  }
  std::vector<double> row;
  double tail = 0.0;
  ewens_log_row(n, k + 1, theta, row, tail);
  return std::exp(row[static_cast<size_t>(k)]);
}

// Fu's Fs (1997) = ln(S' / (1 - S')) with S' = P(K >= k | theta). Returns 1 and
// sets Fs when defined; 0 (Fs untouched) when theta is not above 0 (warning
// 187), above 10000, or when S' is 0 or 1.
int PopGenetics::Fu_Fs(const double& theta, const int& k, double& Fs, bool report) {
  const int n = static_cast<int>(gene_copies());
  double value = 0.0;
  switch (compute_fs(n, theta, k, value)) {
    case FsOutcome::kComputed:
      Fs = value;
      return 1;
    case FsOutcome::kNoDiversity:
      if (report) E.error(Warning, kFuSource, 187);
      return 0;
    case FsOutcome::kNotANumber:
      if (report) E.error(Warning, kFuSource, 178);
      return 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Tajima's D.
// ---------------------------------------------------------------------------

bool neutrality::tajima_d(int n, double pi, double S, bool fast, double& D) {
  D = 0.0;
  if (!(S > 0) || n < 2) return false;
  double a1 = 0.0, a2 = 0.0;
  for (int i = 1; i < n; ++i) {
    a1 += 1.0 / i;
    a2 += 1.0 / (static_cast<double>(i) * i);
  }
  const double nd = n;
  const double b1 = (nd + 1) / (3 * (nd - 1));
  const double b2 = 2 * (nd * nd + nd + 3) / (9 * nd * (nd - 1));
  const double c1 = b1 - 1 / a1;
  const double c2 = b2 - (nd + 2) / (a1 * nd) + a2 / (a1 * a1);
  const double e1 = c1 / a1;
  const double e2 = c2 / (a1 * a1 + a2);
  const double diff = pi - S / a1;
  if (!fast && std::fabs(diff) < 1e-15) return e2 > 0;
  const double V = e1 * S + e2 * S * (S - 1);
  if (!(V > 0)) return false;
  D = diff / std::sqrt(V);
  if (!fast && !(e2 > 0)) {
    D = 0.0;
    return false;
  }
  return true;
}

// Tajima's D (1989): (pi - S/a1) / sqrt(e1 S + e2 S (S - 1)). S = 0, n < 2 or a
// variance not above 0 give D = 0 with p-value -1.
void PopGenetics::tajimaD(const int& n, const double& pi, const double& S) {
  double D = 0.0;
  const bool defined = neutrality::tajima_d(n, pi, S, false, D);
  tajima_d = D;
  if (!defined) tajima_d_pvalue = -1.0;
}

void PopGenetics::fast_tajimaD(const int& n, const double& pi, const double& S) {
  double D = 0.0;
  const bool defined = neutrality::tajima_d(n, pi, S, true, D);
  tajima_d = D;
  if (!defined) tajima_d_pvalue = -1.0;
}

// ---------------------------------------------------------------------------
// Tests with simulated null distributions.
// ---------------------------------------------------------------------------

void PopGenetics::run_tajima_test(const settings& s) {
  const int n = static_cast<int>(gene_copies());
  const int S = ProfileSettings::DataType == RFLP ? num_rflp_poly_sites : num_subst_sites;
  double D = 0.0;
  const bool defined = neutrality::tajima_d(n, mean_pair_diff, S, false, D);
  tajimaD(n, mean_pair_diff, S);
  std::ostream& log = *_AOS_;
  log << "\nTajima's test of selective neutrality (" << name << ")\n"
      << "  Sample size                   : " << n << '\n'
      << "  S                             : " << S << '\n'
      << "  Pi                            : " << mean_pair_diff << '\n'
      << "  Tajima's D                    : " << tajima_d << '\n';
  if (!defined || s.NumSimulFuTest <= 0) {
    if (!defined) log << "  P-value                       : -1\n";
    return;
  }
  theta_S(n, S);
  const double theta = theta_s_value;
  CoalescentSimulator sim;
  const int rounds = s.NumSimulFuTest;
  int below = 0, below_zero = 0;
  double sum = 0.0, sum2 = 0.0;
  for (int r = 0; r < rounds; ++r) {
    sim.simulate(n, theta);
    double d = 0.0;
    (void)neutrality::tajima_d(n, sim.mean_pairwise_differences(), sim.segregating_sites(), true,
                               d);
    sum += d;
    sum2 += d * d;
    if (d <= tajima_d) ++below;
    if (d <= 0) ++below_zero;
  }
  tajima_d_pvalue = static_cast<double>(below) / rounds;
  log << "  Simulations (theta(S) = " << theta << ") : " << rounds << '\n'
      << "  P(D simul. <= D obs.)         : " << tajima_d_pvalue << '\n'
      << "  P(D simul. <= 0)              : " << static_cast<double>(below_zero) / rounds << '\n';
  write_simulated_summary(log, sum, sum2, rounds);
}

// A simulated sample whose Fs is undefined counts as the most extreme value on
// its side: S' = 0 as -infinity, a single haplotype or S' = 1 as +infinity; it
// is left out of the mean and standard deviation of the simulated values.
void PopGenetics::run_fu_test(const settings& s) {
  const int n = static_cast<int>(gene_copies());
  const int k = num_haplotypes();
  theta_pi(mean_pair_diff);
  std::ostream& log = *_AOS_;
  log << "\nFu's FS test of selective neutrality (" << name << ")\n"
      << "  Number of haplotypes          : " << k << '\n'
      << "  Theta(pi)                     : " << theta_pi_value << '\n';
  if (k <= 1 || !Fu_Fs(theta_pi_value, k, fu_fs, true)) {
    log << "  Fs                            : not computed\n";
    return;
  }
  log << "  Fs                            : " << fu_fs << '\n';
  if (s.NumSimulFuTest <= 0) return;
  CoalescentSimulator sim;
  const int rounds = s.NumSimulFuTest;
  int below = 0, below_zero = 0, defined = 0;
  double sum = 0.0, sum2 = 0.0;
  for (int r = 0; r < rounds; ++r) {
    sim.simulate(n, theta_pi_value);
    double fs = 0.0;
    const FsOutcome outcome =
        compute_fs(n, sim.mean_pairwise_differences(), sim.num_haplotypes(), fs);
    if (outcome == FsOutcome::kComputed) {
      ++defined;
      sum += fs;
      sum2 += fs * fs;
    } else {
      fs = outcome == FsOutcome::kSPrimeZero ? kNegInf : std::numeric_limits<double>::infinity();
    }
    if (fs <= fu_fs) ++below;
    if (fs <= 0) ++below_zero;
  }
  fu_fs_pvalue = static_cast<double>(below) / rounds;
  log << "  Simulations (theta(pi) = " << theta_pi_value << ") : " << rounds << '\n'
      << "  P(Fs simul. <= Fs obs.)       : " << fu_fs_pvalue << '\n'
      << "  P(Fs simul. <= 0)             : " << static_cast<double>(below_zero) / rounds << '\n';
  write_simulated_summary(log, sum, sum2, defined);
}

// Tajima's D (1989) and Fu's Fs (1997), the neutrality tests of the
// infinite-site model, with their p-values from coalescent simulations.
//
// Fu's Fs = ln S' - ln(1 - S') with S' = P(K >= k | theta) under the Ewens
// sampling formula. Where both S' and 1 - S' are large enough for it, S' is
// 1 - P(K < k) with P(K < k) summed from the shared matrix of B numbers
// (B(n, j) = |s(n, j)| j! / n!): cheap once the matrix is built. Elsewhere, and
// for samples beyond the matrix, both tails come from the Ewens distribution
// computed in log space (withinpop/ewens.h), which loses no digit at any n, k
// and theta.
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
#include "withinpop/ewens.h"
#include "withinpop/special_functions.h"

namespace {

constexpr double kMaxTheta = 10000.0;
const char* const kFuSource = "PopulDNA::Fu_Fs()";

// Grows the shared B matrix to cover n rows and k columns, doubling a
// dimension when it grows so that slowly increasing samples rebuild it rarely.
bool ensure_b_matrix(int n, int k) {
  PopGenetics::get_B_num_mat();
  BnumMat& B = BnumMat::shared();
  if (n > B.rows() || k > B.cols()) {
    if (n > BnumMat::kMaxRows || k > BnumMat::kMaxCols) return false;
    const int rows =
        std::max(B.rows(), std::min(BnumMat::kMaxRows, std::max(n + 10, 2 * B.rows())));
    const int cols =
        std::max(B.cols(), std::min(BnumMat::kMaxCols, std::max(k + 10, 2 * B.cols())));
    if (B.re_size_matrix(rows, cols) == 0) return false;
  }
  B.rows_up_to(n);
  return true;
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

// The B-number formula gives S' = 1 - P with P accurate to about 6e-10 of its
// value (the six-term log-gamma), and 1 - S' recovered from S' to 2^-64 in
// absolute terms, so Fs carries an error of about 6e-10 / S' + 5e-20 / (1 - S').
// With S' >= 1e-2 and 1 - S' >= 1e-10 that is below 6e-8, a small fraction of
// the sixth printed digit; outside, the direct tails are used.
constexpr long double kMinUpperForBNumbers = 1e-2L;
constexpr long double kMinLowerForBNumbers = 1e-10L;

enum class FsOutcome {
  kComputed,
  kNoDiversity,
  kThetaTooLarge,
  kUndefined,
  kNotANumber,
  kOutOfReach
};

// Fs = ln(S' / (1 - S')) for n genes, theta and k haplotypes.
FsOutcome compute_fs(int n, double theta, int k, double& Fs) {
  if (!(theta > 0)) return FsOutcome::kNoDiversity;
  if (theta > kMaxTheta) return FsOutcome::kThetaTooLarge;
  if (k <= 1 || k > n) return FsOutcome::kUndefined;
  // K - 1 is a sum of independent Bernoulli variables whose variance is at most
  // its mean, so Bernstein's bound gives S' < e^-6 when k - 1 - mu >= 6 sqrt(mu),
  // and Chernoff's 1 - S' < e^-24.5 when mu - k + 1 >= 7 sqrt(mu): the B numbers
  // would be refused there, and the matrix is not even built.
  const double mu = ewens::expected_alleles(n, theta);
  const bool tail = k - 1 - mu >= 6 * std::sqrt(mu) || mu - k + 1 >= 7 * std::sqrt(mu);
  if (!tail && n < BnumMat::kMaxRows && k < BnumMat::kMaxCols && ensure_b_matrix(n, k)) {
    const long double P = b_sum_less_than_k(k, n, theta);
    const long double sp = 1.0L - P;
    if (std::isfinite(P) && sp >= kMinUpperForBNumbers && P >= kMinLowerForBNumbers) {
      Fs = static_cast<double>(std::log(sp / (1.0L - sp)));
      return FsOutcome::kComputed;
    }
  }
  double log_upper = 0.0, log_lower = 0.0;
  if (!ewens::log_tails(n, k, theta, log_upper, log_lower)) return FsOutcome::kOutOfReach;
  Fs = log_upper - log_lower;
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
  if (re_size_matrix(rows, cols) == 0) return 0;
  rows_up_to(rows);
  return 1;
}

int BnumMat::re_size_matrix(int rows, int cols) {
  if (rows <= 0 || cols <= 0 || rows > kMaxRows || cols > kMaxCols) return 0;
  row_start_.assign(static_cast<size_t>(rows) + 1, 0);
  size_t total = 0;
  for (int n = 1; n <= rows; ++n) {
    row_start_[static_cast<size_t>(n)] = total;
    total += static_cast<size_t>(std::min(n, cols));
  }
  cells_.reset(new double[total]);
  rows_ = rows;
  cols_ = cols;
  computed_ = 0;
  return 1;
}

void BnumMat::rows_up_to(int n) {
  n = std::min(n, rows_);
  if (computed_ < 1 && n >= 1) {
    cells_[0] = 1.0;  // B(1, 1)
    computed_ = 1;
  }
  for (int m = computed_ + 1; m <= n; ++m) {
    double* row = &cells_[row_start_[static_cast<size_t>(m)]];
    const double* prev = &cells_[row_start_[static_cast<size_t>(m - 1)]];
    const int width = std::min(m, cols_);
    const int prev_width = std::min(m - 1, cols_);
    row[0] = 1.0 / m;
    for (int k = 2; k <= width; ++k) {
      if (k == m) {
        row[k - 1] = 1.0;
      } else {
        const double stay = k <= prev_width ? prev[k - 1] : 0.0;
        row[k - 1] = ((m - 1) * stay + k * prev[k - 2]) / m;
      }
    }
  }
  computed_ = std::max(computed_, n);
}

void PopGenetics::get_B_num_mat() {
  BnumMat& B = BnumMat::shared();
  if (!B.built()) (void)B.re_size_matrix(200, 80);
}

// ---------------------------------------------------------------------------
// Ewens sampling formula.
// ---------------------------------------------------------------------------

// P(K < k) for n genes (Ewens 1972), summed without cancellation at any n and
// k. theta <= 0 puts every gene in one allele. NaN when out of reach.
long double PopGenetics::proba_less_than_k(const int& k, const int& n, const double& theta) {
  double log_upper = 0.0, log_lower = 0.0;
  if (!ewens::log_tails(n, k, theta, log_upper, log_lower))
    return std::numeric_limits<long double>::quiet_NaN();
  return std::clamp(static_cast<long double>(std::exp(log_lower)), 0.0L, 1.0L);
}

// P(K = k) for n genes: |s(n, k)| theta^k / (theta (theta+1) ... (theta+n-1)).
// theta <= 0 gives 1 for k = 1; theta above 10000 or k outside 1..n gives 0.
// NaN when out of reach.
double PopGenetics::proba_exactly_k(const int& k, const int& n, const double& theta) {
  if (theta > kMaxTheta) return 0.0;
  double log_p = 0.0;
  if (!ewens::log_probability_of(n, k, theta, log_p))
    return std::numeric_limits<double>::quiet_NaN();
  return std::exp(log_p);
}

// Fu's Fs (1997) = ln(S' / (1 - S')) with S' = P(K >= k | theta). Returns 1 and
// sets Fs when defined; 0 (Fs untouched) when theta is not above 0 (warning
// 187), above 10000, when k < 2 or k > n, or when the sample is beyond reach
// (warning 179); a value that is not a number (warning 178) is a safeguard.
int PopGenetics::Fu_Fs(const double& theta, const int& k, double& Fs, bool report) {
  const double copies = gene_copies();
  const int n = copies <= std::numeric_limits<int>::max() ? static_cast<int>(copies) : -1;
  double value = 0.0;
  const FsOutcome outcome = n < 0 ? FsOutcome::kOutOfReach : compute_fs(n, theta, k, value);
  switch (outcome) {
    case FsOutcome::kComputed:
      Fs = value;
      return 1;
    case FsOutcome::kNoDiversity:
      if (report) E.error(Warning, kFuSource, 187);
      return 0;
    case FsOutcome::kNotANumber:
      if (report) E.error(Warning, kFuSource, 178);
      return 0;
    case FsOutcome::kOutOfReach:
      if (report) E.error(Warning, kFuSource, 179);
      return 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Tajima's D.
// ---------------------------------------------------------------------------

bool neutrality::tajima_d(double n, double pi, double S, bool fast, double& D) {
  D = 0.0;
  if (!(S > 0) || !(n >= 2)) return false;
  double a1 = 0.0, a2 = 0.0;
  harmonic_sums(n - 1, a1, a2);
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

// Gene copies of the sample as a whole number (it may pass the int range).
double PopGenetics::whole_gene_copies() const {
  const double copies = gene_copies();
  return copies > 0 ? std::floor(copies) : 0.0;
}

// The simulated null distributions need one tree node per gene copy: a sample
// beyond the simulator's reach fails the run ("not enough memory") before
// anything is allocated.
void PopGenetics::check_simulated_sample(double n, const char* source) {
  if (n > CoalescentSimulator::kMaxGenes) {
    E.error(Memory, source, 0);
    throw MemoryException;  // also when no log is open to report it
  }
}

void PopGenetics::run_tajima_test(const settings& s) {
  const double n = whole_gene_copies();
  const int S = ProfileSettings::DataType == RFLP ? num_rflp_poly_sites : num_subst_sites;
  double D = 0.0;
  const bool defined = neutrality::tajima_d(n, mean_pair_diff, S, false, D);
  tajima_d = D;
  if (!defined) tajima_d_pvalue = -1.0;
  std::ostream& log = *_AOS_;
  log << "\nTajima's test of selective neutrality (" << name << ")\n"
      << "  Sample size                   : " << static_cast<long long>(n) << '\n'
      << "  S                             : " << S << '\n'
      << "  Pi                            : " << mean_pair_diff << '\n'
      << "  Tajima's D                    : " << tajima_d << '\n';
  if (!defined || s.NumSimulFuTest <= 0) {
    if (!defined) log << "  P-value                       : -1\n";
    return;
  }
  check_simulated_sample(n, "PopGenetics::run_tajima_test()");
  theta_S(n, S);
  const double theta = theta_s_value;
  CoalescentSimulator sim;
  const int rounds = s.NumSimulFuTest;
  int below = 0, below_zero = 0;
  double sum = 0.0, sum2 = 0.0;
  for (int r = 0; r < rounds; ++r) {
    sim.simulate(static_cast<int>(n), theta);
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

// A simulated sample whose Fs is undefined (a single haplotype, S' = 1) counts
// as +infinity and is left out of the mean and standard deviation of the
// simulated values. One beyond reach of the Ewens tails (many thousands of
// haplotypes among more than 20,000 genes) is left out of the proportions too.
void PopGenetics::run_fu_test(const settings& s) {
  const double copies = whole_gene_copies();
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
  check_simulated_sample(copies, "PopGenetics::run_fu_test()");
  const int n = static_cast<int>(copies);
  CoalescentSimulator sim;
  const int rounds = s.NumSimulFuTest;
  int below = 0, below_zero = 0, defined = 0, counted = 0;
  double sum = 0.0, sum2 = 0.0;
  for (int r = 0; r < rounds; ++r) {
    sim.simulate(n, theta_pi_value);
    double fs = 0.0;
    const FsOutcome outcome =
        compute_fs(n, sim.mean_pairwise_differences(), sim.num_haplotypes(), fs);
    if (outcome == FsOutcome::kOutOfReach) continue;
    ++counted;
    if (outcome == FsOutcome::kComputed) {
      ++defined;
      sum += fs;
      sum2 += fs * fs;
    } else {
      fs = std::numeric_limits<double>::infinity();
    }
    if (fs <= fu_fs) ++below;
    if (fs <= 0) ++below_zero;
  }
  const double share = counted > 0 ? 1.0 / counted : 0.0;
  fu_fs_pvalue = below * share;
  log << "  Simulations (theta(pi) = " << theta_pi_value << ") : " << rounds << '\n'
      << "  P(Fs simul. <= Fs obs.)       : " << fu_fs_pvalue << '\n'
      << "  P(Fs simul. <= 0)             : " << below_zero * share << '\n';
  write_simulated_summary(log, sum, sum2, defined);
}

// Pairwise comparisons of the populations of a structure: a two-population
// AMOVA per pair (pairwise FST), the mean numbers of pairwise differences
// between and within the two samples with their corrected difference, and for
// microsatellite data (delta mu)^2 (Goldstein et al. 1995). FST and the
// differences are tested by permuting gene copies between the two samples.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "betweenpop/amova.h"
#include "globals.h"
#include "model/population.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/random.h"

double delta_mu_squared(const std::vector<double>& mu_x, const std::vector<double>& mu_y) {
  const size_t loci = std::min(mu_x.size(), mu_y.size());
  double sum = 0.0;
  int used = 0;
  for (size_t l = 0; l < loci; ++l) {
    if (mu_x[l] == 0.0 || mu_y[l] == 0.0) continue;
    const double d = mu_x[l] - mu_y[l];
    sum += d * d;
    ++used;
  }
  return used > 0 ? sum / used : 0.0;
}

void Amova::fill_bipop_vector(int pop_i, int pop_j, std::vector<int>& v) const {
  const auto oi = observed_vector.begin() + pop_offset[static_cast<size_t>(pop_i)];
  const auto oj = observed_vector.begin() + pop_offset[static_cast<size_t>(pop_j)];
  v.assign(oi, oi + pop_n[static_cast<size_t>(pop_i)]);
  v.insert(v.end(), oj, oj + pop_n[static_cast<size_t>(pop_j)]);
}

namespace {

double draw() {
  int idum = 1;
  return ran3(&idum);
}

// Mean number of pairwise differences within a population of n copies.
double pi_within(double ssd_div_n, int np) { return np > 1 ? 2.0 * ssd_div_n / (np - 1) : 0.0; }

}  // namespace

void Amova::CalcPairDist() {
  amova_results local;
  amova_results& r = results != nullptr ? *results : local;
  const TriMat& d2 = distmat.tri;
  const bool differences = s.ComputePairwiseFST || s.PrintMissIntermatchs;
  const bool unknown_phase = genotypic && !phase_known;

  int m = s.NumPermutationsFST;
  if (m < 1) {
    m = 1;
    s.TestSignificancePairewiseFST = 0;
  } else {
    s.TestSignificancePairewiseFST = differences ? 1 : 0;
  }
  if (!(unknown_phase && s.RecessiveAllelesEM)) {
    int k = 0;
    permutation_batches(m, k, m);
  }

  r.num_pops = P;
  r.pair_FST.resize(P);
  r.pair_sigma2a.resize(P);
  r.pair_FST_p.resize(P);
  r.pair_dmusq.resize(P);
  r.pair_pi.resize(P, P);
  r.pair_pi_p.resize(P, P);
  r.pair_corr_p.resize(P, P);

  const int num_haps =
      sums != nullptr ? sums->num_haplotypes() : std::max(d2.size(), haplo_db.size());
  for (Population* p : observed_pops) {
    if (!p->CreatePermutationVectors(num_haps)) return;
  }

  // Within-population sums of the observed samples, once per population.
  std::vector<double> ssd(static_cast<size_t>(P), -1.0), ssd_div_n(static_cast<size_t>(P), -1.0),
      pi_x(static_cast<size_t>(P), -1.0);
  for (int p = 0; p < P; ++p) {
    const int np = pop_n[static_cast<size_t>(p)];
    set_observed_composition(p);
    ssd[static_cast<size_t>(p)] = within_sum(p);
    ssd_div_n[static_cast<size_t>(p)] = np > 0 ? ssd[static_cast<size_t>(p)] / np : 0.0;
    pi_x[static_cast<size_t>(p)] = pi_within(ssd_div_n[static_cast<size_t>(p)], np);
  }
  std::vector<std::vector<double>> mean_sizes;
  if (s.ComputeDeltaMuSqr) {
    for (const Population* p : observed_pops) mean_sizes.push_back(mean_allele_sizes_of(*p));
  }

  // Without a genetic structure there is no population to compare.
  if (pop_n.empty()) return;
  // The gene copies of a pair, shuffled by the tests (sized by the two largest
  // samples, within the bound that the set-up checked).
  std::vector<int> joint;
  if (s.TestSignificancePairewiseFST && observed_vector.size() != static_cast<size_t>(N))
    build_gene_copy_vectors(true);
  if (s.TestSignificancePairewiseFST)
    joint.reserve(2 * static_cast<size_t>(*std::max_element(pop_n.begin(), pop_n.end())) + 1);
  bool stopped = false;
  for (int i = 0; i < P && !stopped; ++i) {
    for (int j = i + 1; j < P; ++j) {
      const int ni = pop_n[static_cast<size_t>(i)];
      const int nj = pop_n[static_cast<size_t>(j)];
      if (differences) {
        set_observed_composition(i);
        set_observed_composition(j);
        const int N2 = ni + nj;
        const double f = N2 > 2 ? 1.0 / (N2 - 2) : 100000.0;
        const double nc =
            N2 > 0 ? N2 - (static_cast<double>(ni) * ni + static_cast<double>(nj) * nj) / N2 : 0.0;
        if (nc == 0.0) {
          E.error(Error, "Amova::CalcPairDist()", 72);
          stopped = true;
          break;
        }
        const double W = ssd_div_n[static_cast<size_t>(i)] + ssd_div_n[static_cast<size_t>(j)];
        const double B = between_sum(i, j);
        const double pi_xy = ni > 0 && nj > 0 ? B / (static_cast<double>(ni) * nj) : 0.0;
        const double s2w = W * f;
        const double s2a =
            (((ssd[static_cast<size_t>(i)] + ssd[static_cast<size_t>(j)] + B) / N2 - W) - s2w) / nc;
        const double fst = s2a + s2w > 0.0 ? s2a / (s2a + s2w) : s2a * 100000.0;
        const double corrected =
            pi_xy - (pi_x[static_cast<size_t>(i)] + pi_x[static_cast<size_t>(j)]) / 2.0;
        r.pair_FST.at(i, j) = fst;
        r.pair_sigma2a.at(i, j) = s2a;
        r.pair_pi(i, j) = pi_xy;
        r.pair_pi(i, i) = pi_x[static_cast<size_t>(i)];
        r.pair_pi(j, j) = pi_x[static_cast<size_t>(j)];
        r.pair_pi(j, i) = corrected;

        if (s.TestSignificancePairewiseFST) {
          fill_bipop_vector(i, j, joint);
          int hits_fst = 0, hits_pi = 0, hits_corr = 0;
          for (int t = 0; t < m; ++t) {
            if (!unknown_phase) {
              for (int u = N2 - 1; u >= ni + 1; --u) {
                const int v = static_cast<int>(u * draw());
                std::swap(joint[static_cast<size_t>(u)], joint[static_cast<size_t>(v)]);
              }
            } else {
              for (int u = N2 - 1; u >= ni + 2; u -= 2) {
                int v = static_cast<int>(u * draw());
                if (v % 2 == 0) ++v;
                if (v >= N2) v -= 2;
                std::swap(joint[static_cast<size_t>(u) - 1], joint[static_cast<size_t>(v) - 1]);
                std::swap(joint[static_cast<size_t>(u)], joint[static_cast<size_t>(v)]);
              }
            }
            double ssd_i = 0.0, ssd_j = 0.0, B2 = 0.0;
            if (sums == nullptr) {  // the matrix: straight to the populations' sums
              Population& a = *observed_pops[static_cast<size_t>(i)];
              Population& b = *observed_pops[static_cast<size_t>(j)];
              a.SetUpVectorsAfterPermutation(joint.data(), ni);
              b.SetUpVectorsAfterPermutation(joint.data() + ni, nj);
              ssd_i = a.ComputeSSDWP(d2);
              ssd_j = b.ComputeSSDWP(d2);
              B2 = a.ComputeSSDAP(b, d2);
            } else {
              recount(i, joint.data(), ni);
              recount(j, joint.data() + ni, nj);
              ssd_i = within_sum(i);
              ssd_j = within_sum(j);
              B2 = between_sum(i, j);
            }
            const double di = ni > 0 ? ssd_i / ni : 0.0;
            const double dj = nj > 0 ? ssd_j / nj : 0.0;
            const double W2 = di + dj;
            const double s2a2 = ((ssd_i + ssd_j + B2) / N2 - W2) / nc - W2 * f / nc;
            if (std::fabs(s2a2 - s2a) < small || s2a2 > s2a) ++hits_fst;
            const double pi_xy2 = ni > 0 && nj > 0 ? B2 / (static_cast<double>(ni) * nj) : 0.0;
            if (pi_xy2 >= pi_xy) ++hits_pi;
            const double corrected2 = pi_xy2 - (pi_within(di, ni) + pi_within(dj, nj)) / 2.0;
            if (corrected2 >= corrected) ++hits_corr;
          }
          r.pair_FST_p.at(i, j) = static_cast<double>(hits_fst) / m;
          r.pair_pi_p(i, j) = static_cast<double>(hits_pi) / m;
          r.pair_corr_p(i, j) = static_cast<double>(hits_corr) / m;
        }
      }
      if (s.ComputeDeltaMuSqr) {
        r.pair_dmusq.at(i, j) = delta_mu_squared(mean_sizes[static_cast<size_t>(i)],
                                                 mean_sizes[static_cast<size_t>(j)]);
      }
    }
  }
  // Back to the observed counts.
  for (int p = 0; p < P; ++p) set_observed_composition(p);
  if (stopped) return;
  r.pairwise_done = true;

  // Summary record: lower triangle row by row, (2,1), (3,1), (3,2), ...
  std::ostream& out = *_AOS_;
  if (differences) {
    SumStat.pairFST.Flush();
    SumStat.pairPI.Flush();
    out << "\n\nPopulation pairwise FSTs\n";
    for (int i = 0; i < P; ++i) {
      out << i + 1;
      for (int j = 0; j <= i; ++j) {
        out << '\t' << (j < i ? r.pair_FST(j, i) : 0.0);
        if (j < i && SumStat.PAIRWISE_FST) SumStat.pairFST.Add(r.pair_FST(j, i));
      }
      out << '\n';
    }
    out << "\nMean number of pairwise differences (PiXY above, PiX on, corrected below the "
           "diagonal)\n";
    for (int i = 0; i < P; ++i) {
      out << i + 1;
      for (int j = 0; j < P; ++j) {
        out << '\t' << r.pair_pi(i, j);
        if (j < i && SumStat.PAIRWISE_PI) SumStat.pairPI.Add(r.pair_pi(i, j));
      }
      out << '\n';
    }
    if (s.TestSignificancePairewiseFST) {
      out << "\nFST p-values (" << m << " permutations)\n";
      for (int i = 0; i < P; ++i) {
        out << i + 1;
        for (int j = 0; j < i; ++j) out << '\t' << r.pair_FST_p(j, i);
        out << '\n';
      }
    }
  }
  if (s.ComputeDeltaMuSqr) {
    SumStat.pairDMUSQ.Flush();
    out << "\n(delta mu)^2 distances\n";
    for (int i = 0; i < P; ++i) {
      out << i + 1;
      for (int j = 0; j < i; ++j) {
        out << '\t' << r.pair_dmusq(j, i);
        if (SumStat.PAIRWISE_DMUSQR) SumStat.pairDMUSQ.Add(r.pair_dmusq(j, i));
      }
      out << '\n';
    }
  }
}

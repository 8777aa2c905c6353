// Coalescent simulator of the infinite-site model (see coalescent.h).
#include "withinpop/coalescent.h"

#include <cmath>

#include "withinpop/random.h"

// Nodes 0..n-1 are the leaves; internal node n + i is made by the i-th
// coalescence, so every parent has a larger index than its children.
void CoalescentSimulator::simulate(int n, double theta) {
  n_ = n < 1 ? 1 : n;
  const int nodes = 2 * n_ - 1;
  parent_.assign(static_cast<size_t>(nodes), -1);
  time_.assign(static_cast<size_t>(nodes), 0.0);
  mutations_.assign(static_cast<size_t>(nodes), 0);
  leaves_below_.assign(static_cast<size_t>(nodes), 0);
  haplotype_class_.assign(static_cast<size_t>(nodes), 0);
  active_.resize(static_cast<size_t>(n_));
  for (int i = 0; i < n_; ++i) active_[static_cast<size_t>(i)] = i;

  int idum = 1;
  double t = 0.0;
  for (int k = n_, next = n_; k > 1; --k, ++next) {
    const double rate = k * (k - 1) / 2.0;
    t += -std::log(1.0 - ran3(&idum)) / rate;
    int a = static_cast<int>(k * ran3(&idum));
    if (a >= k) a = k - 1;
    int b = static_cast<int>((k - 1) * ran3(&idum));
    if (b >= k - 1) b = k - 2;
    if (b >= a) ++b;
    const int na = active_[static_cast<size_t>(a)], nb = active_[static_cast<size_t>(b)];
    parent_[static_cast<size_t>(na)] = parent_[static_cast<size_t>(nb)] = next;
    time_[static_cast<size_t>(next)] = t;
    // The new lineage takes the place of a; the last lineage fills b's place.
    active_[static_cast<size_t>(a)] = next;
    active_[static_cast<size_t>(b)] = active_[static_cast<size_t>(k - 1)];
  }

  num_mutations_ = 0;
  pair_diff_sum_ = 0.0;
  for (int i = 0; i < n_; ++i) leaves_below_[static_cast<size_t>(i)] = 1;
  for (int v = 0; v < nodes - 1; ++v) {
    const int p = parent_[static_cast<size_t>(v)];
    const double length = time_[static_cast<size_t>(p)] - time_[static_cast<size_t>(v)];
    const int m =
        theta > 0 ? static_cast<int>(poidev(static_cast<float>(theta * length / 2), &idum)) : 0;
    mutations_[static_cast<size_t>(v)] = m;
    num_mutations_ += m;
    const double d = leaves_below_[static_cast<size_t>(v)];
    pair_diff_sum_ += m * d * (n_ - d);
    leaves_below_[static_cast<size_t>(p)] += leaves_below_[static_cast<size_t>(v)];
  }

  // Two leaves carry the same haplotype exactly when no mutation lies on the
  // path between them: a node inherits its parent's class unless a mutation
  // sits on the branch above it.
  int classes = 1;
  haplotype_class_[static_cast<size_t>(nodes - 1)] = 0;
  for (int v = nodes - 2; v >= 0; --v) {
    haplotype_class_[static_cast<size_t>(v)] =
        mutations_[static_cast<size_t>(v)] == 0
            ? haplotype_class_[static_cast<size_t>(parent_[static_cast<size_t>(v)])]
            : classes++;
  }
  std::vector<char> seen(static_cast<size_t>(classes), 0);
  num_haplotypes_ = 0;
  for (int i = 0; i < n_; ++i) {
    char& s = seen[static_cast<size_t>(haplotype_class_[static_cast<size_t>(i)])];
    if (!s) {
      s = 1;
      ++num_haplotypes_;
    }
  }
}

double CoalescentSimulator::mean_pairwise_differences() const {
  if (n_ < 2) return 0.0;
  return pair_diff_sum_ / (n_ * (n_ - 1.0) / 2.0);
}

std::vector<std::string> CoalescentSimulator::sequences() const {
  std::vector<std::string> seqs(static_cast<size_t>(n_),
                                std::string(static_cast<size_t>(num_mutations_), '0'));
  int site = 0;
  const int nodes = 2 * n_ - 1;
  for (int v = 0; v < nodes - 1; ++v) {
    for (int m = 0; m < mutations_[static_cast<size_t>(v)]; ++m, ++site) {
      for (int leaf = 0; leaf < n_; ++leaf) {
        int u = leaf;
        while (u != -1 && u != v) u = parent_[static_cast<size_t>(u)];
        if (u == v) seqs[static_cast<size_t>(leaf)][static_cast<size_t>(site)] = '1';
      }
    }
  }
  return seqs;
}

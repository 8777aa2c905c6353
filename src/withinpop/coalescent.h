// Coalescent samples under the infinite-site model, for the simulated null
// distributions of the neutrality tests. A sample of n genes is drawn by
// Hudson's algorithm: while k lineages remain, the waiting time to the next
// coalescence is exponential with rate k(k-1)/2 (time in units of 2N
// generations), two lineages drawn at random join; then each branch of length t
// receives a Poisson number of mutations of mean theta * t / 2, each mutation a
// new segregating site. All random numbers come from ran3, so a seeded
// generator gives the same samples.
#ifndef QND_WITHINPOP_COALESCENT_H
#define QND_WITHINPOP_COALESCENT_H

#include <string>
#include <vector>

class CoalescentSimulator {
 public:
  // A genealogy of n genes takes 2n - 1 nodes of 24 bytes: up to this many
  // genes (about 200 MB) a sample can be simulated.
  static constexpr int kMaxGenes = 1 << 22;

  // Draws a new genealogy of n genes (n >= 1) with mutations at rate theta.
  void simulate(int n, double theta);

  int sample_size() const { return n_; }
  // Number of segregating sites S (every mutation is a new site).
  int segregating_sites() const { return num_mutations_; }
  // Mean number of pairwise differences pi.
  double mean_pairwise_differences() const;
  // Number of distinct haplotypes k.
  int num_haplotypes() const { return num_haplotypes_; }
  // The n sequences, one character per mutation: '1' for the derived state.
  std::vector<std::string> sequences() const;

 private:
  int n_ = 0;
  int num_mutations_ = 0;
  int num_haplotypes_ = 0;
  double pair_diff_sum_ = 0.0;        // sum over branches of m * d * (n - d)
  std::vector<int> parent_;           // node -> parent (the root has -1)
  std::vector<double> time_;          // node -> time of the node
  std::vector<int> mutations_;        // node -> mutations on the branch above it
  std::vector<int> leaves_below_;     // node -> leaves under it
  std::vector<int> haplotype_class_;  // node -> class shared by identical leaves
  std::vector<int> active_;           // lineages still to coalesce
};

#endif  // QND_WITHINPOP_COALESCENT_H

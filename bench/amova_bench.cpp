// AMOVA benchmark: P populations of 100 gene copies (about 40 distinct
// 1,000 bp haplotypes each, derived from group and population ancestors), two
// groups, 1,000 AMOVA permutations and 100 permutations per pairwise FST.
// The squared distances (numbers of differences) are computed once in the
// set-up; the timed part is the whole Amova call. Without permutations, the
// matrix against the sums from allele counts, distances included.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "betweenpop/amova.h"
#include "betweenpop/distances.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"

namespace {

struct Data {
  settings s;
  Haplo_DB list;
  DistMat distmat;
  Samples samples;
  Structure structure;
};

std::string mutate(std::string seq, int k, std::mt19937& rng) {
  static const char kBases[] = "ACGT";
  for (int i = 0; i < k; ++i) seq[rng() % seq.size()] = kBases[rng() % 4];
  return seq;
}

std::unique_ptr<Data> make_data(int num_pops) {
  auto d = std::make_unique<Data>();
  std::mt19937 rng(12345);
  const std::string root = mutate(std::string(1000, 'A'), 3000, rng);
  std::vector<std::string> seqs;
  for (int g = 0; g < 2; ++g) {
    d->structure.add_group();
    const std::string group_anc = mutate(root, 20, rng);
    for (int p = 0; p < num_pops / 2; ++p) {
      const std::string pop_anc = mutate(group_anc, 10, rng);
      auto pop = std::make_unique<Population>();
      std::vector<int> counts(40, 0);
      for (int c = 0; c < 100; ++c) ++counts[c < 40 ? c : rng() % 40];
      for (int h = 0; h < 40; ++h) {
        auto def = std::make_unique<HaploDef>(my_string("h" + std::to_string(seqs.size())));
        def->content = mutate(pop_anc, 5, rng);
        seqs.push_back(def->content);
        pop->haplotypes.Add(new PHaploDef(def.get(), counts[static_cast<size_t>(h)]));
        d->list.add(def.release());
      }
      d->structure.groups.back()->Add(pop.get());
      d->samples.pops.Add(pop.release());
    }
  }
  d->structure.NbGroups = 2;
  const int n = static_cast<int>(seqs.size());
  d->distmat.tri.resize(n);
  d->distmat.size = n;
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      int diff = 0;
      for (size_t k = 0; k < 1000; ++k) diff += seqs[i][k] != seqs[j][k];
      d->distmat.tri.at(i, j) = diff;
    }
  }
  d->s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  d->s.ComputePairwiseFST = 1;
  d->s.NumPermutationsAMOVA = 1000;
  d->s.NumPermutationsFST = 100;
  return d;
}

void BM_AmovaWithPairwise(benchmark::State& state) {
  auto d = make_data(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    amova_results r;
    Amova a(d->s, d->structure, d->samples, d->distmat, d->list, PopGenetics::globalAllelicDB,
            nullptr, 0, 0, &r);
    benchmark::DoNotOptimize(r.FST);
  }
}
BENCHMARK(BM_AmovaWithPairwise)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

// The values without permutations, distances included: the matrix of the
// number of differences computed by the program (state.range(1) = 0) or the
// sums from allele counts per site (1).
void BM_AmovaObserved(benchmark::State& state) {
  auto d = make_data(static_cast<int>(state.range(0)));
  d->s.NumPermutationsAMOVA = 0;
  d->s.NumPermutationsFST = 0;
  const TDataType saved = ProfileSettings::DataType;
  ProfileSettings::DataType = DNA;
  ProfileSettings profile;
  std::vector<int> copies(static_cast<size_t>(d->list.size()), 0);
  for (const Population* p : d->samples.pops) {
    for (const PHaploDef* e : p->haplotypes) {
      for (int i = 0; i < d->list.size(); ++i) {
        if (d->list[i] == e->hap) copies[static_cast<size_t>(i)] += e->count;
      }
    }
  }
  for (auto _ : state) {
    amova_results r;
    if (state.range(1) == 0) {
      DistMat dm;
      if (!calc_haplotype_dist_matrix(d->list, profile, copies, d->s, my_string(""), dm, 0, 0.0))
        state.SkipWithError("no matrix");
      Amova a(d->s, d->structure, d->samples, dm, d->list, PopGenetics::globalAllelicDB, nullptr, 0,
              0, &r);
    } else {
      const ListCountSums run = count_sums_over_list(d->list, profile, copies, d->s, 0);
      Amova a(d->s, d->structure, d->samples, d->distmat, d->list, PopGenetics::globalAllelicDB,
              nullptr, 0, 0, &r, run.sums.get());
    }
    benchmark::DoNotOptimize(r.FST);
  }
  ProfileSettings::DataType = saved;
}
BENCHMARK(BM_AmovaObserved)->Args({20, 0})->Args({20, 1})->Unit(benchmark::kMillisecond);

}  // namespace

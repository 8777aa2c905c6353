// Fu's Fs timings: the shared B matrix path (n = 1,000, k = 300, the matrix
// already grown, and with a cold rebuild); the Ewens tails gene by gene (tails
// of small samples, samples beyond the matrix, the slowest case up to 10^4
// genes) and split for huge samples; and the site pass over 10^5 sites of 500
// haplotypes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/neutrality.h"
#include "withinpop/random.h"

namespace {

void BM_FuFs_n1000_k300(benchmark::State& state) {
  PopGenetics p;
  p.sample_size = 1000;
  double fs = 0.0;
  (void)p.Fu_Fs(80.0, 300, fs, false);  // grows the shared matrix once
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.Fu_Fs(80.0, 300, fs, false));
    benchmark::DoNotOptimize(fs);
  }
}
BENCHMARK(BM_FuFs_n1000_k300)->Unit(benchmark::kMicrosecond);

void BM_BMatrixBuild_1010x310(benchmark::State& state) {
  BnumMat b;
  for (auto _ : state) benchmark::DoNotOptimize(b.re_allocate_matrix(1010, 310));
}
BENCHMARK(BM_BMatrixBuild_1010x310)->Unit(benchmark::kMicrosecond);

// Fs of n genes, k haplotypes and theta, computed afresh each time.
void fu_fs_case(benchmark::State& state, double n, int k, double theta) {
  PopGenetics p;
  p.sample_size = n;
  double fs = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.Fu_Fs(theta, k, fs, false));
    benchmark::DoNotOptimize(fs);
  }
}
BENCHMARK_CAPTURE(fu_fs_case, tail_n19_k19, 19, 19, 36.0 / 19)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fu_fs_case, tail_n1000_k500, 1000, 500, 10.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fu_fs_case, tail_n1000_k100, 1000, 100, 10.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fu_fs_case, n6000_k1200, 6000, 1200, 100.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fu_fs_case, n10000_k6931_theta10000, 10000, 6931, 10000.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fu_fs_case, n1e9_k5, 1e9, 5, 1e-8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fu_fs_case, n1e9_k1000, 1e9, 1000, 50.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fu_fs_case, n1e9_k2000_theta10000, 1e9, 2000, 10000.0)
    ->Unit(benchmark::kMillisecond);

void BM_DnaSites_1e5x500(benchmark::State& state) {
  std::vector<std::unique_ptr<HaploDef>> defs;
  PopulDNA pop;
  int seed = -7;
  ran3(&seed);
  int idum = 1;
  const std::string base(100000, 'A');
  for (int h = 0; h < 500; ++h) {
    defs.push_back(std::make_unique<HaploDef>());
    defs.back()->content = base;
    for (int m = 0; m < 20; ++m)
      defs.back()->content[static_cast<size_t>(ran3(&idum) * 100000)] = 'G';
    pop.haplotypes.Add(new PHaploDef(defs.back().get(), 1));
    pop.sample_size += 1;
  }
  settings s;
  for (auto _ : state) {
    pop.compare_DNA_sequences(s);
    benchmark::DoNotOptimize(pop.num_subst_sites);
  }
}
BENCHMARK(BM_DnaSites_1e5x500)->Unit(benchmark::kMillisecond);

}  // namespace

// Distance matrix over 500 distinct DNA sequences. The data are generated here:
// a random ancestor, a chosen fraction of variable (biallelic) sites, and each
// haplotype carrying the alternative base at a variable site with a
// site-specific frequency. The matrix should cost in proportion to the
// variable sites, not to the sequence length: compare 100,000 bp with 1% and
// 10% variable sites, and 10,000 bp with 10% (the same 1,000 variable sites as
// the first case).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"
#include "settings/settings.h"

namespace {

struct DnaData {
  std::vector<std::unique_ptr<HaploDef>> defs;
  std::unique_ptr<PopulDNA> pop;
};

std::unique_ptr<DnaData> make_data(int n, size_t len, double variable_fraction, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const char bases[] = "ACGT";
  std::string ancestor(len, 'A');
  for (char& c : ancestor) c = bases[gen() % 4];
  std::vector<size_t> sites;
  std::vector<char> alternative;
  std::vector<double> freq;
  for (size_t k = 0; k < len; ++k) {
    if (u(gen) < variable_fraction) {
      sites.push_back(k);
      char alt = bases[gen() % 4];
      while (alt == ancestor[k]) alt = bases[gen() % 4];
      alternative.push_back(alt);
      freq.push_back(0.02 + 0.48 * u(gen));
    }
  }
  auto data = std::make_unique<DnaData>();
  data->pop = std::make_unique<PopulDNA>();
  for (int h = 0; h < n; ++h) {
    auto def = std::make_unique<HaploDef>(my_string(("h" + std::to_string(h)).c_str()));
    def->content = ancestor;
    for (size_t t = 0; t < sites.size(); ++t) {
      if (u(gen) < freq[t]) def->content[sites[t]] = alternative[t];
    }
    data->pop->haplotypes.Add(new PHaploDef(def.get(), 1));
    data->pop->sample_size += 1;
    data->defs.push_back(std::move(def));
  }
  return data;
}

// state.range(0): sequence length; state.range(1): variable sites per 1,000.
void BM_DnaDistanceMatrix(benchmark::State& state) {
  ProfileSettings::DataType = DNA;
  const size_t len = static_cast<size_t>(state.range(0));
  const double fraction = static_cast<double>(state.range(1)) / 1000.0;
  const std::unique_ptr<DnaData> data = make_data(500, len, fraction, 42);
  PopulDNA& pop = *data->pop;
  settings s;
  pop.dist_method = static_cast<int>(state.range(2));
  pop.allowed_missing = 0.05;
  pop.evaluate_usable_mask();
  for (auto _ : state) {
    const int ok = pop.compute_distance_matrix(nullptr, s, true);
    benchmark::DoNotOptimize(ok);
    if (!ok) state.SkipWithError("matrix failed");
  }
  state.counters["pairs"] = 500.0 * 499.0 / 2.0;
  state.counters["sites"] = static_cast<double>(len);
  state.counters["largest"] = pop.largest_distance;
}

BENCHMARK(BM_DnaDistanceMatrix)
    ->ArgNames({"length", "var_permille", "method"})
    ->Args({100000, 10, 2})
    ->Args({100000, 100, 2})
    ->Args({10000, 100, 2})
    ->Args({100000, 10, 0})
    ->Args({100000, 100, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

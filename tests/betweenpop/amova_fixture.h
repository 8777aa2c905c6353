// Test helper: small AMOVA inputs built by hand. Haplotypes are named by one
// letter; their squared distances are given directly as an explicit TriMat, so
// the tests do not depend on the distance code.
#ifndef QND_TESTS_BETWEENPOP_AMOVA_FIXTURE_H
#define QND_TESTS_BETWEENPOP_AMOVA_FIXTURE_H

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "betweenpop/amova.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/matrices.h"
#include "model/population.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace qnd_amova_test {

class AmovaInput {
 public:
  // Haplotypes named by the characters of names, in matrix order.
  explicit AmovaInput(const std::string& haplotype_names) : names(haplotype_names) {
    for (char c : names) {
      auto h = std::make_unique<HaploDef>(my_string(std::string(1, c)));
      h->content = std::string(1, c);
      by_name[c] = h.get();
      list.add(h.release());
    }
    distmat.tri.resize(static_cast<int>(names.size()));
    distmat.size = static_cast<int>(names.size());
    s.TaskNumber = kTaskAmova;
    s.NumPermutationsAMOVA = s.NumPermutationsFST = 0;
  }

  void set_d2(char a, char b, double value) {
    distmat.tri.at(static_cast<int>(names.find(a)), static_cast<int>(names.find(b))) = value;
  }

  // Appends a new group.
  void group() {
    structure.add_group();
    ++structure.NbGroups;
  }

  // A haploid sample in the last group: {haplotype, count} entries.
  Population& haploid(const std::vector<std::pair<char, int>>& entries) {
    Population& p = new_pop();
    for (const auto& [c, n] : entries) p.haplotypes.Add(new PHaploDef(by_name.at(c), n));
    return p;
  }

  // A diploid sample in the last group: each string of two letters is an
  // individual (its two gene copies). Like individuals in a row share one pair
  // of entries with their count, as the gene-copy conversion lists them.
  Population& diploid(const std::vector<std::string>& individuals) {
    Population& p = new_pop();
    p.profile.GenotypicData = 1;
    std::map<HaploDef*, PHaploDef*> entry;
    for (size_t i = 0; i < individuals.size(); ++i) {
      const std::string& ind = individuals[i];
      const bool repeated = i > 0 && ind == individuals[i - 1];
      for (int k = 0; k < 2; ++k) {
        HaploDef* h = by_name.at(ind[static_cast<size_t>(k)]);
        if (repeated) ++p.gametes[p.gametes.size() - 2 + k]->count;
        if (!repeated) p.gametes.Add(new PHaploDef(h, 1));
        if (entry.count(h) == 0) {
          entry[h] = new PHaploDef(h, 0);
          p.haplotypes.Add(entry[h]);
        }
        ++entry[h]->count;
      }
    }
    p.gametes_built = 1;
    return p;
  }

  void genotypic(bool phase_known) {
    samples.profile.GenotypicData = 1;
    samples.profile.GameticPhase = phase_known ? 1 : 0;
    for (Population* p : samples.pops) {
      p->profile.GenotypicData = 1;
      p->profile.GameticPhase = phase_known ? 1 : 0;
    }
  }

  std::unique_ptr<Amova> run() {
    results = amova_results();
    return std::make_unique<Amova>(s, structure, samples, distmat, list,
                                   PopGenetics::globalAllelicDB, nullptr, 0, 0, &results);
  }

  std::string names;
  settings s;
  Haplo_DB list;
  std::map<char, HaploDef*> by_name;
  DistMat distmat;
  Samples samples;
  Structure structure;
  amova_results results;

 private:
  Population& new_pop() {
    auto p = std::make_unique<Population>();
    p->name = my_string("pop" + std::to_string(samples.size() + 1));
    if (structure.groups.empty()) group();
    structure.groups.back()->Add(p.get());
    ++structure.NbSamples;
    samples.pops.Add(p.get());
    return *p.release();
  }
};

// Resets the global summary record's F-statistic fields and flags for a test.
class SumStatScope {
 public:
  explicit SumStatScope(bool global_fstat) {
    SumStat.GLOBAL_FSTAT = global_fstat;
    SumStat.hasFIS = SumStat.hasFST = SumStat.hasFCT = SumStat.hasFSC = SumStat.hasFIT = false;
    SumStat.FIS = SumStat.FST = SumStat.FCT = SumStat.FSC = SumStat.FIT = 0.0;
  }
  ~SumStatScope() {
    SumStat.GLOBAL_FSTAT = SumStat.PAIRWISE_FST = SumStat.PAIRWISE_PI = SumStat.PAIRWISE_DMUSQR =
        false;
    SumStat.hasFIS = SumStat.hasFST = SumStat.hasFCT = SumStat.hasFSC = SumStat.hasFIT = false;
    SumStat.pairFST.Flush();
    SumStat.pairPI.Flush();
    SumStat.pairDMUSQ.Flush();
  }
};

}  // namespace qnd_amova_test

#endif  // QND_TESTS_BETWEENPOP_AMOVA_FIXTURE_H

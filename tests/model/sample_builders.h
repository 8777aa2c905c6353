// Small builders for model tests: haplotype lists, haplotypic and genotypic samples.
#ifndef QND_TESTS_MODEL_SAMPLE_BUILDERS_H
#define QND_TESTS_MODEL_SAMPLE_BUILDERS_H

#include <string>
#include <utility>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"

namespace test_model {

// Appends a haplotype (identifier, content) to the list and returns it.
inline HaploDef* add_haplotype(Haplo_DB& list, const std::string& id, const std::string& content,
                               int total = 0) {
  auto* h = new HaploDef(my_string(id.c_str()));
  h->content = content;
  h->total = total;
  h->number = list.size() + 1;
  list.add(h);
  return h;
}

// A haplotypic sample holding the given (haplotype, count) entries; its line count
// and sample size follow from them.
inline Population haplotypic_sample(const std::string& name,
                                    const std::vector<std::pair<HaploDef*, int>>& entries) {
  Population p;
  p.name = my_string(name.c_str());
  for (const auto& [h, c] : entries) {
    p.haplotypes.Add(new PHaploDef(h, c));
    p.sample_size += c;
  }
  p.line_count = p.num_haplotypes();
  p.inverse_size = p.sample_size > 0 ? 1.0 / p.sample_size : 1.0;
  return p;
}

struct Individual {
  std::string copy1, copy2;
  double count;
};

// A genotypic sample holding the given individuals.
inline Population genotypic_sample(const std::string& name,
                                   const std::vector<Individual>& individuals) {
  Population p;
  p.name = my_string(name.c_str());
  p.profile.GenotypicData = 1;
  for (const Individual& ind : individuals) {
    auto* t = new TPhenotype;
    t->copy1 = ind.copy1;
    t->copy2 = ind.copy2;
    t->count = ind.count;
    p.individuals.Add(t);
    p.sample_size += ind.count;
  }
  p.line_count = 2 * p.num_individuals();
  return p;
}

// Haplotype names of a sample's entries, in order, with their counts.
inline std::vector<std::pair<std::string, int>> entries_of(const Population& p) {
  std::vector<std::pair<std::string, int>> out;
  for (const PHaploDef* e : p.haplotypes) out.emplace_back(e->hap->name.str(), e->count);
  return out;
}

// Restores the class-wide data type and locus separator that a test changes.
class ProfileGlobalsGuard {
 public:
  ProfileGlobalsGuard()
      : type_(ProfileSettings::DataType), separator_(ProfileSettings::LocusSeparator) {}
  ~ProfileGlobalsGuard() {
    ProfileSettings::DataType = type_;
    ProfileSettings::LocusSeparator = separator_;
  }
  ProfileGlobalsGuard(const ProfileGlobalsGuard&) = delete;
  ProfileGlobalsGuard& operator=(const ProfileGlobalsGuard&) = delete;

 private:
  TDataType type_;
  char separator_;
};

}  // namespace test_model

#endif  // QND_TESTS_MODEL_SAMPLE_BUILDERS_H

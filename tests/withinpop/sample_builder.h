// Test helper: builds samples of any data type in memory. Haplotypes belong to a
// Haplo_DB kept by the builder; the class-wide data type and locus separator and
// the process-wide allele database are set for the test and restored after it.
#ifndef QND_TESTS_WITHINPOP_SAMPLE_BUILDER_H
#define QND_TESTS_WITHINPOP_SAMPLE_BUILDER_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"

// The data type named as in a project file.
inline TDataType type_named(const std::string& n) {
  return n == "DNA"         ? DNA
         : n == "RFLP"      ? RFLP
         : n == "MICROSAT"  ? MICROSAT
         : n == "FREQUENCY" ? FREQUENCY
                            : STANDARD;
}

class SampleBuilder {
 public:
  SampleBuilder(TDataType type, char separator = ' ')
      : saved_type_(ProfileSettings::DataType), saved_sep_(ProfileSettings::LocusSeparator) {
    ProfileSettings::DataType = type;
    ProfileSettings::LocusSeparator = separator;
    PopGenetics::globalAllelicDB.destroy();
    PopGenetics::pass_sites_restricted = false;
    PopGenetics::pass_variable_sites.clear();
  }
  ~SampleBuilder() {
    ProfileSettings::DataType = saved_type_;
    ProfileSettings::LocusSeparator = saved_sep_;
    PopGenetics::globalAllelicDB.destroy();
    PopGenetics::pass_sites_restricted = false;
    PopGenetics::pass_variable_sites.clear();
  }
  SampleBuilder(const SampleBuilder&) = delete;
  SampleBuilder& operator=(const SampleBuilder&) = delete;

  // The project haplotype of that content (created once).
  HaploDef* haplotype(const std::string& content) {
    if (HaploDef* h = db_.find(content)) return h;
    auto* h = new HaploDef(my_string(("h" + std::to_string(db_.size())).c_str()));
    h->content = content;
    db_.add(h);
    return h;
  }

  // Adds a haplotype with copies to the sample.
  void add(PopGenetics& pop, const std::string& content, int copies) {
    pop.haplotypes.Add(new PHaploDef(haplotype(content), copies));
    pop.sample_size += copies;
  }

  // A new sample of the data type's class.
  static std::unique_ptr<Population> new_sample(TDataType t) {
    if (t == DNA) return std::make_unique<PopulDNA>();
    if (t == RFLP) return std::make_unique<PopulRFLP>();
    if (t == MICROSAT) return std::make_unique<PopulMicrosat>();
    return std::make_unique<PopulStandard>();
  }

  // A sample of the current data type from "copies*content" entries (copies 1
  // when no '*'; '_' stands for a blank). Declare it after the builder.
  std::unique_ptr<Population> sample(const std::vector<std::string>& entries) {
    auto pop = new_sample(ProfileSettings::DataType);
    for (std::string e : entries) {
      for (char& c : e) c = c == '_' ? ' ' : c;
      const size_t star = e.find('*');
      add(*pop, star == std::string::npos ? e : e.substr(star + 1),
          star == std::string::npos ? 1 : std::stoi(e.substr(0, star)));
    }
    return pop;
  }

  // Adds w identical diploid individuals to the sample.
  static void add_individual(PopGenetics& pop, const std::string& copy1, const std::string& copy2,
                             double w = 1.0) {
    auto* t = new TPhenotype;
    t->copy1 = copy1;
    t->copy2 = copy2;
    t->count = w;
    pop.individuals.Add(t);
    pop.sample_size += w;
  }

 private:
  TDataType saved_type_;
  char saved_sep_;
  Haplo_DB db_;
};

#endif  // QND_TESTS_WITHINPOP_SAMPLE_BUILDER_H

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
    set(type, separator);
  }
  ~SampleBuilder() { set(saved_type_, saved_sep_); }
  SampleBuilder(const SampleBuilder&) = delete;
  SampleBuilder& operator=(const SampleBuilder&) = delete;

  // Adds a haplotype with copies to the sample; one project haplotype per content.
  void add(PopGenetics& pop, const std::string& content, int copies) {
    HaploDef* h = db_.find(content);
    if (!h) db_.add(h = new HaploDef(my_string(("h" + std::to_string(db_.size())).c_str())));
    h->content = content;
    pop.haplotypes.Add(new PHaploDef(h, copies));
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

 private:
  // Sets the data type and separator; clears the allele database and the pass sites.
  static void set(TDataType type, char separator) {
    ProfileSettings::DataType = type;
    ProfileSettings::LocusSeparator = separator;
    PopGenetics::globalAllelicDB.destroy();
    PopGenetics::pass_sites_restricted = false;
    PopGenetics::pass_variable_sites.clear();
  }
  TDataType saved_type_;
  char saved_sep_;
  Haplo_DB db_;
};

#endif  // QND_TESTS_WITHINPOP_SAMPLE_BUILDER_H

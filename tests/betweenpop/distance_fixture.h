// Test helpers for the distance tests: samples built from literal haplotype
// contents, and a guard that restores the class-wide data type and separator.
#ifndef QND_TESTS_BETWEENPOP_DISTANCE_FIXTURE_H
#define QND_TESTS_BETWEENPOP_DISTANCE_FIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"
#include "project/log_capture.h"

// Sets the class-wide data type and separator for one test and puts them back after.
struct DataTypeGuard : qnd_project_test::DataTypeScope {
  explicit DataTypeGuard(TDataType type, char separator = ' ') : DataTypeScope(type, separator) {}
};

// A sample of the given class holding one haplotype per content (copies 1
// unless given). The haplotype definitions live as long as the sample.
template <class Pop>
class SampleOf {
 public:
  explicit SampleOf(const std::vector<std::string>& contents, const std::vector<int>& counts = {}) {
    for (size_t i = 0; i < contents.size(); ++i) {
      auto def = std::make_unique<HaploDef>(my_string(("h" + std::to_string(i)).c_str()));
      def->content = contents[i];
      const int count = i < counts.size() ? counts[i] : 1;
      pop.haplotypes.Add(new PHaploDef(def.get(), count));
      pop.sample_size += count;
      defs.push_back(std::move(def));
    }
  }
  std::vector<std::unique_ptr<HaploDef>> defs;  // declared first: outlives pop
  Pop pop;
};

#endif  // QND_TESTS_BETWEENPOP_DISTANCE_FIXTURE_H

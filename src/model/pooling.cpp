// Pooling samples into groups (group-level statistics) and the merge of one sample
// into another that it is built on.
#include "model/pooling.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "model/population.h"
#include "model/project.h"

namespace {

// Below this many (existing x incoming) comparisons a plain scan is cheapest; above
// it a content index keeps large merges (thousands of simulated haplotypes) linear.
constexpr long kLinearScanWork = 256;

// What makes two haplotypes of different samples the same in a pooled sample:
// their allelic content. Frequency data carry no content, only identifiers
// (unique in the project's haplotype list), so they are told apart by name;
// by content they would all fall into one entry.
std::string_view merge_key(const HaploDef& h) {
  if (ProfileSettings::DataType == FREQUENCY) return h.name.view();
  return h.content;
}

// Adds each incoming entry's count to the first entry of `entries` whose haplotype
// has the same merge key, or appends a new entry for it.
void merge_entries_by_content(MY_TIArrayAsVector<PHaploDef>& entries,
                              const MY_TIArrayAsVector<PHaploDef>& incoming) {
  const int n_incoming = incoming.size();  // fixed first: `incoming` may be `entries`
  const long work = static_cast<long>(entries.size()) * n_incoming;
  if (work <= kLinearScanWork) {
    for (int i = 0; i < n_incoming; ++i) {
      const PHaploDef* e = incoming[i];
      PHaploDef* match = nullptr;
      for (PHaploDef* mine : entries) {
        if (merge_key(*mine->hap) == merge_key(*e->hap)) {
          match = mine;
          break;
        }
      }
      if (match != nullptr) {
        match->add_copies(e->count);
      } else {
        entries.Add(new PHaploDef(e->hap, e->count));
      }
    }
    return;
  }
  // Same result as the scan: emplace keeps the first entry of each content.
  std::unordered_map<std::string_view, PHaploDef*> by_content;
  by_content.reserve(static_cast<size_t>(entries.size() + n_incoming));
  for (PHaploDef* mine : entries) by_content.emplace(merge_key(*mine->hap), mine);
  for (int i = 0; i < n_incoming; ++i) {
    const PHaploDef* e = incoming[i];
    auto [it, inserted] = by_content.emplace(merge_key(*e->hap), nullptr);
    if (inserted) {
      it->second = new PHaploDef(e->hap, e->count);
      entries.Add(it->second);
    } else {
      it->second->add_copies(e->count);
    }
  }
}

}  // namespace

Population& Population::operator+=(const Population& other) {
  if (other.num_individuals() == 0) {
    merge_entries_by_content(haplotypes, other.haplotypes);
    line_count = num_haplotypes();
  } else {
    const int n = other.num_individuals();  // fixed first: `other` may be this sample
    for (int i = 0; i < n; ++i) individuals.Add(new TPhenotype(*other.individuals[i]));
  }
  sample_size += other.sample_size;
  inverse_size = sample_size == 0.0 ? 0.0 : 1.0 / sample_size;
  allele_db = other.allele_db;
  estimated_haplotypes = other.estimated_haplotypes;
  recessive_data = other.recessive_data;
  return *this;
}

namespace pooling {

bool pool_samples_in_groups(const Samples& source, const Structure& structure, Samples& pooled,
                            Structure& flat, ProfileSettings& project_profile, Haplo_DB& list,
                            settings* s) {
  // One group, room for 11 samples, growing by 10, not owning the samples.
  flat.groups.clear();
  flat.group_sizes.clear();
  flat.add_group();

  const int num_groups = structure.NbGroups;
  const int first = pooled.size();
  for (int g = 1; g <= num_groups; ++g) {
    Population empty;
    empty.profile = source.profile;
    empty.name = my_string(("Group" + std::to_string(g)).c_str());
    empty.index = g - 1;
    pooled.pops.Add(make_population_for_type(ProfileSettings::DataType, empty));
  }
  for (int g = 1; g <= num_groups; ++g) {
    if (static_cast<size_t>(g - 1) >= structure.groups.size()) break;
    Population& group_sample = *pooled[first + g - 1];
    for (const Population* member : *structure.groups[static_cast<size_t>(g - 1)]) {
      if (member != nullptr) group_sample += *member;
    }
  }

  bool converted = false;
  if (project_profile.GenotypicData != 0) {
    pooled.phen_to_gam(&list, &project_profile, s);
    converted = true;
  }

  for (int g = 1; g <= num_groups; ++g) flat.groups[0]->Add(pooled[first + g - 1]);
  flat.NbGroups = 1;
  flat.name = "Pooled flat structure";
  flat.NbSamples = num_groups;
  flat.group_sizes[0] = num_groups;
  return converted;
}

}  // namespace pooling

void Project::poolSamplesInGroups(const Samples& source, const Structure& groups, Samples& pooled,
                                  Structure& flat) {
  if (pooling::pool_samples_in_groups(source, groups, pooled, flat, profile, haplotypes, &s)) {
    phenotypes_processed = true;
  }
}

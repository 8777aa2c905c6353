// Merging haplotype definitions with identical allelic content, in the project's
// haplotype list and in every sample that refers to them.
#include "model/redundant_haplotypes.h"

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/project.h"
#include "text/byte_table.h"

namespace {

using SurvivorMap = std::unordered_map<const HaploDef*, HaploDef*>;

// Rebuilds `entries` with only the entries that `keep` accepts, in order, in one
// pass; the others are deleted when the array owns them.
template <class Keep>
void compact_entries(MY_TIArrayAsVector<PHaploDef>& entries, Keep keep) {
  std::vector<PHaploDef*> kept;
  std::vector<PHaploDef*> dropped;
  kept.reserve(static_cast<size_t>(entries.size()));
  for (PHaploDef* e : entries) (keep(e) ? kept : dropped).push_back(e);
  if (dropped.empty()) return;
  const int owns = entries.OwnsElements();
  entries.OwnsElements(0);
  entries.Flush();
  entries.Reserve(static_cast<int>(kept.size()));
  for (PHaploDef* e : kept) entries.Add(e);
  entries.OwnsElements(owns);
  if (owns) {
    for (PHaploDef* e : dropped) delete e;
  }
}

// Points the sample's entries at the kept haplotypes and folds entries that now
// name the same haplotype into the first of them.
void remap_sample(Population& p, const SurvivorMap& survivor_of) {
  auto redirect = [&](PHaploDef* e) {
    auto s = survivor_of.find(e->hap);
    if (s != survivor_of.end()) e->hap = s->second;
  };
  std::unordered_map<const HaploDef*, PHaploDef*> entry_of;
  entry_of.reserve(static_cast<size_t>(p.num_haplotypes()));
  compact_entries(p.haplotypes, [&](PHaploDef* e) {
    redirect(e);
    auto [it, inserted] = entry_of.emplace(e->hap, e);
    if (inserted) return true;
    it->second->add_copies(e->count);
    return false;
  });
  // Gene copies of individuals stay one entry each: only their haplotype changes.
  for (PHaploDef* e : p.gametes) redirect(e);
  // Haplotypic data, or genotypic data already turned into gene copies: one line
  // per distinct haplotype.
  if (p.num_individuals() == 0 || p.gametes_built != 0) p.line_count = p.num_haplotypes();
}

}  // namespace

// Defined with the merge, its only user, so that removal and the index rebuild stay
// one linear pass however many duplicates there are.
int Haplo_DB::remove_haplotypes(const std::vector<bool>& doomed) {
  std::vector<HaploDef*> kept;
  std::vector<HaploDef*> gone;
  kept.reserve(static_cast<size_t>(size()));
  for (int i = 0; i < size(); ++i) {
    const bool drop = static_cast<size_t>(i) < doomed.size() && doomed[static_cast<size_t>(i)];
    (drop ? gone : kept).push_back(haplotypes[i]);
  }
  if (gone.empty()) return 0;
  const int owns = haplotypes.OwnsElements();
  haplotypes.OwnsElements(0);
  haplotypes.Flush();
  haplotypes.Reserve(static_cast<int>(kept.size()));
  for (HaploDef* h : kept) haplotypes.Add(h);
  haplotypes.OwnsElements(owns);
  if (owns) {
    for (HaploDef* h : gone) delete h;
  }
  by_name_.clear();
  for (HaploDef* h : kept) by_name_.emplace(h->name.str(), h);
  by_content_.clear();
  content_index_valid_ = false;
  return static_cast<int>(gone.size());
}

namespace redundant_haplotypes {

int merge_identical_haplotypes(Haplo_DB& list, Samples& samples) {
  const int n = list.size();
  std::unordered_map<std::string_view, HaploDef*, qnd_text::TextHash> first_with;
  first_with.reserve(static_cast<size_t>(n));
  SurvivorMap survivor_of;
  std::vector<bool> doomed(static_cast<size_t>(n), false);
  for (int i = 0; i < n; ++i) {
    HaploDef* h = list[i];
    if (h->content.empty()) continue;
    auto [it, inserted] = first_with.emplace(h->content, h);
    if (inserted) continue;
    it->second->total += h->total;
    survivor_of.emplace(h, it->second);
    doomed[static_cast<size_t>(i)] = true;
  }
  if (survivor_of.empty()) return 0;
  for (Population* p : samples.pops) remap_sample(*p, survivor_of);
  return list.remove_haplotypes(doomed);
}

}  // namespace redundant_haplotypes

void Project::eliminate_redond_haplodef() {
  // Runs while reading's samples are the only ones referring to the list (pooled
  // samples are made later, from the merged list).
  redundant_haplotypes::merge_identical_haplotypes(haplotypes, samples);
}

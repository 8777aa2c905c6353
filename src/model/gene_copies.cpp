// Gene copies from genotypic data: every diploid individual becomes its two gene
// copies ("pseudo-haplotypes"), each distinct copy is entered once into the
// project's haplotype list, and the sample gets haplotype entries with counts as
// if it had been read as haplotypic data. Used by the run preparation on the
// project's samples and by the pooling of samples into groups.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/samples.h"
#include "settings/settings.h"

namespace {

// True when the content holds two locus separators in a row (content read
// through the line rules never does when the separator is a blank).
bool has_separator_run(const std::string& content, char separator) {
  // Bytes and a byte-wide flag, so that the compiler compares many at once.
  const auto* p = reinterpret_cast<const unsigned char*>(content.data());
  const auto s = static_cast<unsigned char>(separator);
  unsigned char run = 0;
  for (size_t i = 1; i < content.size(); ++i)
    run |= static_cast<unsigned char>((p[i] == s) & (p[i - 1] == s));
  return run != 0;
}

// The lookup key of a gene copy: runs of consecutive locus separators count as one.
std::string collapse_separators(const std::string& content, char separator) {
  std::string key;
  key.reserve(content.size());
  for (char ch : content) {
    if (ch == separator && !key.empty() && key.back() == separator) continue;
    key.push_back(ch);
  }
  return key;
}

// The number of whole individuals an individual's count stands for.
int whole_count(double count) {
  // Counts are validated by the readers; anything unusable here contributes no copy
  // rather than overflowing the conversion.
  if (!std::isfinite(count) || count <= 0.0) return 0;
  if (count >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(count);
}

// The haplotype whose content equals the gene copy's key; a new one ("h" + N) is
// appended to the list when the key is new. Either way c copies are added to its total.
HaploDef* enter_gene_copy(Haplo_DB& list, const std::string& copy, int c, int& running_number) {
  const char separator = ProfileSettings::LocusSeparator;
  std::string collapsed;
  const bool collapse = separator != '\0' && has_separator_run(copy, separator);
  if (collapse) collapsed = collapse_separators(copy, separator);
  const std::string& key = collapse ? collapsed : copy;
  if (HaploDef* h = list.find(key)) {
    h->total += c;
    return h;
  }
  ++running_number;
  char name[24] = "h";
  const auto end = std::to_chars(name + 1, name + sizeof name, running_number).ptr;
  auto h = std::make_unique<HaploDef>(my_string(std::string_view(name, static_cast<size_t>(end - name))));
  h->number = running_number;
  h->content = key;
  h->total = c;
  if (list.add(h.get()) == 0) return nullptr;  // out of memory: the list emptied itself
  return h.release();
}

}  // namespace

void Population::phen_to_gam(Haplo_DB* list, ProfileSettings* /*profile*/, settings* s) {
  const int n = num_individuals();
  haplotypes.Flush();
  haplotypes.Reserve(2 * n + 1);
  // The per-copy list is derived from the individuals too: a second conversion of
  // the same sample must not list every gene copy twice.
  gametes.Flush();
  if (list == nullptr) return;

  const bool per_copy_list = s != nullptr && (s->TaskNumber & (kTaskAmova | kTaskPairwiseFst)) != 0;
  int running_number = list->size();
  // Entry of each haplotype in this sample (the same object, not the same content).
  std::unordered_map<const HaploDef*, PHaploDef*> entry_of;
  entry_of.reserve(static_cast<size_t>(2 * n + 1));
  auto add_to_entry = [&](HaploDef* h, int c) {
    auto [it, inserted] = entry_of.emplace(h, nullptr);
    if (inserted) {
      it->second = new PHaploDef(h, c);
      haplotypes.Add(it->second);
    } else {
      it->second->add_copies(c);
    }
  };

  for (const TPhenotype* ind : individuals) {
    const int c = whole_count(ind->count);
    HaploDef* first = enter_gene_copy(*list, ind->copy1, c, running_number);
    HaploDef* second = enter_gene_copy(*list, ind->copy2, c, running_number);
    if (first == nullptr || second == nullptr) break;  // out of memory: list emptied
    // One adjacent pair per individual, with the individual's count: c copies
    // of a pair are expanded only by the analyses that need one entry per
    // gene copy (the permutation tests), which check their size first.
    if (per_copy_list && c > 0) {
      gametes.Add(new PHaploDef(first, c));
      gametes.Add(new PHaploDef(second, c));
    }
    add_to_entry(first, c);
    add_to_entry(second, c);
  }
  line_count = num_haplotypes();
  gametes_built = 1;
}

void Samples::phen_to_gam(Haplo_DB* list, ProfileSettings* prof, settings* s) {
  // Room for every gene copy at once: growing the list's indexes sample by
  // sample would rehash them each time.
  if (list != nullptr) {
    long long copies = list->size();
    for (const Population* p : pops) copies += 2LL * p->num_individuals();
    list->reserve(static_cast<int>(std::min<long long>(copies, INT_MAX)));
  }
  for (Population* p : pops) p->phen_to_gam(list, prof, s);
}

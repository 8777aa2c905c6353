// Preparation of the samples of a project before its analyses: normalising the
// DNA letters and the separators of the contents, the allele-vector hooks, the
// final check that the data can be analysed, and the work estimate.
#include <algorithm>
#include <bitset>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/project.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "text/byte_table.h"

namespace {

// Deletes every occurrence of separator; true when something was deleted.
bool erase_separator(std::string& text, char separator) {
  const auto old_size = text.size();
  text.erase(std::remove(text.begin(), text.end(), separator), text.end());
  return text.size() != old_size;
}

// Number of loci of a content: one per character for sequence data and when
// no separator is defined, else one per non-empty token between separators.
int count_loci(std::string_view content, char separator) {
  const TDataType type = ProfileSettings::DataType;
  if (type == DNA || type == RFLP || separator == '\0') return static_cast<int>(content.size());
  int loci = 0;
  bool in_token = false;
  for (char c : content) {
    const bool is_separator = c == separator || (separator == ' ' && c == '\t');
    if (!is_separator && !in_token) ++loci;
    in_token = !is_separator;
  }
  return loci;
}

int length_error_for_type() {
  switch (ProfileSettings::DataType) {
    case DNA:
      return 161;  // DNA sequences have different lengths
    case RFLP:
      return 139;  // RFLP haplotypes have different length
    default:
      return 70;  // haplotypes have different number of loci
  }
}

}  // namespace

void Samples::convert_dna_upper(Haplo_DB& list) {
  if (ProfileSettings::DataType != DNA) return;
  for (HaploDef* h : list.haplotypes) qnd_text::upper_ascii(h->content);
  list.invalidate_content_index();
  for (Population* p : pops) {
    for (TPhenotype* t : p->individuals) {
      qnd_text::upper_ascii(t->copy1);
      qnd_text::upper_ascii(t->copy2);
    }
  }
}

int Samples::rm_separators(Haplo_DB& list, char separator) {
  const TDataType type = ProfileSettings::DataType;
  if (separator == '\0' || (type != DNA && type != RFLP)) return 0;
  int changed = 0;
  for (HaploDef* h : list.haplotypes)
    if (erase_separator(h->content, separator)) ++changed;
  list.invalidate_content_index();
  for (Population* p : pops) {
    for (TPhenotype* t : p->individuals) {
      if (erase_separator(t->copy1, separator)) ++changed;
      if (erase_separator(t->copy2, separator)) ++changed;
    }
  }
  return changed;
}

// The per-sample allele vectors are filled by the allele-frequency statistics,
// which own that layout; until they do, there is nothing to link here.
int Samples::build_all_vectors(char) { return 1; }

int Project::build_all_vectors() {
  // Same hook as Samples::build_all_vectors, for haplotypic data.
  return 1;
}

int Samples::verify_data(const Haplo_DB& list) const {
  const char* const context = "Samples::verify_data()";
  for (const Population* p : pops) {
    const bool has_data = p->num_haplotypes() > 0 || p->num_individuals() > 0;
    if (!has_data) {
      *_AOS_ << "\tSample \"" << p->name << "\" holds no data.\n";
      E.error(Error, context, 68);
      return 0;
    }
  }
  if (ProfileSettings::DataType == FREQUENCY) return 1;

  const char separator = ProfileSettings::LocusSeparator;
  int loci = -1;
  for (const HaploDef* h : list.haplotypes) {
    const int n = count_loci(h->content, separator);
    if (loci < 0) loci = n;
    if (n != loci) {
      *_AOS_ << "\tHaplotype \"" << h->name << "\" has " << n << " loci while " << loci
             << " were found before.\n";
      E.error(Error, context, length_error_for_type());
      return 0;
    }
  }
  for (const Population* p : pops) {
    for (const TPhenotype* t : p->individuals) {
      for (const std::string* copy : {&t->copy1, &t->copy2}) {
        const int n = count_loci(*copy, separator);
        if (loci < 0) loci = n;
        if (n != loci) {
          *_AOS_ << "\tIndividual \"" << t->id << "\" of sample \"" << p->name << "\" has " << n
                 << " loci while " << loci << " were found before.\n";
          E.error(Error, context, 69);
          return 0;
        }
      }
    }
  }
  return 1;
}

double Samples::evaluate_work(const settings& s) const {
  double copies = 0.0;
  for (const Population* p : pops) copies += p->sample_size;
  const auto analyses = std::bitset<32>(static_cast<unsigned>(s.TaskNumber)).count();
  return copies * static_cast<double>(analyses);
}

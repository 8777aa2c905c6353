// Haplotypes and alleles.
//  - TAllele / TLocus / TAlleleDB: the alleles met at each locus, with per-sample
//    frequencies (the process-wide allele database of the statistics).
//  - HaploDef: one distinct haplotype of the project (identifier and allelic
//    content); Haplo_DB: the project's list of them.
//  - PHaploDef: one haplotype of one sample, with its number of copies.
// Samples refer to the project's HaploDef objects; they never copy contents.
#ifndef QND_MODEL_HAPLOTYPES_H
#define QND_MODEL_HAPLOTYPES_H

#include <istream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/containers.h"
#include "model/profile.h"
#include "text/byte_table.h"
#include "text/my_string.h"

class TAllele {
 public:
  TAllele() = default;
  explicit TAllele(const my_string& allele_name) : name(allele_name) {}

  my_string name;
  int number = 0;       // position of the allele at its locus
  double count = 0.0;   // copies counted in the current pass (a whole number)
  int flag = 0;
  std::vector<double> pop_freq;    // one frequency per sample (TAllele::numPop)
  std::vector<double> group_freq;  // one frequency per group
  double value = 0.0;
  int size = 0;  // allele size (microsatellite data)

  static int numPop;  // number of samples the frequency vectors are sized for
};

class TLocus {
 public:
  TLocus() : alleles(10, 10, true) {}

  // The allele of that name, or nullptr.
  TAllele* find_allele_by_name(const my_string& name) const;
  // Position of the allele of that name, or -1.
  int find_allele_pos_by_name(const my_string& name) const;
  // Position of the given allele, or -1.
  int get_allele_index(const TAllele* allele) const;

  MY_TIArrayAsVector<TAllele> alleles;
};

class TAlleleDB {
 public:
  // Empties the database.
  void destroy() { loci.clear(); }
  // Sizes the database for n loci (existing loci are kept).
  void resize(int n);
  int num_loci() const { return static_cast<int>(loci.size()); }
  // Records allele text at a locus (inserting it when new) and adds count to it.
  // Returns the allele.
  TAllele* InsertAllPos(int locus, const my_string& allele, double count);
  // The same for an allele text given as a view (no string made unless new).
  TAllele* InsertAllPos(int locus, std::string_view allele, double count);
  TAllele* find(int locus, const my_string& allele) const;
  // Sizes every allele's per-sample (per-group) frequency vector.
  void create_pop_freq_vector(int num_pops);
  void create_group_freq_vector(int num_groups);

  std::vector<TLocus> loci;
};

class HaploDef {
 public:
  HaploDef() : alleles(10, 10, false) {}
  explicit HaploDef(const my_string& id) : HaploDef() { name = id; }
  HaploDef(const HaploDef& other);
  HaploDef& operator=(const HaploDef& other);

  bool hasSameAllelicContent(const HaploDef& other) const { return content == other.content; }
  // Links the per-locus alleles of this haplotype from the allele database.
  void build_haplovect(TAlleleDB* db, char separator, int num_loci, double weight);
  // Checks the allelic content for the profile's data type and stores it
  // normalised; returns 1 when accepted.
  int read_data(my_string& text, ProfileSettings& profile);
  // The same on a view of the text (no copy of a long sequence).
  int read_data(std::string_view text, const ProfileSettings& profile);

  MY_TIArrayAsVector<TAllele> alleles;  // not owning: the alleles belong to the database
  int number = -1;
  my_string name;
  std::string content;  // the allelic content; any length (long sequences are real)
  double total = 0.0;   // copies over all samples (a whole number)
};

class PHaploDef {
 public:
  PHaploDef(HaploDef* h, int c) : hap(h), count(c) {}
  // Adds c copies. A count that would pass the int range is beyond the
  // program's reach: the run fails with error 0 ("not enough memory").
  void add_copies(int c);
  HaploDef* hap = nullptr;
  int count = 0;
};

class Haplo_DB {
 public:
  Haplo_DB() : haplotypes(10, 50, true) {}
  Haplo_DB(const Haplo_DB&) = delete;
  Haplo_DB& operator=(const Haplo_DB&) = delete;

  // The first haplotype whose content equals text byte for byte, or nullptr.
  HaploDef* find(const std::string& text);
  HaploDef* find(const my_string& text) { return find(text.str()); }
  // The haplotype with that identifier, or nullptr.
  HaploDef* find_by_name(const my_string& id) const;
  // Appends h (the list owns it). Returns the new count, 0 on failure.
  int add(HaploDef* h);
  // Reads the haplotype list block of a [[HaplotypeDefinition]] section (from the
  // project file or an external file); returns 1 when the list was read.
  int NewReadHaplotypeList(std::istream& in, ProfileSettings& prof, bool external, int& lineNo);
  // Empties the list and renames it "no_name".
  void reset();
  // Deletes all haplotypes, keeping the name.
  void flush();
  // Removes the haplotypes at the positions where doomed[i] is true (deleting them
  // when the list owns them) in one pass, keeping the others in order; the name and
  // content indexes then describe the remaining list only. Returns the number removed.
  int remove_haplotypes(const std::vector<bool>& doomed);
  // Must be called after changing the content of a listed haplotype.
  void invalidate_content_index() { content_index_valid_ = false; }
  // Makes room for n haplotypes in the list and its indexes.
  void reserve(int n);
  int size() const { return haplotypes.GetItemsInContainer(); }
  HaploDef* operator[](int i) const { return haplotypes[i]; }

  ProfileSettings profile;
  my_string name{"no_name"};
  MY_TIArrayAsVector<HaploDef> haplotypes;

 private:
  std::unordered_map<std::string, HaploDef*> by_name_;
  std::unordered_map<std::string, HaploDef*, qnd_text::TextHash> by_content_;
  bool content_index_valid_ = false;
};

#endif  // QND_MODEL_HAPLOTYPES_H

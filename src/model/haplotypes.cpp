// Haplotype list and allele database.
#include "model/haplotypes.h"

#include <climits>

#include "base/errors.h"
#include "globals.h"

int TAllele::numPop = 0;

void PHaploDef::add_copies(int c) {
  if (c > 0 ? count > INT_MAX - c : count < INT_MIN - c) {
    E.error(Memory, "PHaploDef::add_copies()", 0);
    throw MemoryException;  // also when no log is open to report it
  }
  count += c;
}

TAllele* TLocus::find_allele_by_name(const my_string& allele_name) const {
  for (TAllele* a : alleles)
    if (a->name == allele_name) return a;
  return nullptr;
}

int TLocus::find_allele_pos_by_name(const my_string& allele_name) const {
  for (int i = 0; i < alleles.size(); ++i)
    if (alleles[i]->name == allele_name) return i;
  return -1;
}

int TLocus::get_allele_index(const TAllele* allele) const {
  for (int i = 0; i < alleles.size(); ++i)
    if (alleles[i] == allele) return i;
  return -1;
}

void TAlleleDB::resize(int n) {
  if (n > num_loci()) loci.resize(static_cast<size_t>(n));
}

TAllele* TAlleleDB::find(int locus, const my_string& allele) const {
  if (locus < 0 || locus >= num_loci()) return nullptr;
  return loci[static_cast<size_t>(locus)].find_allele_by_name(allele);
}

TAllele* TAlleleDB::InsertAllPos(int locus, const my_string& allele, double count) {
  return InsertAllPos(locus, allele.view(), count);
}

TAllele* TAlleleDB::InsertAllPos(int locus, std::string_view allele, double count) {
  if (locus < 0) return nullptr;
  if (locus >= num_loci()) resize(locus + 1);
  TLocus& l = loci[static_cast<size_t>(locus)];
  TAllele* a = nullptr;
  for (TAllele* b : l.alleles) {
    if (b->name.view() == allele) {
      a = b;
      break;
    }
  }
  if (a == nullptr) {
    a = new TAllele(my_string(allele));
    a->number = l.alleles.size();
    a->pop_freq.assign(static_cast<size_t>(TAllele::numPop > 0 ? TAllele::numPop : 0), 0.0);
    l.alleles.Add(a);
  }
  a->count += count;
  return a;
}

void TAlleleDB::create_pop_freq_vector(int num_pops) {
  for (TLocus& l : loci)
    for (TAllele* a : l.alleles) a->pop_freq.assign(static_cast<size_t>(num_pops), 0.0);
}

void TAlleleDB::create_group_freq_vector(int num_groups) {
  for (TLocus& l : loci)
    for (TAllele* a : l.alleles) a->group_freq.assign(static_cast<size_t>(num_groups), 0.0);
}

HaploDef::HaploDef(const HaploDef& other)
    : alleles(10, 10, false),
      number(other.number),
      name(other.name),
      content(other.content),
      total(other.total) {}

HaploDef& HaploDef::operator=(const HaploDef& other) {
  if (this != &other) {
    number = other.number;
    name = other.name;
    content = other.content;
    total = other.total;
  }
  return *this;
}

HaploDef* Haplo_DB::find(const std::string& text) {
  if (!content_index_valid_) {
    by_content_.clear();
    for (HaploDef* h : haplotypes) by_content_.emplace(h->content, h);
    content_index_valid_ = true;
  }
  auto it = by_content_.find(text);
  return it == by_content_.end() ? nullptr : it->second;
}

HaploDef* Haplo_DB::find_by_name(const my_string& id) const {
  auto it = by_name_.find(id.str());
  return it == by_name_.end() ? nullptr : it->second;
}

void Haplo_DB::reserve(int n) {
  if (n <= size()) return;
  haplotypes.Reserve(n);
  by_name_.reserve(static_cast<size_t>(n));
  if (content_index_valid_) by_content_.reserve(static_cast<size_t>(n));
}

int Haplo_DB::add(HaploDef* h) {
  const int n = haplotypes.Add(h);
  if (n == 0) {
    by_name_.clear();
    by_content_.clear();
    content_index_valid_ = false;
    return 0;
  }
  by_name_.emplace(h->name.str(), h);
  // A haplotype added without content gets it later: rebuild the index then.
  if (h->content.empty()) {
    content_index_valid_ = false;
  } else if (content_index_valid_) {
    by_content_.emplace(h->content, h);
  }
  return n;
}

void Haplo_DB::reset() {
  flush();
  name = "no_name";
}

void Haplo_DB::flush() {
  haplotypes.Flush();
  by_name_.clear();
  by_content_.clear();
  content_index_valid_ = false;
}

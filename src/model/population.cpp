// Samples as read: construction, copies (haplotype entries and individuals are
// copied, the haplotypes they refer to are shared) and the per-data-type factory.
#include "model/population.h"

TAlleleDB PopGenetics::globalAllelicDB;
std::vector<int> PopGenetics::globalSubstPolymSites;

PopGenetics::PopGenetics() : haplotypes(10, 10, true), gametes(10, 10, true), individuals(10, 10, true) {}

PopGenetics::PopGenetics(const PopGenetics& other)
    : profile(other.profile),
      name(other.name),
      index(other.index),
      haplotypes(other.haplotypes.Limit(), 10, true),
      gametes(other.gametes.Limit(), 10, true),
      individuals(other.individuals.Limit(), 10, true),
      line_count(other.line_count),
      sample_size(other.sample_size),
      inverse_size(other.inverse_size),
      gametes_built(other.gametes_built),
      allele_db(other.allele_db),
      estimated_haplotypes(other.estimated_haplotypes),
      recessive_data(other.recessive_data) {
  for (const PHaploDef* e : other.haplotypes) haplotypes.Add(new PHaploDef(*e));
  for (const PHaploDef* e : other.gametes) gametes.Add(new PHaploDef(*e));
  for (const TPhenotype* t : other.individuals) individuals.Add(new TPhenotype(*t));
}

PopGenetics& PopGenetics::operator=(const PopGenetics& other) {
  if (this == &other) return *this;
  profile = other.profile;
  name = other.name;
  index = other.index;
  haplotypes.Flush();
  for (const PHaploDef* e : other.haplotypes) haplotypes.Add(new PHaploDef(*e));
  gametes.Flush();
  for (const PHaploDef* e : other.gametes) gametes.Add(new PHaploDef(*e));
  individuals.Flush();
  for (const TPhenotype* t : other.individuals) individuals.Add(new TPhenotype(*t));
  line_count = other.line_count;
  sample_size = other.sample_size;
  inverse_size = other.inverse_size;
  gametes_built = other.gametes_built;
  allele_db = other.allele_db;
  estimated_haplotypes = other.estimated_haplotypes;
  recessive_data = other.recessive_data;
  return *this;
}

int Population::test_methods(settings&) { return 1; }

Population* make_population_for_type(TDataType type, const Population& p) {
  switch (type) {
    case DNA:
      return new PopulDNA(p);
    case RFLP:
      return new PopulRFLP(p);
    case MICROSAT:
      return new PopulMicrosat(p);
    default:
      return new PopulStandard(p);
  }
}

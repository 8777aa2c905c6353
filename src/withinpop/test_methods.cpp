// Analysis entry of each data type: the within-sample analyses that TaskNumber
// selects, in this order, each under its bit: standard indices (1), molecular
// diversity (2), linkage disequilibrium (16), Tajima's test (64), Fu's test
// (16384). The analyses of the engine that feed no summary statistic (mismatch
// distribution, haplotype frequencies, Hardy-Weinberg, Ewens-Watterson,
// Chakraborty) are not run by this program.
#include <ostream>

#include "globals.h"
#include "model/population.h"
#include "settings/settings.h"

namespace {

constexpr int kWithinSampleTasks =
    kTaskStandardIndices | kTaskMolecularDiversity | kTaskMismatchDistribution |
    kTaskHaplotypeFrequencies | kTaskLinkageDisequilibrium | kTaskHardyWeinberg | kTaskTajimaTest |
    kTaskEwensWattersonTest | kTaskChakrabortyTest | kTaskFuFsTest;

bool has(const settings& s, int bit) { return (s.TaskNumber & bit) != 0; }

bool locus_mode(const settings& s) { return s.genotypicData != 0 && s.gameticPhaseKnown == 0; }

// Numbers of alleles and gene diversity, per locus and of the haplotypes.
void standard_indices(PopGenetics& pop, const settings& s) {
  pop.calc_sample_homozygosity();
  pop.calc_sample_sd_heterozygosity();
  // The per-locus table belongs to the result report, which this program does
  // not write.
  if (locus_mode(s))
    pop.OutputAllelelNumberAndHetPerLocusDipl(*_AOS_, s, false, false, false);
  else
    pop.OutputAllelelNumberAndHetPerLocusHapl(*_AOS_, s, false, false, false);
}

// Polymorphism evaluation of allele-string data.
void evaluate_allele_strings(PopGenetics& pop, const settings& s) {
  if (locus_mode(s))
    pop.compare_phenotypes(s);
  else
    pop.compare_haplotypes(s);
}

// Known gametes: D, D' and r^2 of every pair of polymorphic loci. Genotypic data
// of unknown phase would take the likelihood-ratio test between phenotypes,
// which feeds no summary statistic and is not run by this program.
void linkage_disequilibrium(PopGenetics& pop, const settings& s) {
  if (locus_mode(s)) {
    *_AOS_ << "\tTesting linkage disequilibrium (phenotypic data)...\n";
    return;
  }
  *_AOS_ << "\tTesting linkage disequilibrium (haplotypic data)...\n";
  pop.calc_all_gam_des(*_AOS_, s.MarkovChainStepsLD, s);
}

// Sequence data (DNA and RFLP) run the same blocks in the same order; only the
// site evaluation and the diversity indices differ by class.
template <class SequenceSample>
int run_sequence_analyses(SequenceSample& pop, settings& s) {
  if (!has(s, kWithinSampleTasks)) return 1;
  pop.evaluate_polymorphism(s);
  if (has(s, kTaskStandardIndices)) standard_indices(pop, s);
  // Tajima's D and Fu's Fs read the mean number of pairwise differences, so
  // they need the diversity indices even when those are not asked for
  // themselves (the summary record takes S and pi only under their own task).
  if (has(s, kTaskMolecularDiversity | kTaskTajimaTest | kTaskFuFsTest))
    pop.compute_molecular_diversity(s);
  if (has(s, kTaskLinkageDisequilibrium)) linkage_disequilibrium(pop, s);
  if (has(s, kTaskTajimaTest)) pop.run_tajima_test(s);
  if (has(s, kTaskFuFsTest)) pop.run_fu_test(s);
  return 1;
}

}  // namespace

int PopulDNA::test_methods(settings& s) { return run_sequence_analyses(*this, s); }

int PopulRFLP::test_methods(settings& s) { return run_sequence_analyses(*this, s); }

int PopulMicrosat::test_methods(settings& s) {
  if (!has(s, kWithinSampleTasks)) return 1;
  evaluate_allele_strings(*this, s);
  if (has(s, kTaskStandardIndices)) {
    standard_indices(*this, s);
    computeMeanAlleleSizes();
  }
  if (has(s, kTaskLinkageDisequilibrium)) linkage_disequilibrium(*this, s);
  if (has(s, kTaskFuFsTest)) *_AOS_ << "Fu's Fs test is not possible for Microsatellite data\n";
  return 1;
}

int PopulStandard::test_methods(settings& s) {
  if (!has(s, kWithinSampleTasks)) return 1;
  evaluate_allele_strings(*this, s);
  if (has(s, kTaskStandardIndices)) standard_indices(*this, s);
  if (has(s, kTaskLinkageDisequilibrium)) linkage_disequilibrium(*this, s);
  if (has(s, kTaskTajimaTest)) *_AOS_ << "Tajima's test is not possible for standard data type\n";
  if (has(s, kTaskFuFsTest)) *_AOS_ << "Fu's Fs test is not possible for standard data type\n";
  return 1;
}

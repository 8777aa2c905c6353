// Aggregation of the within-sample statistics of one pass into the summary
// record: one list entry per sample (unit of the pass), the mean and standard
// deviation over samples, and the pooled (TOT_) values of all samples of the
// pass together, read from the allele database.
//
// compute_stuff prepares the pass (allele counts emptied, distinct haplotypes
// counted, variable sequence sites found), runs every sample's analyses and then
// WriteSummaryStatistics, which stores the values table by table. Each table
// empties its lists before refilling them, so nothing of a previous pass leaks.
#include <algorithm>
#include <array>
#include <chrono>
#include <ostream>

#include "globals.h"
#include "model/project.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/gene_diversity.h"
#include "withinpop/microsat.h"

namespace {

using qnd_diversity::sd_over;

// TaskNumber bits of the within-sample analyses.
constexpr int kWithinSampleTasks =
    kTaskStandardIndices | kTaskMolecularDiversity | kTaskMismatchDistribution |
    kTaskHaplotypeFrequencies | kTaskLinkageDisequilibrium | kTaskHardyWeinberg | kTaskTajimaTest |
    kTaskEwensWattersonTest | kTaskChakrabortyTest | kTaskFuFsTest;
constexpr int kNeutralityTasks =
    kTaskTajimaTest | kTaskEwensWattersonTest | kTaskChakrabortyTest | kTaskFuFsTest;

bool locus_mode(const settings& s) { return s.genotypicData != 0 && s.gameticPhaseKnown == 0; }

char missing_char(const Samples& samples) {
  return samples.size() > 0 ? samples[0]->profile.MissingData : samples.profile.MissingData;
}

// Mean and standard deviation over the samples of a list; each is stored only
// when its flag is set.
void over_samples(const MY_TArrayAsVector<double>& list, bool store_mean, double& mean,
                  bool store_sd, double& sd) {
  const int n = list.size();
  double sum = 0.0;
  double sumsq = 0.0;
  for (double x : list) {
    sum += x;
    sumsq += x * x;
  }
  if (store_mean) mean = n > 0 ? sum / n : 0.0;
  if (store_sd) sd = sd_over(n, sum, sumsq);
}

// Mean of the values that pass the filter: the single value when only one
// does, 0 when none does.
template <class Keep>
double mean_where(const std::vector<double>& values, Keep keep) {
  double sum = 0.0;
  int m = 0;
  for (double v : values) {
    if (!keep(v)) continue;
    sum += v;
    ++m;
  }
  return m > 0 ? sum / m : 0.0;
}

}  // namespace

// Every sequence site that does not carry the same character in all gene
// copies of the pass, how many of the others carry a typed character, and the
// others' flags (pass_invariant).
void PopGenetics::begin_pass_sites(const std::vector<const std::string*>& contents, char missing) {
  std::vector<int>& sites = PopGenetics::pass_variable_sites;
  sites.clear();
  PopGenetics::pass_typed_invariant_sites = 0;
  PopGenetics::pass_invariant.length = 0;
  if (contents.empty()) return;
  size_t length = 0;
  for (const std::string* c : contents) length = std::max(length, c->size());
  const std::string& ref = *contents.front();
  std::vector<std::uint8_t> varies(length, 0);
  for (size_t l = ref.size(); l < length; ++l) varies[l] = 1;
  for (size_t i = 1; i < contents.size(); ++i) {
    const std::string& c = *contents[i];
    const size_t common = std::min(c.size(), ref.size());
    // Branch-free over plain pointers so that the compiler can compare many
    // sites at once.
    const char* a = c.data();
    const char* r = ref.data();
    std::uint8_t* v = varies.data();
    for (size_t l = 0; l < common; ++l) v[l] |= static_cast<std::uint8_t>(a[l] != r[l]);
    for (size_t l = common; l < ref.size(); ++l) varies[l] = 1;
  }
  std::array<bool, 256> typed{};
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    typed[static_cast<size_t>(c)] =
        !qnd_diversity::is_missing_allele(std::string_view(&ch, 1), missing, DNA);
  }
  PopGenetics::PassInvariantSites& inv = PopGenetics::pass_invariant;
  inv.length = length;
  inv.missing = missing;
  inv.usable.assign(length, 0);
  inv.num_usable = 0;
  inv.usable_chars.fill(0);
  inv.missing_sites.clear();
  for (size_t l = 0; l < length; ++l) {
    if (varies[l] != 0) {
      sites.push_back(static_cast<int>(l));
      continue;
    }
    const char c = ref[l];
    if (typed[static_cast<unsigned char>(c)]) ++PopGenetics::pass_typed_invariant_sites;
    if (c == missing) {
      inv.missing_sites.push_back(static_cast<int>(l));
    } else if (c != '-') {
      inv.usable[l] = 1;
      ++inv.num_usable;
      ++inv.usable_chars[static_cast<unsigned char>(c)];
    }
  }
}

namespace {

// The variable sites of the last pass, with what they were found from: the
// run, the missing-data character and the distinct haplotypes (objects and
// content lengths). Within a run a haplotype object keeps its content, so the
// group pass and the population pass over the same haplotypes share them.
struct PassSitesCache {
  unsigned long long run_serial = 0;
  char missing = '\0';
  std::vector<std::pair<const HaploDef*, size_t>> haplotypes;
  std::vector<int> variable_sites;
  int typed_invariant_sites = 0;
  PopGenetics::PassInvariantSites invariant;
};

PassSitesCache& pass_sites_cache() {
  static PassSitesCache cache;
  return cache;
}

}  // namespace

void Samples::begin_allele_pass(const settings& s, unsigned long long run_serial) {
  // The pooled values of a pass come from its own samples only: the counts and
  // frequencies of earlier passes go, the alleles met stay.
  const int units = size();
  if (TAllele::numPop < units) TAllele::numPop = units;
  for (TLocus& locus : PopGenetics::globalAllelicDB.loci) {
    for (TAllele* a : locus.alleles) {
      a->count = 0;
      a->pop_freq.assign(static_cast<size_t>(TAllele::numPop), 0.0);
    }
  }
  // Haplotypes of the pass, each once: those with copies, and all of them.
  std::vector<const HaploDef*> counted;
  std::vector<const HaploDef*> listed;
  for (int i = 0; i < units; ++i) {
    Population* p = pops[i];
    p->index = i;
    for (const PHaploDef* h : p->haplotypes) {
      if (h == nullptr || h->hap == nullptr) continue;
      if (h->count > 0) counted.push_back(h->hap);
      listed.push_back(h->hap);
    }
  }
  for (std::vector<const HaploDef*>* v : {&counted, &listed}) {
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
  }
  num_distinct_haplotypes = static_cast<int>(counted.size());

  // Sequences in haplotype mode: only the sites that vary in the pass need the
  // per-site allele work (a site constant in every copy has k = 1 and H = 0 in
  // every sample and adds nothing to the pooled values).
  PopGenetics::pass_sites_restricted = false;
  PopGenetics::pass_variable_sites.clear();
  if (ProfileSettings::DataType == DNA && !locus_mode(s)) {
    // The variable sites do not depend on the order of the contents.
    const char missing = missing_char(*this);
    std::vector<std::pair<const HaploDef*, size_t>> key;
    key.reserve(listed.size());
    for (const HaploDef* h : listed) key.emplace_back(h, h->content.size());
    PassSitesCache& cache = pass_sites_cache();
    if (run_serial != 0 && cache.run_serial == run_serial && cache.missing == missing &&
        cache.haplotypes == key) {
      PopGenetics::pass_variable_sites = cache.variable_sites;
      PopGenetics::pass_typed_invariant_sites = cache.typed_invariant_sites;
      PopGenetics::pass_invariant = cache.invariant;
    } else {
      std::vector<const std::string*> unique;
      unique.reserve(listed.size());
      for (const HaploDef* h : listed) unique.push_back(&h->content);
      PopGenetics::begin_pass_sites(unique, missing);
      cache.run_serial = run_serial;
      cache.missing = missing;
      cache.haplotypes = std::move(key);
      cache.variable_sites = PopGenetics::pass_variable_sites;
      cache.typed_invariant_sites = PopGenetics::pass_typed_invariant_sites;
      cache.invariant = PopGenetics::pass_invariant;
    }
    PopGenetics::pass_sites_restricted = true;
  }
}

int Samples::compute_stuff(Project* project, settings& s) {
  if (size() == 0) return 1;
  begin_allele_pass(s, project != nullptr ? project->run_serial : 0);
  for (Population* p : pops) {
    *_AOS_ << "\nPopulation '" << p->name.c_str() << "' :";
    const auto start = std::chrono::steady_clock::now();
    p->test_methods(s);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    *_AOS_ << "done in " << ms;
  }
  *_AOS_ << std::endl;
  WriteSummaryStatistics(project, s);
  PopGenetics::pass_sites_restricted = false;
  PopGenetics::pass_variable_sites.clear();
  PopGenetics::pass_typed_invariant_sites = 0;
  return 1;
}

namespace {

// Numbers of alleles (K) and gene diversity (H) of every sample, over samples
// and pooled.
void store_k_and_h(const Samples& samples, const settings& s) {
  const bool by_locus = locus_mode(s);
  const TDataType type = ProfileSettings::DataType;
  const char missing = missing_char(samples);
  SumStat.K.Flush();
  SumStat.Ksd.Flush();
  SumStat.H.Flush();
  SumStat.Hsd.Flush();
  for (const Population* p : samples.pops) {
    if (by_locus) {
      SumStat.K.Add(p->mean_num_alleles);
      SumStat.Ksd.Add(p->sd_num_alleles);
      SumStat.H.Add(p->mean_exp_het);
      SumStat.Hsd.Add(p->sd_exp_het);
    } else {
      SumStat.K.Add(p->num_distinct_haplotypes());
      SumStat.Ksd.Add(0.0);
      SumStat.H.Add(p->gene_diversity);
      SumStat.Hsd.Add(p->sd_gene_diversity);
    }
  }
  over_samples(SumStat.K, SumStat.MEAN_K, SumStat.meanK, SumStat.SD_K, SumStat.sdK);
  over_samples(SumStat.H, SumStat.MEAN_H, SumStat.meanH, SumStat.SD_H, SumStat.sdH);

  const TAlleleDB& db = PopGenetics::globalAllelicDB;
  std::vector<double> pooled_k;
  std::vector<double> pooled_h;
  pooled_k.reserve(db.loci.size());
  pooled_h.reserve(db.loci.size());
  for (const TLocus& locus : db.loci) {
    if (locus.alleles.size() == 0) {  // a site constant in the pass: no allele entered
      pooled_k.push_back(0.0);
      pooled_h.push_back(0.0);
      continue;
    }
    pooled_k.push_back(qnd_diversity::pooled_num_alleles(locus, missing, type));
    pooled_h.push_back(qnd_diversity::pooled_gene_diversity(locus, missing, type));
  }
  if (!by_locus) {
    SumStat.totK = samples.num_distinct_haplotypes;
  } else if (type == DNA) {
    SumStat.totK = mean_where(pooled_k, [](double k) { return k > 1.0; });
  } else {
    SumStat.totK = mean_where(pooled_k, [](double) { return true; });
  }
  SumStat.totH = mean_where(pooled_h, [](double h) { return h != 0.0; });
}

// A locus of the allele database counts as a segregating site of the pass when
// it is polymorphic in at least one sample and carries two informative alleles.
bool polymorphic_in_some_sample(const Samples& samples, size_t locus) {
  for (const Population* p : samples.pops) {
    if (locus < p->locus_polymorphic.size()) {
      if (p->locus_polymorphic[locus] != 0) return true;
    }
  }
  return false;
}

// Number of segregating sites, private sites and pi of every sample.
void store_molecular_diversity(Samples& samples, settings& s) {
  const TDataType type = ProfileSettings::DataType;
  samples.computeNumPrivateSubstSitesPerPop(s);
  SumStat.S.Flush();
  SumStat.Ssd.Flush();
  SumStat.privS.Flush();
  SumStat.Pi.Flush();
  for (const Population* p : samples.pops) {
    // S: substitution sites of sequences, polymorphic sites of RFLP data, usable
    // polymorphic loci of the other data.
    double segregating = p->num_usable_poly_loci;
    if (type == DNA) segregating = p->num_subst_sites;
    if (type == RFLP) segregating = p->num_rflp_poly_sites;
    SumStat.S.Add(segregating);
    SumStat.privS.Add(p->num_private_subst_sites);
    SumStat.Pi.Add(p->mean_pair_diff);
  }
  over_samples(SumStat.S, SumStat.MEAN_S, SumStat.meanS, SumStat.SD_S, SumStat.sdS);
  over_samples(SumStat.Pi, SumStat.MEAN_PI, SumStat.meanPi, SumStat.SD_PI, SumStat.sdPi);

  const char missing = missing_char(samples);
  const TAlleleDB& db = PopGenetics::globalAllelicDB;
  int segregating_sites = 0;
  for (size_t l = 0; l < db.loci.size(); ++l) {
    if (db.loci[l].alleles.size() == 0 || !polymorphic_in_some_sample(samples, l)) continue;
    if (qnd_diversity::pooled_informative_alleles(db.loci[l], missing) >= 2) ++segregating_sites;
  }
  SumStat.totS = segregating_sites;
}

// Tajima's D and Fu's Fs of every sample.
void store_neutrality(const Samples& samples, const settings& s) {
  if ((s.TaskNumber & kTaskTajimaTest) != 0) {
    SumStat.D.Flush();
    SumStat.Dsd.Flush();
    for (const Population* p : samples.pops) SumStat.D.Add(p->tajima_d);
    over_samples(SumStat.D, SumStat.MEAN_TAJIMAD, SumStat.meanD, SumStat.SD_TAJIMAD, SumStat.sdD);
  }
  if ((s.TaskNumber & kTaskFuFsTest) != 0) {
    SumStat.FS.Flush();
    SumStat.FSsd.Flush();
    // A sample whose Fs could not be computed contributes the value it holds.
    for (const Population* p : samples.pops) SumStat.FS.Add(p->fu_fs);
    over_samples(SumStat.FS, SumStat.MEAN_FUFS, SumStat.meanFS, SumStat.SD_FUFS, SumStat.sdFS);
  }
}

// Garza-Williamson indexes and allelic ranges of every sample, over samples and
// pooled (microsatellite and standard data).
void store_ranges_and_gw(Samples& samples) {
  const TDataType type = ProfileSettings::DataType;
  const char missing = missing_char(samples);
  std::vector<const PopGenetics*> units;
  int loci = 0;
  for (const Population* p : samples.pops) {
    units.push_back(p);
    loci = std::max(loci, static_cast<int>(p->locus_gw.size()));
  }
  const std::vector<int> pooled_range = qnd_microsat::pooled_ranges(units, loci);
  for (Population* p : samples.pops) p->compute_modified_gw(pooled_range);

  SumStat.GW.Flush();
  SumStat.GWsd.Flush();
  SumStat.NGW.Flush();
  SumStat.NGWsd.Flush();
  SumStat.R.Flush();
  SumStat.Rsd.Flush();
  for (const Population* p : samples.pops) {
    SumStat.GW.Add(p->mean_gw);
    SumStat.GWsd.Add(p->sd_gw);
    SumStat.NGW.Add(p->mean_ngw);
    SumStat.NGWsd.Add(p->sd_ngw);
    SumStat.R.Add(p->mean_range);
    SumStat.Rsd.Add(p->sd_range);
  }
  over_samples(SumStat.GW, SumStat.MEAN_GW, SumStat.meanGW, SumStat.SD_GW, SumStat.sdGW);
  over_samples(SumStat.NGW, SumStat.MEAN_NGW, SumStat.meanNGW, SumStat.SD_NGW, SumStat.sdNGW);
  over_samples(SumStat.R, true, SumStat.meanR, true, SumStat.sdR);

  const TAlleleDB& db = PopGenetics::globalAllelicDB;
  double sum_range = 0.0;
  double sum_gw = 0.0;
  for (int l = 0; l < loci; ++l) {
    const double big_r = pooled_range[static_cast<size_t>(l)];
    const int k = l < db.num_loci() ? qnd_diversity::pooled_num_alleles(
                                          db.loci[static_cast<size_t>(l)], missing, type)
                                    : 0;
    sum_range += big_r;
    sum_gw += k / (big_r + 1.0);
  }
  SumStat.totR = loci > 0 ? sum_range / loci : 0.0;
  SumStat.totGW = loci > 0 ? sum_gw / loci : 0.0;
}

}  // namespace

int Samples::WriteSummaryStatistics(Project* project, settings& s) {
  if ((s.TaskNumber & kWithinSampleTasks) == 0 || size() == 0) return 1;
  const TDataType type = ProfileSettings::DataType;
  bool recessive = profile.RecessiveData != 0;
  if (project != nullptr && project->profile.RecessiveData != 0) recessive = true;
  for (const Population* p : pops)
    if (p->recessive_data != 0) recessive = true;

  const bool standard_indices = (s.TaskNumber & kTaskStandardIndices) != 0;
  if (standard_indices && !recessive) store_k_and_h(*this, s);
  if ((s.TaskNumber & kTaskMolecularDiversity) != 0 && !recessive &&
      (type == DNA || type == RFLP || type == FREQUENCY))
    store_molecular_diversity(*this, s);
  if ((s.TaskNumber & kNeutralityTasks) != 0) store_neutrality(*this, s);
  // The per-locus lists these tables read are filled by the standard indices.
  if ((type == MICROSAT || type == STANDARD) && standard_indices) store_ranges_and_gw(*this);
  return 1;
}

// Within-sample values worked by hand, one case per row of sample_cases.txt:
// samples built in memory, one pass of the program over them, and the values
// it leaves in the samples and in the summary record.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "model/samples.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/gene_diversity.h"
#include "withinpop/log_capture.h"
#include "withinpop/microsat.h"
#include "withinpop/sample_builder.h"
#include "withinpop/table.h"

using qnd_table::list;
namespace gd = qnd_diversity;

namespace {

// Row: pass TYPE then tokens up to ":" that are samples ("|" starts a new one)
// made of "copies*content" haplotypes and "weight*copy1/copy2" individuals
// ('_' stands for a blank), or settings "name=value"; after ":" the expected
// values of the last sample (or of the record after the pass "all").
void run_row(const qnd_table::Row& row) {
  const std::vector<std::string>& t = row.tokens;
  const std::string pass = t.at(0);
  const TDataType type = type_named(t.at(1));
  settings s;
  std::map<std::string, double> est;  // theta pass: n S pi K sum L theta
  const size_t colon = static_cast<size_t>(std::find(t.begin() + 2, t.end(), ":") - t.begin());
  const bool nul = type == DNA || type == RFLP || std::count(t.begin(), t.end(), "sep=nul");
  SampleBuilder b(type, nul ? '\0' : ' ');
  LogCapture log;
  SumStat.clearValues();
  SumStat.resetComputationFlags();
  PopGenetics::globalSubstPolymSites.clear();
  Samples samples;
  auto add_pop = [&] {
    samples.pops.Add(SampleBuilder::new_sample(type).release());
    samples.pops[samples.pops.size() - 1]->name =
        my_string(std::string(1, 'A' + samples.pops.size() - 1));
  };
  for (size_t i = 2; i < colon; ++i) {
    std::string x = t[i];
    for (char& c : x) c = c == '_' ? ' ' : c;
    const size_t star = x.find('*'), eq = x.find('=');
    if (samples.pops.size() == 0 && star != std::string::npos) add_pop();
    Population* p = star != std::string::npos ? samples.pops[samples.pops.size() - 1] : nullptr;
    if (x == "|") {
      add_pop();
    } else if (star != std::string::npos && x.find('/') != std::string::npos) {
      const size_t slash = x.find('/');
      const double w = std::stod(x.substr(0, star));
      p->individuals.Add(
          new TPhenotype{{}, w, x.substr(star + 1, slash - star - 1), x.substr(slash + 1)});
      p->sample_size += w;
    } else if (star != std::string::npos) {
      b.add(*p, x.substr(star + 1), std::stoi(x.substr(0, star)));
    } else if (eq != std::string::npos) {
      const std::string k = x.substr(0, eq);
      const double v = eq + 1 < x.size() && std::isdigit(static_cast<unsigned char>(x[eq + 1]))
                           ? qnd_table::eval(x.substr(eq + 1))
                           : 0;
      const std::map<std::string, int*> ints = {
          {"dist", &s.DistanceMethod}, {"task", &s.TaskNumber},
          {"geno", &s.genotypicData},  {"phase", &s.gameticPhaseKnown},
          {"nsim", &s.NumSimulFuTest}, {"recessive", &samples.profile.RecessiveData}};
      if (ints.count(k)) *ints.at(k) = static_cast<int>(v);
      if (k == "miss") s.AllowedLevelOfMissingData = v;
      if (k == "tw") s.TransitionWeight = v;
      if (k == "variable") {  // the only site that varies in the pass; read only there
        PopGenetics::pass_variable_sites = {static_cast<int>(v)};
        PopGenetics::pass_sites_restricted = true;
      }
      if (k == "sel")  // every mean and s.d. column
        for (bool* flag :
             {&SumStat.MEAN_K, &SumStat.SD_K, &SumStat.MEAN_H, &SumStat.SD_H, &SumStat.MEAN_S,
              &SumStat.SD_S, &SumStat.MEAN_PI, &SumStat.SD_PI, &SumStat.MEAN_GW, &SumStat.SD_GW,
              &SumStat.MEAN_NGW, &SumStat.SD_NGW, &SumStat.MEAN_TAJIMAD, &SumStat.SD_TAJIMAD,
              &SumStat.MEAN_FUFS, &SumStat.SD_FUFS})
          *flag = true;
      if (pass == "theta") est[k] = v;
    } else {
      ADD_FAILURE() << "bad token " << x;
    }
  }
  if (samples.pops.size() == 0 && pass != "all") add_pop();
  for (int i = 0; i < samples.pops.size(); ++i) samples.pops[i]->index = i;
  TAllele::numPop = samples.pops.size();
  PopulDNA none;
  Population& last = samples.pops.size() ? *samples.pops[samples.pops.size() - 1] : none;
  std::ostringstream out;
  for (int i = 0; i < samples.pops.size(); ++i) {
    Population& p = *samples.pops[i];
    if (pass == "hapl" || pass == "ngw") {
      p.compare_haplotypes(s);
      p.OutputAllelelNumberAndHetPerLocusHapl(out, s, true, false, false);
    } else if (pass == "dipl") {
      p.compare_phenotypes(s);
      p.OutputAllelelNumberAndHetPerLocusDipl(out, s, true, false, false);
    } else if (pass == "poly") {
      p.individuals.size() ? p.compare_phenotypes(s) : p.compare_haplotypes(s);
    } else if (pass == "dna" || pass == "dnamd" || pass == "private") {
      static_cast<PopulDNA&>(p).compare_DNA_sequences(s);
    } else if (pass == "rflp" || pass == "rflpmd") {
      static_cast<PopulRFLP&>(p).compare_RFLP_haplotypes(s);
    } else if (pass == "gd") {
      p.calc_sample_homozygosity();
      p.calc_sample_sd_heterozygosity();
    } else if (pass == "sizes") {
      p.profile.GenotypicData = p.individuals.size() > 0;
      p.computeMeanAlleleSizes();
    }
    if (pass == "dnamd") static_cast<PopulDNA&>(p).compute_molecular_diversity(s);
    if (pass == "rflpmd") static_cast<PopulRFLP&>(p).compute_molecular_diversity(s);
  }
  double k_est = -1;
  if (pass == "theta") {
    const int n = static_cast<int>(est["n"]);
    if (est.count("S")) last.theta_S(n, static_cast<int>(est["S"]));
    last.sample_size = n;
    if (est.count("pi")) last.theta_pi(est["pi"]);
    if (est.count("K")) last.theta_k(n, static_cast<int>(est["K"]), 1e-7);
    if (est.count("sum")) last.set_pairwise_diversity(est["sum"], n, static_cast<int>(est["L"]));
    k_est = PopGenetics::k_est(est.count("K") ? last.theta_k_value : est["theta"], n);
  }
  std::vector<int> pooled, private_sites;
  if (pass == "ngw") {
    std::vector<const PopGenetics*> all;
    for (int i = 0; i < samples.pops.size(); ++i) all.push_back(samples.pops[i]);
    pooled = qnd_microsat::pooled_ranges(all, last.pass_num_loci);
    for (int i = 0; i < samples.pops.size(); ++i) samples.pops[i]->compute_modified_gw(pooled);
  }
  if (pass == "private") {
    samples.computeNumPrivateSubstSitesPerPop(s);
    for (int i = 0; i < samples.pops.size(); ++i)
      private_sites.push_back(samples.pops[i]->num_private_subst_sites);
  }
  EXPECT_EQ(pass == "all" ? samples.compute_stuff(nullptr, s) : 1, 1);
  qnd_table::Fields f;
  qnd_table::add_fields(
      f,
      "num_loci usable poly missing S ts_sites tv_sites ts tv subst indels usable_n poly_n "
      "rflp_poly pi copies k h ho mean_h sd_h mean_k sd_k mean_n gd hom sumsq gd_sd range gw "
      "min_size max_size mean_size mean_gw sd_gw mean_range sd_range ngw mean_ngw sd_ngw sizes",
      last.num_loci, last.locus_usable, last.locus_polymorphic, last.missing_fraction,
      last.num_subst_sites, last.num_transition_sites, last.num_transversion_sites,
      last.num_transitions, last.num_transversions, last.num_substitutions, last.num_indel_sites,
      last.num_usable_loci, last.num_usable_poly_loci, last.num_rflp_poly_sites,
      last.mean_pair_diff, last.locus_gene_copies, last.locus_num_alleles, last.locus_exp_het,
      last.locus_obs_het, last.mean_exp_het, last.sd_exp_het, last.mean_num_alleles,
      last.sd_num_alleles, last.mean_gene_copies, last.gene_diversity, last.homozygosity,
      last.sum_sq_freq, last.sd_gene_diversity, last.locus_range, last.locus_gw,
      last.locus_min_size, last.locus_max_size, last.locus_mean_size, last.mean_gw, last.sd_gw,
      last.mean_range, last.sd_range, last.locus_ngw, last.mean_ngw, last.sd_ngw,
      last.mean_allele_sizes);
  const TSumStat& r = SumStat;
  qnd_table::add_fields(
      f,
      "K Ksd H Hsd SS Ssd privS Pi D Dsd FS FSsd GW NGW R Rsd meanK sdK totK meanH sdH totH meanS "
      "sdS totS meanPi meanGW sdGW totGW meanNGW sdNGW meanR sdR totR",
      r.K, r.Ksd, r.H, r.Hsd, r.S, r.Ssd, r.privS, r.Pi, r.D, r.Dsd, r.FS, r.FSsd, r.GW, r.NGW, r.R,
      r.Rsd, r.meanK, r.sdK, r.totK, r.meanH, r.sdH, r.totH, r.meanS, r.sdS, r.totS, r.meanPi,
      r.meanGW, r.sdGW, r.totGW, r.meanNGW, r.sdNGW, r.meanR, r.sdR, r.totR);
  qnd_table::add_fields(
      f,
      "theta_s theta_s_sd theta_pi theta_pi_sd theta_k k_est pi_sd nd nd_sd pooled_range private "
      "distinct",
      last.theta_s_value, last.theta_s_sd, last.theta_pi_value, last.theta_pi_sd,
      last.theta_k_value, k_est, last.mean_pair_diff_sd, last.nucl_diversity,
      last.nucl_diversity_sd, pooled, private_sites, samples.num_distinct_haplotypes);
  f["db_loci"] = [] { return list(std::vector<int>{PopGenetics::globalAllelicDB.num_loci()}); };
  f["printed"] = [&] {  // the locus numbers of the per-locus table
    std::vector<int> loci;
    for (int i = 1; i < 10; ++i)
      if (out.str().find("\n  " + std::to_string(i) + "\t") != std::string::npos) loci.push_back(i);
    return list(loci);
  };
  qnd_table::expect_fields(t, colon + 1, f);
  EXPECT_TRUE(log.contains(row.log)) << log.text();
  SumStat.clearValues();
  SumStat.resetComputationFlags();
  TAllele::numPop = 0;
}

}  // namespace

TEST(SampleCases, EveryRow) {
  qnd_table::each_row("withinpop/sample_cases.txt", 40u, run_row);
}

// The allele database holds every allele met, with its copies and its
// frequency in each sample; a second pass leaks nothing from the first.
TEST(SampleCases, AlleleDatabaseAndSecondPass) {
  SampleBuilder b(STANDARD, ' ');
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  {
    Samples first;
    first.pops.Add(b.sample({"3*_a", "_?", "_b"}).release());
    first.pops.Add(b.sample({"2*_b"}).release());
    for (int i = 0; i < 2; ++i) first.pops[i]->index = i;
    TAllele::numPop = 2;
    first.compute_stuff(nullptr, s);
    const TAlleleDB& db = PopGenetics::globalAllelicDB;
    const TAllele *a = db.find(0, "a"), *bb = db.find(0, "b"), *q = db.find(0, "?");
    ASSERT_TRUE(a && bb && q);
    EXPECT_EQ(std::vector<double>({a->count * 1.0, bb->count * 1.0, q->count * 1.0, a->pop_freq[0],
                                   bb->pop_freq[0], a->pop_freq[1], bb->pop_freq[1],
                                   1.0 * gd::pooled_num_alleles(db.loci[0], '?', STANDARD),
                                   gd::pooled_gene_diversity(db.loci[0], '?', STANDARD)}),
              std::vector<double>({3, 3, 0, 0.75, 0.25, 0, 1, 2, 6.0 / 5.0 * 0.5}));
  }
  Samples second;  // one monomorphic sample, the record not cleared in between
  second.pops.Add(b.sample({"4*_a"}).release());
  second.compute_stuff(nullptr, s);
  EXPECT_EQ(list(SumStat.K), std::vector<double>{1.0});
  EXPECT_EQ(SumStat.totK + SumStat.totH, 1.0);
  EXPECT_EQ(PopGenetics::globalAllelicDB.find(0, "b")->count, 0);
  SumStat.clearValues();
  TAllele::numPop = 0;
  SampleBuilder m(MICROSAT, ' ');
  for (const char* a : {"_10", "_12"}) {
    Samples pass;
    pass.pops.Add(m.sample({a, a[2] == '0' ? "_30" : "_14"}).release());
    pass.compute_stuff(nullptr, s);
  }
  EXPECT_TRUE(SumStat.totR == 2.0 && std::fabs(SumStat.totGW - 2.0 / 3.0) < 1e-15) << SumStat.totGW;
  // s.d. over values: none below two values, and never the root of a rounding below 0.
  EXPECT_EQ(
      gd::sd_over(1, 5.0, 25.0) + gd::sd_over(3, 3 * 0.1, 3 * 0.1 * 0.1) + gd::allele_size("abc"),
      0.0);
  EXPECT_NEAR(gd::sd_over(4, 10.0, 30.0), std::sqrt(5.0 / 3.0), 1e-15);
  SumStat.clearValues();
}

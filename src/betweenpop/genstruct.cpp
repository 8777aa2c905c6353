// The project's genetic-structure computations: the distance matrix, the
// AMOVA with its pairwise comparisons, and the locus-by-locus AMOVA whose
// fixation indices are ratios of variance components summed over loci.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/errors.h"
#include "betweenpop/allele_count_sums.h"
#include "betweenpop/amova.h"
#include "betweenpop/distances.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "sumstat/sumstat.h"

namespace {

// The AMOVA of a project's structure, with the sums read from dm or, when
// given, from allele counts.
int run_amova(Project& project, DistMat& dm, Haplo_DB& haplo_db, Samples& smp, Structure& str,
              TAlleleDB& allele_db, amova_results* results, const AlleleCountSums* sums) {
  amova_results local;
  amova_results& r = results != nullptr ? *results : local;
  r.result_directory = project.result_directory;
  settings& s = project.s;
  Amova amova(s, str, smp, dm, haplo_db, allele_db, nullptr, 1, s.KeepNullDistrib, &r, sums);
  return (s.TaskNumber & kTaskAmova) ? r.success : 1;
}

// Gene copies and distinct haplotypes of each population of a structure, as
// the AMOVA counts them.
struct StructureSizes {
  std::vector<double> copies, distinct;
  double total = 0.0;
};

StructureSizes structure_sizes(const Structure& str) {
  StructureSizes z;
  for (const auto& group : str.groups) {
    if (!group) continue;
    for (const Population* pop : *group) {
      if (pop == nullptr) continue;
      double n = 0.0, k = 0.0;
      for (const PHaploDef* e : pop->haplotypes) {
        if (e == nullptr || e->count <= 0) continue;
        n += e->count;
        k += 1.0;
      }
      z.copies.push_back(n);
      z.distinct.push_back(k);
      z.total += n;
    }
  }
  return z;
}

double raised_permutations(int m) {
  int k = 0, raised = 0;
  Amova::permutation_batches(m, k, raised);
  return raised;
}

// Whether the sums from allele counts cost less than the matrix for this run,
// counted in elementary steps: the matrix costs a step per column for each
// pair of the H haplotypes to fill, then a step per pair of distinct
// haplotypes for every sum; the count path a step per column for each
// distinct haplotype of a population to count its alleles, then a step per
// allele slot for every sum. A permuted population holds up to min(n_p, H)
// distinct haplotypes. Beyond 2 GB the matrix is out of reach; beyond 1 GB of
// allele counts, the count path.
bool counts_cost_less(const AlleleCountSums& sums, const StructureSizes& z, const settings& s) {
  const double H = sums.num_haplotypes();
  const double W = std::max(1, sums.num_columns());
  const double S = sums.num_slots();
  const double P = static_cast<double>(z.copies.size());
  if (H * (H + 1) / 2 * sizeof(double) > 2147483648.0) return true;
  if (P * S * sizeof(std::int32_t) > 1073741824.0) return false;
  double k_sum = 0.0, k2_sum = 0.0, m_sum = 0.0, m2_sum = 0.0;
  for (size_t p = 0; p < z.copies.size(); ++p) {
    const double k = z.distinct[p], m = std::min(z.copies[p], H);
    k_sum += k;
    k2_sum += k * k;
    m_sum += m;
    m2_sum += m * m;
  }
  double matrix = H * (H - 1) / 2 * W + (k_sum * k_sum + k2_sum) / 2;
  double counts = k_sum * W + P * (P + 1) / 2 * S;
  if ((s.TaskNumber & kTaskAmova) && s.HaplAMOVA && s.NumPermutationsAMOVA > 0) {
    const double rounds = 4 * raised_permutations(s.NumPermutationsAMOVA);  // up to 4 tests
    matrix += rounds * m2_sum / 2;
    counts += rounds * (m_sum * W + P * S);
  }
  if ((s.TaskNumber & kTaskPairwiseFst) && (s.ComputePairwiseFST || s.PrintMissIntermatchs) &&
      s.NumPermutationsFST > 0) {
    // Over the pairs: sum (m_i + m_j)^2 / 2 cells, sum (m_i + m_j) W + 3 S steps.
    const double rounds = raised_permutations(s.NumPermutationsFST);
    matrix += rounds * ((P - 2) * m2_sum + m_sum * m_sum) / 2;
    counts += rounds * ((P - 1) * m_sum * W + P * (P - 1) / 2 * 3 * S);
  }
  return counts < matrix;
}

}  // namespace

int Project::AMOVA(DistMat& dm, Haplo_DB& haplo_db, Samples& smp, Structure& str,
                   TAlleleDB& allele_db, amova_results* results) {
  return run_amova(*this, dm, haplo_db, smp, str, allele_db, results, nullptr);
}

int Project::GenStructCalculations(std::ostream& out) {
  const bool genotypic = profile.GenotypicData != 0;
  const bool phase_known = profile.GameticPhase != 0;
  if (genotypic && profile.RecessiveData) {
    s.TaskNumber &= ~(kTaskAmova | kTaskPairwiseFst);
    out << "\n\nThe computation of AMOVA and PAIRWISE FST is"
        << "\nnot implemented yet with recessive data, sorry\n";
  } else if (genotypic) {
    if (!phase_known && s.ComputeConventionalFST) {
      const char* const lines[] = {
          "\n\nThe computation of AMOVA with the option \"CONVENTIONAL FST\" is",
          "\nnot possible with unknown gametic phase data.\n",
          "SKIPPING COMPUTATION OF GENETIC STRUCTURE\n"};
      for (const char* l : lines) {
        out << l;
        if (!silentQuendris) std::cout << l;
      }
      E.error(Warning, "GenStructCalculations()", 202);
      s.TaskNumber &= ~(kTaskAmova | kTaskPairwiseFst);
    }
    // Gene copies from the individuals, once for the samples of this pass.
    bool pending = false;
    for (Population* p : current_samples->pops)
      pending = pending || (p != nullptr && !p->gametes_built);
    if (pending) {
      *_AOS_ << "\tConverting phenotypic to haplotypic data ...\n";
      current_samples->phen_to_gam(&haplotypes, &profile, &s);
    }
  }

  const int task = s.TaskNumber;
  const bool needs_distances =
      ((task & kTaskAmova) && s.HaplAMOVA) ||
      ((task & kTaskPairwiseFst) && (s.ComputePairwiseFST || s.PrintMissIntermatchs)) ||
      (task & kTaskMantelTest);
  // The sums of squared distances come from allele counts when the distance
  // allows it exactly and that costs less than the matrix; else from the matrix.
  std::shared_ptr<const ListCountSums> run;
  const AlleleCountSums* sums = nullptr;
  if (needs_distances && (s.ComputeDistanceMatrixAMOVA || s.ComputeConventionalFST)) {
    run = project_count_sums(*this, s.DistanceMethodAMOVA, s.GammaAValueAMOVA);
    const StructureSizes sizes = structure_sizes(*current_structure);
    if (run->sums && run->sums->exact_for(sizes.total) && counts_cost_less(*run->sums, sizes, s)) {
      report_count_sums(*run, s, result_directory);
      sums = run->sums.get();
    } else if (!calc_dist_matrix(s.DistanceMethodAMOVA, s.GammaAValueAMOVA)) {
      return 0;
    }
  }

  *_AOS_ << "\t\tComputing F statistics ...\n";
  int ok = 1;
  if (s.HaplAMOVA) {
    ok = run_amova(*this, distmat, haplotypes, *current_samples, *current_structure,
                   PopGenetics::globalAllelicDB, nullptr, sums);
  } else if (task & kTaskAmova) {
    s.TaskNumber &= ~kTaskAmova;
    ok = run_amova(*this, distmat, haplotypes, *current_samples, *current_structure,
                   PopGenetics::globalAllelicDB, nullptr, sums);
    s.TaskNumber = task;
  }

  if (s.LocByLocAMOVA) {
    const int saved_task = s.TaskNumber;
    const int saved_pairwise = s.ComputePairwiseFST;
    const int saved_dmu = s.ComputeDeltaMuSqr;
    s.TaskNumber = kTaskAmova;
    s.ComputePairwiseFST = 0;
    s.ComputeDeltaMuSqr = 0;
    LocusByLocusAMOVA(out);
    s.TaskNumber = saved_task;
    s.ComputePairwiseFST = saved_pairwise;
    s.ComputeDeltaMuSqr = saved_dmu;
  }
  return ok;
}

namespace {

// The allele of one locus in a haplotype's content (see mean_allele_sizes_of
// for the layouts), as the content of a one-locus haplotype.
std::vector<std::string> locus_keys(const std::string& content) {
  std::vector<std::string> keys;
  if (ProfileSettings::DataType == DNA || ProfileSettings::DataType == RFLP ||
      content.find(' ') == std::string::npos) {
    for (char c : content) keys.emplace_back(1, c);
    return keys;
  }
  size_t i = 0;
  while (i < content.size()) {
    while (i < content.size() && content[i] == ' ') ++i;
    size_t e = i;
    while (e < content.size() && content[e] != ' ') ++e;
    if (e > i) keys.push_back(" " + content.substr(i, e - i));
    i = e;
  }
  return keys;
}

// Sums of the variance components over loci, and the indices as their ratios.
struct LocusSums {
  double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
  int loci = 0;
};

double ratio(double num, double den) { return den != 0.0 ? num / den : 0.0; }

}  // namespace

int Project::LocusByLocusAMOVA(std::ostream& out) {
  Structure& str = *current_structure;
  Samples& smp = *current_samples;
  if (haplotypes.size() == 0 || ProfileSettings::DataType == FREQUENCY) {
    out << "\nLocus-by-locus AMOVA is not possible with these data\n";
    return 0;
  }
  // Alleles per locus of every haplotype of the list.
  std::vector<std::vector<std::string>> keys(static_cast<size_t>(haplotypes.size()));
  size_t num_loci = 0;
  std::unordered_map<const HaploDef*, int> index_of;
  for (int h = 0; h < haplotypes.size(); ++h) {
    keys[static_cast<size_t>(h)] = locus_keys(haplotypes[h]->content);
    num_loci = std::max(num_loci, keys[static_cast<size_t>(h)].size());
    index_of.emplace(haplotypes[h], h);
  }

  const int saved_perm = s.NumPermutationsAMOVA;
  const int saved_hapl = s.HaplAMOVA;
  const int saved_lbl = s.LocByLocAMOVA;
  const bool saved_global = SumStat.GLOBAL_FSTAT;
  s.NumPermutationsAMOVA = 0;
  s.HaplAMOVA = 0;  // no per-locus missing-data report
  s.LocByLocAMOVA = 0;
  SumStat.GLOBAL_FSTAT = false;

  LocusSums sums;
  int design = 0;
  out << "\n\nLocus-by-locus AMOVA\nLocus\tVa\tVb\tVc\tVd\n";
  for (size_t l = 0; l < num_loci; ++l) {
    // One-locus haplotypes and samples in structure order.
    Haplo_DB list;
    std::vector<HaploDef*> of(static_cast<size_t>(haplotypes.size()), nullptr);
    std::unordered_map<const HaploDef*, int> position;
    for (int h = 0; h < haplotypes.size(); ++h) {
      const auto& k = keys[static_cast<size_t>(h)];
      const std::string key = l < k.size() ? k[l] : std::string(1, profile.MissingData);
      HaploDef* found = list.find(key);
      if (found == nullptr) {
        auto def = std::make_unique<HaploDef>(my_string("l" + std::to_string(list.size() + 1)));
        def->content = key;
        if (list.add(def.get()) == 0) break;
        found = def.release();
        position.emplace(found, list.size() - 1);
      }
      of[static_cast<size_t>(h)] = found;
    }
    std::vector<int> copies(static_cast<size_t>(list.size()), 0);
    Samples locus_samples;
    locus_samples.profile = smp.profile;
    Structure locus_structure;
    for (const auto& group : str.groups) {
      if (!group) continue;
      locus_structure.add_group();
      for (const Population* p : *group) {
        if (p == nullptr) continue;
        auto pop = std::make_unique<Population>();
        pop->profile = p->profile;
        pop->name = p->name;
        std::unordered_map<const HaploDef*, PHaploDef*> entry;
        auto map_entry = [&](const PHaploDef* e) -> HaploDef* {
          const auto it = index_of.find(e->hap);
          return it == index_of.end() ? nullptr : of[static_cast<size_t>(it->second)];
        };
        for (const PHaploDef* e : p->haplotypes) {
          HaploDef* hl = e != nullptr ? map_entry(e) : nullptr;
          if (hl == nullptr || e->count <= 0) continue;
          copies[static_cast<size_t>(position[hl])] += e->count;
          auto [it, fresh] = entry.emplace(hl, nullptr);
          if (fresh) {
            it->second = new PHaploDef(hl, e->count);
            pop->haplotypes.Add(it->second);
          } else {
            it->second->add_copies(e->count);
          }
        }
        for (const PHaploDef* e : p->gametes) {
          HaploDef* hl = e != nullptr ? map_entry(e) : nullptr;
          if (hl != nullptr) pop->gametes.Add(new PHaploDef(hl, e->count));
        }
        pop->gametes_built = p->gametes_built;
        locus_structure.groups.back()->Add(pop.get());
        locus_samples.pops.Add(pop.release());
      }
    }
    locus_structure.NbGroups = static_cast<int>(locus_structure.groups.size());
    DistMat dm;
    if (!calc_haplotype_dist_matrix(list, profile, copies, s, result_directory, dm,
                                    s.DistanceMethodAMOVA, s.GammaAValueAMOVA)) {
      out << l + 1 << "\tdistances could not be computed\n";
      continue;
    }
    amova_results r;
    r.result_directory = result_directory;
    Amova amova(s, locus_structure, locus_samples, dm, list, PopGenetics::globalAllelicDB, nullptr,
                0, 0, &r);
    if (!r.success) {
      out << l + 1 << "\tnot computed\n";
      continue;
    }
    design = r.design;
    sums.a += amova.sigma2a;
    sums.b += amova.sigma2b;
    sums.c += amova.sigma2c;
    sums.d += amova.sigma2d;
    ++sums.loci;
    out << l + 1 << '\t' << amova.sigma2a << '\t' << amova.sigma2b << '\t' << amova.sigma2c << '\t'
        << amova.sigma2d << '\n';
  }
  s.NumPermutationsAMOVA = saved_perm;
  s.HaplAMOVA = saved_hapl;
  s.LocByLocAMOVA = saved_lbl;
  SumStat.GLOBAL_FSTAT = saved_global;
  if (sums.loci == 0) return 0;

  // Indices of the average over loci: ratios of summed components.
  const double a = sums.a, b = sums.b, c = sums.c, d = sums.d;
  double FIS = 0, FST = 0, FCT = 0, FSC = 0, FIT = 0;
  bool hFIS = false, hFST = false, hFCT = false, hFSC = false, hFIT = false;
  switch (design) {
    case Amova::k1G1PI:
      FIS = ratio(a, a + b);
      hFIS = true;
      break;
    case Amova::k1GPH:
    case Amova::k1GPIH:
      FST = ratio(a, a + b);
      hFST = true;
      break;
    case Amova::k1GPI:
      FST = ratio(a, a + b + c);
      FIT = ratio(a + b, a + b + c);
      FIS = ratio(b, b + c);
      hFST = hFIT = hFIS = true;
      break;
    case Amova::kGPH:
    case Amova::kGPIH:
      FST = ratio(a + b, a + b + c);
      FCT = ratio(a, a + b + c);
      FSC = ratio(b, b + c);
      hFST = hFCT = hFSC = true;
      break;
    case Amova::kGPI:
      FCT = ratio(a, a + b + c + d);
      FIT = ratio(a + b + c, a + b + c + d);
      FSC = ratio(b, b + c + d);
      FIS = ratio(c, c + d);
      hFCT = hFIT = hFSC = hFIS = true;
      break;
    default:
      break;
  }
  out << "\nAverage over " << sums.loci << " loci:";
  if (hFIS) out << "\nFIS : " << FIS;
  if (hFSC) out << "\nFSC : " << FSC;
  if (hFST) out << "\nFST : " << FST;
  if (hFCT) out << "\nFCT : " << FCT;
  if (hFIT) out << "\nFIT : " << FIT;
  out << '\n';
  store_fixation_indices(hFIS, FIS, hFST, FST, hFCT, FCT, hFSC, FSC, hFIT, FIT);
  return 1;
}

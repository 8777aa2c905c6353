// Analysis of molecular variance (AMOVA, 1992): the sums of squared distances
// between gene copies are split into hierarchical levels (among groups, among
// populations, among individuals, within individuals), turned into variance
// components and fixation indices, and every component is tested by permuting
// gene copies, individuals or populations at its level.
#include "betweenpop/amova.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iomanip>
#include <ostream>
#include <unordered_map>

#include "base/errors.h"
#include "betweenpop/distances.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/random.h"

namespace {

// The two cell values of a constant-mode matrix. Every cell of that mode holds
// one of them whatever its indices, so they are read once.
void constant_cells(const TriMat& d2, double& diag, double& off) {
  diag = d2.size() > 0 ? d2(0, 0) : 0.0;
  off = d2.size() > 1 ? d2(1, 0) : 0.0;
}

double uniform() {
  int idum = 1;  // positive: the stream continues, never reseeded
  return ran3(&idum);
}

// The gene copies of a population as the AMOVA counts them: for genotypic data
// the individuals' copies (two adjacent entries each) when they are listed,
// else the haplotype entries with their counts.
const MY_TIArrayAsVector<PHaploDef>& gene_copy_list(const Population& pop, bool genotypic) {
  return genotypic && pop.gametes.GetItemsInContainer() > 0 ? pop.gametes : pop.haplotypes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Per-population counts and sums.
// ---------------------------------------------------------------------------

int PopGenetics::CreatePermutationVectors(int num_haplotypes) {
  try {
    perm_slot.assign(static_cast<size_t>(num_haplotypes > 0 ? num_haplotypes : 0), -1);
    perm_haps.clear();
    perm_counts.clear();
    perm_size = 0;
  } catch (const std::exception&) {
    E.error(Memory, "Population::CreatePermutationVectors()", 0);
    return 0;
  }
  return 1;
}

void PopGenetics::ReleasePermutationVectors() {
  std::vector<int>().swap(perm_slot);
  std::vector<int>().swap(perm_haps);
  std::vector<int>().swap(perm_counts);
  perm_size = 0;
}

void PopGenetics::SetUpVectorsAfterPermutation(const int* slice, int n) {
  for (int h : perm_haps) perm_slot[static_cast<size_t>(h)] = -1;
  perm_haps.clear();
  perm_counts.clear();
  for (int i = 0; i < n; ++i) {
    const int h = slice[i];
    if (h < 0) continue;
    if (static_cast<size_t>(h) >= perm_slot.size())
      perm_slot.resize(static_cast<size_t>(h) + 1, -1);
    int& slot = perm_slot[static_cast<size_t>(h)];
    if (slot < 0) {
      slot = static_cast<int>(perm_haps.size());
      perm_haps.push_back(h);
      perm_counts.push_back(1);
    } else {
      ++perm_counts[static_cast<size_t>(slot)];
    }
  }
  perm_size = n;
}

void PopGenetics::SetUpVectorsFromCounts(const std::vector<int>& haps,
                                         const std::vector<int>& counts, int n) {
  for (int h : perm_haps) perm_slot[static_cast<size_t>(h)] = -1;
  perm_haps = haps;
  perm_counts = counts;
  for (size_t a = 0; a < perm_haps.size(); ++a) {
    const size_t h = static_cast<size_t>(perm_haps[a]);
    if (h >= perm_slot.size()) perm_slot.resize(h + 1, -1);
    perm_slot[h] = static_cast<int>(a);
  }
  perm_size = n;
}

double PopGenetics::ComputeSSDWP(const TriMat& d2) const {
  const size_t k = perm_haps.size();
  if (d2.is_constant()) {
    double diag = 0.0, off = 0.0;
    constant_cells(d2, diag, off);
    double same_pairs = 0.0, all = 0.0, squares = 0.0;
    for (size_t a = 0; a < k; ++a) {
      const double c = perm_counts[a];
      same_pairs += c * (c - 1.0) / 2.0;
      all += c;
      squares += c * c;
    }
    return same_pairs * diag + (all * all - squares) / 2.0 * off;
  }
  double sum = 0.0;
  for (size_t a = 1; a < k; ++a) {
    const double ca = perm_counts[a];
    const int ha = perm_haps[a];
    for (size_t b = 0; b < a; ++b) sum += ca * perm_counts[b] * d2.cell(ha, perm_haps[b]);
  }
  return sum;
}

double PopGenetics::SSDWP_div_freq(const TriMat& d2) const {
  return perm_size > 0 ? ComputeSSDWP(d2) / perm_size : 0.0;
}

double PopGenetics::ComputeSSDAP(const PopGenetics& other, const TriMat& d2) const {
  const size_t kp = perm_haps.size();
  const size_t kq = other.perm_haps.size();
  if (d2.is_constant()) {
    double diag = 0.0, off = 0.0;
    constant_cells(d2, diag, off);
    double shared = 0.0;
    for (size_t a = 0; a < kp; ++a) {
      const size_t h = static_cast<size_t>(perm_haps[a]);
      if (h < other.perm_slot.size() && other.perm_slot[h] >= 0) {
        shared += static_cast<double>(perm_counts[a]) *
                  other.perm_counts[static_cast<size_t>(other.perm_slot[h])];
      }
    }
    const double all = static_cast<double>(perm_size) * other.perm_size;
    return shared * diag + (all - shared) * off;
  }
  double sum = 0.0;
  for (size_t a = 0; a < kp; ++a) {
    const double ca = perm_counts[a];
    const int ha = perm_haps[a];
    for (size_t b = 0; b < kq; ++b) {
      sum += ca * other.perm_counts[b] * d2.cell(ha, other.perm_haps[b]);
    }
  }
  return sum;
}

// ---------------------------------------------------------------------------
// Construction and set-up.
// ---------------------------------------------------------------------------

Amova::Amova(settings& s_, Structure& structure_, Samples& samples_, DistMat& distmat_,
             Haplo_DB& haplo_db_, TAlleleDB& allele_db_, void* mantel_, int print_flag_, int flag2_,
             amova_results* results_)
    : Amova(s_, structure_, samples_, distmat_, haplo_db_, allele_db_, mantel_, print_flag_, flag2_,
            results_, nullptr) {}

Amova::Amova(settings& s_, Structure& structure_, Samples& samples_, DistMat& distmat_,
             Haplo_DB& haplo_db_, TAlleleDB& allele_db_, void* mantel_, int print_flag_, int flag2_,
             amova_results* results_, const AlleleCountSums* sums_)
    : s(s_),
      structure(structure_),
      samples(samples_),
      distmat(distmat_),
      haplo_db(haplo_db_),
      allele_db(allele_db_),
      mantel(mantel_),
      print_flag(print_flag_),
      flag2(flag2_),
      results(results_),
      sums(sums_) {
  const int ok = initialize();
  if (ok) {
    design = choose_design();
    if (results != nullptr) results->design = design;
    if (print_flag) {
      if (s.ComputeConventionalFST) {
        *_AOS_ << "\nComputing conventional F-Statistics from haplotype frequencies";
      } else if (s.ComputeDistanceMatrixAMOVA) {
        *_AOS_ << "\nDistance method: " << distance_method_label(s.DistanceMethodAMOVA);
      }
    }
    if (s.TaskNumber & kTaskAmova) run_design();
  }
  for (Population* p : observed_pops) p->ReleasePermutationVectors();
  if (ok && ((s.TaskNumber & kTaskPairwiseFst) || (s.TaskNumber & kTaskMantelTest) ||
             s.ComputeDeltaMuSqr)) {
    CalcPairDist();
  }
}

Amova::~Amova() {
  for (Population* p : observed_pops) p->ReleasePermutationVectors();
}

const char* Amova::distance_method_label(int method) {
  return qnd_dist::distance_label(ProfileSettings::DataType, method);
}

int Amova::initialize() {
  individual_level = s.IncludeIndividualLevel;
  num_permutations = s.NumPermutationsAMOVA;
  {
    char buf[64];
    const std::time_t now = std::time(nullptr);
    const std::tm* tm = std::localtime(&now);
    time_text =
        tm != nullptr && std::strftime(buf, sizeof buf, "%d/%m/%Y at %H:%M:%S)", tm) > 0 ? buf : "";
  }

  // Populations in structure order, and the group lists as positions.
  observed_pops.clear();
  group_pops.clear();
  pops_per_group.clear();
  for (const auto& group : structure.groups) {
    if (!group) continue;
    std::vector<int> members;
    for (Population* p : *group) {
      if (p == nullptr) continue;
      members.push_back(static_cast<int>(observed_pops.size()));
      observed_pops.push_back(p);
    }
    group_pops.push_back(members);
    pops_per_group.push_back(static_cast<int>(members.size()));
  }
  G = static_cast<int>(group_pops.size());
  P = static_cast<int>(observed_pops.size());
  pop_array.resize(static_cast<size_t>(P));
  for (int p = 0; p < P; ++p) pop_array[static_cast<size_t>(p)] = p;

  const ProfileSettings& prof = P > 0 && observed_pops[0]->profile.GenotypicData
                                    ? observed_pops[0]->profile
                                    : samples.profile;
  genotypic = prof.GenotypicData != 0;
  phase_known = prof.GameticPhase != 0;

  // Matrix index of every haplotype of the list.
  index_of_.clear();
  index_of_.reserve(static_cast<size_t>(haplo_db.size()));
  for (int i = 0; i < haplo_db.size(); ++i) index_of_.emplace(haplo_db[i], i);
  const TriMat& d2 = distmat.tri;
  const int num_haps =
      sums != nullptr ? sums->num_haplotypes() : std::max(d2.size(), haplo_db.size());

  // The observed composition of every population, from its distinct
  // haplotypes and their counts (gene copies of individuals for genotypic
  // data). The copies of all populations must stay countable in an int.
  const long long copies_limit = static_cast<long long>(INT_MAX) - P - 1;
  long long total = 0;
  observed_haps.assign(static_cast<size_t>(P), {});
  observed_counts.assign(static_cast<size_t>(P), {});
  pop_offset.assign(static_cast<size_t>(P), 0);
  pop_n.assign(static_cast<size_t>(P), 0);
  std::vector<int> slot(static_cast<size_t>(num_haps), -1);
  for (int p = 0; p < P; ++p) {
    const Population& pop = *observed_pops[static_cast<size_t>(p)];
    std::vector<int>& haps = observed_haps[static_cast<size_t>(p)];
    std::vector<int>& counts = observed_counts[static_cast<size_t>(p)];
    long long copies = 0;
    for (const PHaploDef* e : gene_copy_list(pop, genotypic)) {
      if (e == nullptr || e->count <= 0) continue;
      const auto found = index_of_.find(e->hap);
      if (found == index_of_.end()) {
        E.error(Error, "Amova::initialize()", 173);
        return 0;
      }
      const bool outside = sums != nullptr ? found->second >= num_haps
                                           : !d2.is_constant() && found->second >= d2.size();
      if (outside) {
        E.error(Error, "Amova::initialize()", 135);
        return 0;
      }
      if (e->count > copies_limit - total - copies) E.error(Memory, "Amova::initialize()", 0);
      copies += e->count;
      int& k = slot[static_cast<size_t>(found->second)];
      if (k < 0) {
        k = static_cast<int>(haps.size());
        haps.push_back(found->second);
        counts.push_back(e->count);
      } else {
        counts[static_cast<size_t>(k)] += e->count;
      }
    }
    for (int h : haps) slot[static_cast<size_t>(h)] = -1;
    pop_offset[static_cast<size_t>(p)] = static_cast<int>(total);
    pop_n[static_cast<size_t>(p)] = static_cast<int>(copies);
    total += copies;
  }
  N = static_cast<int>(total);

  n_g.assign(static_cast<size_t>(G), 0.0);
  group_offset.assign(static_cast<size_t>(G), 0);
  group_size.assign(static_cast<size_t>(G), 0);
  SSD_group.assign(static_cast<size_t>(G), 0.0);
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    group_offset[static_cast<size_t>(g)] =
        members.empty() ? 0 : pop_offset[static_cast<size_t>(members.front())];
    for (int p : members) group_size[static_cast<size_t>(g)] += pop_n[static_cast<size_t>(p)];
    n_g[static_cast<size_t>(g)] = group_size[static_cast<size_t>(g)];
  }
  SSDG.resize(G);
  SSDP.resize(P);

  for (Population* p : observed_pops) {
    if (!p->CreatePermutationVectors(num_haps)) return 0;
  }
  version_.assign(static_cast<size_t>(P), 0);
  observed_profiles_.assign(sums != nullptr ? static_cast<size_t>(P) : 0, {});
  current_profiles_.assign(sums != nullptr ? static_cast<size_t>(P) : 0, {});
  observed_profile_built_.assign(static_cast<size_t>(P), 0);
  current_profile_version_.assign(static_cast<size_t>(P), -1);
  for (int p = 0; p < P; ++p) set_observed_composition(p);

  const int planned = choose_design();
  const bool tests = amova_tests_run(planned) || pairwise_tests_run();
  const bool individuals = planned == k1G1PI || planned == k1GPI || planned == kGPI;
  if (tests || individuals) build_gene_copy_vectors(tests);
  if (individual_level) I = N / 2;
  SSD_WI_pop.assign(static_cast<size_t>(P), 0.0);
  compute_SSDP();
  SSDP_obs = SSDP;
  pop_FST.assign(static_cast<size_t>(P), 0.0);
  pop_FIS.assign(static_cast<size_t>(P), 0.0);
  return 1;
}

int Amova::choose_design() const {
  const int L = individual_level;
  const int CF = s.ComputeConventionalFST;
  const int R = s.RecessiveAllelesEM;
  const int p1 = G > 0 ? pops_per_group[0] : 0;
  if (!genotypic || (phase_known && !L)) {
    if (G == 1 && p1 > 1) return k1GPH;
    if (G > 1) return kGPH;
    return kNone;
  }
  if (phase_known) {  // L on
    if (G == 1) return p1 == 1 ? k1G1PI : (p1 > 1 ? k1GPI : kNone);
    return G > 1 ? kGPI : kNone;
  }
  if (R) {
    if (G == 1 && p1 > 1) return k1GPRIH;
    return G > 1 ? kGPRIH : kNone;
  }
  if (L) {
    if (G == 1) {
      if (p1 >= 2) return CF == 0 ? k1GPI : k1GPIH;
      return CF == 0 ? k1G1PI : kNone;
    }
    if (G > 1) return CF == 0 ? kGPI : kGPIH;
    return kNone;
  }
  if (G == 1 && p1 > 1) return k1GPIH;
  return G > 1 ? kGPIH : kNone;
}

int Amova::run_design() {
  static const int kResultNumber[11] = {0, 0, 6, 1, 2, 3, 4, 7, 5, 9, 8};
  if (results != nullptr) {
    results->design = design;
    results->design_number = design >= 0 && design <= 10 ? kResultNumber[design] : 0;
  }
  int ok = 0;
  switch (design) {
    case k1G1PI:
      ok = AMOVA_1G_1P_I();
      break;
    case k1GPH:
      ok = AMOVA_1G_P_H();
      break;
    case k1GPI:
      ok = AMOVA_1G_P_I();
      break;
    case kGPH:
      ok = AMOVA_G_P_H();
      break;
    case kGPI:
      ok = AMOVA_G_P_I();
      break;
    case k1GPIH:
      ok = AMOVA_1G_P_IH();
      break;
    case kGPIH:
      ok = AMOVA_G_P_IH();
      break;
    case k1GPRIH:
      ok = AMOVA_1G_P_RIH();
      break;
    case kGPRIH:
      ok = AMOVA_G_P_RIH();
      break;
    default:
      ok = 0;
      break;
  }
  if (results != nullptr) {
    results->success = ok;
    results->SSD.assign(std::begin(SSD), std::end(SSD));
    results->MSD.assign(std::begin(MSD), std::end(MSD));
    results->df.assign(std::begin(df), std::end(df));
    results->sigma2 = {sigma2a, sigma2b, sigma2c, sigma2d};
    results->SSD_total = SSD_total;
    results->sigma2_T = sigma2T;
    results->n = n;
    results->n_prime = n_prime;
    results->n_second = n_second;
    results->FIS = FIS;
    results->FIT = FIT;
    results->FCT = FCT;
    results->FSC = FSC;
    results->FST = FST;
    results->pop_FST = pop_FST;
    results->pop_FIS = pop_FIS;
  }
  return ok;
}

// ---------------------------------------------------------------------------
// Sums of squares.
// ---------------------------------------------------------------------------

bool Amova::amova_tests_run(int d) const {
  return (s.TaskNumber & kTaskAmova) && num_permutations > 0 && d >= k1G1PI && d <= kGPIH;
}

bool Amova::pairwise_tests_run() const {
  const bool pairwise =
      (s.TaskNumber & kTaskPairwiseFst) || (s.TaskNumber & kTaskMantelTest) || s.ComputeDeltaMuSqr;
  return pairwise && s.NumPermutationsFST >= 1 && (s.ComputePairwiseFST || s.PrintMissIntermatchs);
}

// One entry per gene copy, population after population: a haplotype entry
// gives its count of copies in a row, a pair of individual copies (genotypic
// data) gives its two copies side by side, once per individual.
void Amova::build_gene_copy_vectors(bool for_tests) {
  if (N > kMaxPermutedGeneCopies) {
    E.error(Memory, "Amova::initialize()", 0);
    throw MemoryException;  // also when no log is open to report it
  }
  try {
    observed_vector.clear();
    observed_vector.reserve(static_cast<size_t>(N));
    for (const Population* pop : observed_pops) {
      const MY_TIArrayAsVector<PHaploDef>& list = gene_copy_list(*pop, genotypic);
      if (&list == &pop->gametes) {
        for (int i = 0; i + 1 < list.size(); i += 2) {
          const PHaploDef* a = list[i];
          const PHaploDef* b = list[i + 1];
          if (a == nullptr || b == nullptr || a->count <= 0) continue;
          const int ha = index_of_.at(a->hap), hb = index_of_.at(b->hap);
          for (int c = 0; c < a->count; ++c) {
            observed_vector.push_back(ha);
            observed_vector.push_back(hb);
          }
        }
        continue;
      }
      for (const PHaploDef* e : list) {
        if (e == nullptr || e->count <= 0) continue;
        observed_vector.insert(observed_vector.end(), static_cast<size_t>(e->count),
                               index_of_.at(e->hap));
      }
    }
    if (for_tests) {
      index_vector.assign(static_cast<size_t>(N) + static_cast<size_t>(P) + 1, -1);
      std::copy(observed_vector.begin(), observed_vector.end(), index_vector.begin());
    }
  } catch (const std::bad_alloc&) {
    E.error(Memory, "Amova::initialize()", 0);
  }
}

void Amova::recount(int p, const int* copies, int num_copies) {
  observed_pops[static_cast<size_t>(p)]->SetUpVectorsAfterPermutation(copies, num_copies);
  version_[static_cast<size_t>(p)] = ++next_version_;
}

void Amova::set_observed_composition(int p) {
  observed_pops[static_cast<size_t>(p)]->SetUpVectorsFromCounts(
      observed_haps[static_cast<size_t>(p)], observed_counts[static_cast<size_t>(p)],
      pop_n[static_cast<size_t>(p)]);
  version_[static_cast<size_t>(p)] = 0;
}

const AlleleCountSums::Profile& Amova::profile(int p) {
  const size_t i = static_cast<size_t>(p);
  if (version_[i] == 0) {
    if (!observed_profile_built_[i]) {
      sums->fill_profile(observed_haps[i], observed_counts[i], observed_profiles_[i]);
      observed_profile_built_[i] = 1;
    }
    return observed_profiles_[i];
  }
  if (current_profile_version_[i] != version_[i]) {
    const Population& pop = *observed_pops[i];
    sums->fill_profile(pop.perm_haps, pop.perm_counts, current_profiles_[i]);
    current_profile_version_[i] = version_[i];
  }
  return current_profiles_[i];
}

double Amova::within_sum(int p) {
  if (sums == nullptr) return observed_pops[static_cast<size_t>(p)]->ComputeSSDWP(distmat.tri);
  return sums->value(sums->within(profile(p)));
}

double Amova::between_sum(int p, int q) {
  if (sums == nullptr) {
    return observed_pops[static_cast<size_t>(p)]->ComputeSSDAP(
        *observed_pops[static_cast<size_t>(q)], distmat.tri);
  }
  const AlleleCountSums::Profile& a = profile(p);
  return sums->value(sums->between(a, profile(q)));
}

double Amova::pair_d2(int h1, int h2) {
  if (sums == nullptr) return distmat.tri(h1, h2);
  // The pairs met within individuals, each computed once (up to a million of
  // them: shuffled individuals can pair any two haplotypes).
  constexpr size_t kMaxCachedPairs = 1 << 20;
  const std::uint64_t key = (static_cast<std::uint64_t>(std::min(h1, h2)) << 32) |
                            static_cast<std::uint32_t>(std::max(h1, h2));
  const auto found = pair_d2_cache_.find(key);
  if (found != pair_d2_cache_.end()) return found->second;
  const double d2 = sums->value(sums->distance(h1, h2));
  if (pair_d2_cache_.size() < kMaxCachedPairs) pair_d2_cache_.emplace(key, d2);
  return d2;
}

void Amova::compute_SSDP() {
  for (int p = 0; p < P; ++p) {
    SSDP.at(p, p) = within_sum(p);
    for (int q = 0; q < p; ++q) SSDP.at(p, q) = between_sum(p, q);
  }
}

void Amova::update_SSDP_diagonal() {
  for (int p = 0; p < P; ++p) SSDP.at(p, p) = within_sum(p);
}

double Amova::compute_total_SSD() {
  double total = 0.0;
  for (int p = 0; p < P; ++p) total += SSDP(p, p);
  for (int p = 0; p < P; ++p) {
    for (int q = p + 1; q < P; ++q) total += SSDP(q, p);
  }
  return total;
}

double Amova::compute_SSDWP() {
  double sum = 0.0;
  for (int p = 0; p < P; ++p) {
    const int np = pop_n[static_cast<size_t>(p)];
    if (np > 0) sum += SSDP(p, p) / np;
  }
  return sum;
}

double Amova::compute_SSDWI() {
  // The current arrangement: the shuffled one during the tests.
  const std::vector<int>& v = index_vector.empty() ? observed_vector : index_vector;
  double total = 0.0;
  for (int p = 0; p < P; ++p) {
    const int o = pop_offset[static_cast<size_t>(p)];
    const int np = pop_n[static_cast<size_t>(p)];
    double sum = 0.0;
    for (int i = o; i + 1 < o + np; i += 2)
      sum += pair_d2(v[static_cast<size_t>(i)], v[static_cast<size_t>(i) + 1]);
    SSD_WI_pop[static_cast<size_t>(p)] = sum / 2.0;
    total += sum / 2.0;
  }
  return total;
}

void Amova::compute_SSDG_SSDAG() {
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    double S = 0.0, size = 0.0;
    for (size_t a = 0; a < members.size(); ++a) {
      size += pop_n[static_cast<size_t>(members[a])];
      for (size_t b = 0; b <= a; ++b) S += SSDP(members[a], members[b]);
    }
    n_g[static_cast<size_t>(g)] = size;
    SSDG.at(g, g) = S;
    SSD_group[static_cast<size_t>(g)] = size > 0 ? S / size : 0.0;
  }
}

double Amova::compute_SSDAG() {
  compute_SSDG_SSDAG();
  double sum = 0.0;
  for (int g = 0; g < G; ++g) sum += SSD_group[static_cast<size_t>(g)];
  return sum;
}

// ---------------------------------------------------------------------------
// Designs.
// ---------------------------------------------------------------------------

namespace {

bool any_zero_df(std::initializer_list<int> dfs) {
  for (int d : dfs) {
    if (d <= 0) return true;  // a negative count means an empty population: as ill-defined
  }
  return false;
}

}  // namespace

int Amova::AMOVA_1G_P_H() {
  const char* name = design == k1GPIH ? "Amova::AMOVA_1G_P_IH()" : "Amova::AMOVA_1G_P_H()";
  df[0] = P - 1;
  df[1] = N - P;
  if (any_zero_df({df[0], df[1]})) {
    E.error(Error, name, 2);
    return 0;
  }
  compute_SSDP();
  total_obs = compute_total_SSD();
  SSD_WP_obs = compute_SSDWP();
  SSD[0] = total_obs / N - SSD_WP_obs;
  SSD[1] = SSD_WP_obs;
  SSD_total = SSD[0] + SSD[1];
  MSD[0] = SSD[0] / df[0];
  MSD[1] = SSD[1] / df[1];
  double sum_np2 = 0.0;
  for (int np : pop_n) sum_np2 += static_cast<double>(np) * np;
  n = (N - sum_np2 / N) / (P - 1);
  sigma2b = MSD[1];
  sigma2a = (MSD[0] - sigma2b) / n;
  sigma2T = sigma2a + sigma2b;
  if (sigma2T == 0.0) {
    FST = 0.0;
    sigma2T = 1e-18;
    std::fill(pop_FST.begin(), pop_FST.end(), 0.0);
  } else {
    FST = sigma2a / sigma2T;
    if (s.PopSpecificFST) pop_specific_FST_H();
  }
  has_FST = true;
  store_indices();
  if (print_flag) report_design(design == k1GPIH ? "AMOVA_1G_P_IH" : "AMOVA_1G_P_H");
  if (design == k1GPIH) {
    run_test("Va", "FST", false, sigma2a, &Amova::PIAPWG, &Amova::perm_AP_1G_H);
  } else {
    run_test("Va", "FST", false, sigma2a, &Amova::PHAPWG, &Amova::perm_AP_1G_H);
  }
  if (print_flag) report_tests();
  return 1;
}

int Amova::AMOVA_1G_P_IH() { return AMOVA_1G_P_H(); }

void Amova::pop_specific_FST_H() {
  for (int p = 0; p < P; ++p) {
    const int np = pop_n[static_cast<size_t>(p)];
    const double within = np > 0 ? SSDP(p, p) / np : 0.0;
    pop_FST[static_cast<size_t>(p)] =
        np > 0 ? (MSD[0] - N * within / (static_cast<double>(df[1]) * np)) / (n * sigma2T) : 0.0;
  }
}

void Amova::gene_copy_groups_core() {
  double sum_ng2 = 0.0, sum_np2_over_ng = 0.0, sum_np2 = 0.0, S_sum = 0.0, ssd_wp = 0.0;
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    double ng = 0.0, np2 = 0.0, S = 0.0, wp = 0.0;
    for (size_t a = 0; a < members.size(); ++a) {
      const int p = members[a];
      const double np = pop_n[static_cast<size_t>(p)];
      ng += np;
      np2 += np * np;
      for (size_t b = 0; b <= a; ++b) S += SSDP(p, members[b]);
      if (np > 0) wp += SSDP(p, p) / np;
    }
    n_g[static_cast<size_t>(g)] = ng;
    sum_ng2 += ng * ng;
    sum_np2 += np2;
    if (ng > 0) {
      sum_np2_over_ng += np2 / ng;
      SSD_group[static_cast<size_t>(g)] = S / ng;
      S_sum += S / ng;
    }
    ssd_wp += wp;
  }
  S_g_sum_obs = S_sum;
  SSD[0] = total_obs / N - S_sum;  // among groups
  SSD[1] = S_sum - ssd_wp;         // among populations within groups
  SSD[2] = ssd_wp;                 // within populations
  SSD_total = SSD[0] + SSD[1] + SSD[2];
  MSD[2] = SSD[2] / df[2];
  MSD[1] = SSD[1] / df[1];
  MSD[0] = SSD[0] / df[0];
  n = (N - sum_np2_over_ng) / df[1];
  n_prime = (sum_np2_over_ng - sum_np2 / N) / df[0];
  n_second = (N - sum_ng2 / N) / df[0];
  sigma2c = MSD[2];
  sigma2b = (MSD[1] - sigma2c) / n;
  sigma2a = (MSD[0] - sigma2c - n_prime * sigma2b) / n_second;
  sigma2T = sigma2a + sigma2b + sigma2c;
}

int Amova::AMOVA_G_P_H() {
  const char* name = design == kGPIH ? "Amova::AMOVA_G_P_IH()" : "Amova::AMOVA_G_P_H()";
  df[0] = G - 1;
  df[1] = P - G;
  df[2] = N - P;
  if (any_zero_df({df[0], df[1], df[2]})) {
    E.error(Error, name, 2);
    return 0;
  }
  compute_SSDP();
  total_obs = compute_total_SSD();
  gene_copy_groups_core();
  SSD_WP_obs = SSD[2];
  if (std::fabs(sigma2T) == 0.0) {
    sigma2T = 1e-18;
    FST = FCT = 0.0;
  } else {
    FST = (sigma2a + sigma2b) / sigma2T;
    FCT = sigma2a / sigma2T;
  }
  FSC = sigma2b + sigma2c != 0.0 ? sigma2b / (sigma2b + sigma2c) : 0.0;
  has_FSC = has_FST = has_FCT = true;
  store_indices();
  if (print_flag) report_design(design == kGPIH ? "AMOVA_G_P_IH" : "AMOVA_G_P_H");
  const double obs_a = sigma2a, obs_b = sigma2b, obs_c = sigma2c;
  if (design == kGPIH) {
    run_test("Vc", "FST", true, obs_c, &Amova::PIAPAG, &Amova::perm_within_pop_H);
    run_test("Vb", "FSC", false, obs_b, &Amova::PIAPWG, &Amova::perm_AP_G_H);
  } else {
    run_test("Vc", "FST", true, obs_c, &Amova::PHAPAG, &Amova::perm_within_pop_H);
    run_test("Vb", "FSC", false, obs_b, &Amova::PHAPWG, &Amova::perm_AP_G_H);
  }
  run_test("Va", "FCT", false, obs_a, &Amova::PPAG, &Amova::perm_AG_G_H);
  // The among-group test recomputes the components: put the observed ones back.
  gene_copy_groups_core();
  if (print_flag) report_tests();
  return 1;
}

int Amova::AMOVA_G_P_IH() { return AMOVA_G_P_H(); }

int Amova::AMOVA_1G_1P_I() {
  df[0] = I - 1;
  df[1] = I;
  if (I < 2 || P < 1) {
    E.error(Error, "Amova::AMOVA_1G_1P_I()", 2);
    return 0;
  }
  compute_SSDP();
  SSD_WI_obs = compute_SSDWI();
  const double within_pop = pop_n[0] > 0 ? SSDP(0, 0) / pop_n[0] : 0.0;
  SSD_WP_obs = within_pop;
  SSD[0] = within_pop - SSD_WI_obs;
  SSD[1] = SSD_WI_obs;
  SSD_total = SSD[0] + SSD[1];
  MSD[0] = SSD[0] / (I - 1);
  MSD[1] = SSD_WI_obs / I;
  sigma2b = MSD[1];
  sigma2a = (MSD[0] - MSD[1]) / 2.0;
  sigma2T = sigma2a + sigma2b;
  if (sigma2T == 0.0) sigma2T = 1e-18;
  FIS = sigma2a + sigma2b != 0.0 ? sigma2a / (sigma2a + sigma2b) : 0.0;
  has_FIS = true;
  if (s.PopSpecificFIS) pop_specific_FIS();
  store_indices();
  if (print_flag) {
    report_design("AMOVA_1G_1P_I");
    // Per-individual values (report only).
    const double denom = I * SSD_total - SSD_WI_obs;
    *_AOS_ << "\nIndividual inbreeding values:\n";
    for (int i = 0; i < I; ++i) {
      const double x = pair_d2(observed_vector[2 * static_cast<size_t>(i)],
                               observed_vector[2 * static_cast<size_t>(i) + 1]) /
                       2.0;
      *_AOS_ << std::setw(6) << i + 1 << '\t'
             << (denom != 0.0 ? 1.0 - ((2.0 * I - 2.0) * I * x / 2.0) / denom : 0.0) << '\n';
    }
  }
  run_test("Va", "FIS", false, sigma2a, &Amova::PHAIWP, &Amova::perm_1G1PI);
  if (print_flag) report_tests();
  return 1;
}

void Amova::pop_specific_FIS() {
  compute_SSDWI();
  for (int p = 0; p < P; ++p) {
    const int np = pop_n[static_cast<size_t>(p)];
    const double i = np / 2;
    const double wi = SSD_WI_pop[static_cast<size_t>(p)];
    const double a = i > 0 ? wi / i : 0.0;
    const double within = np > 0 ? SSDP(p, p) / np : 0.0;
    const double b = i > 1 ? ((within - wi) / (i - 1) - a) / 2.0 : 0.0;
    pop_FIS[static_cast<size_t>(p)] = a + b != 0.0 ? b / (a + b) : -9.99999;
  }
}

int Amova::AMOVA_1G_P_I() {
  df[0] = P - 1;
  df[1] = I - P;
  df[2] = I;
  if (any_zero_df({df[0], df[1], df[2]})) {
    E.error(Error, "Amova::AMOVA_1G_P_I()", 2);
    return 0;
  }
  compute_SSDP();
  total_obs = compute_total_SSD();
  SSD_WP_obs = compute_SSDWP();
  SSD_WI_obs = compute_SSDWI();
  SSD[0] = total_obs / N - SSD_WP_obs;
  SSD[1] = SSD_WP_obs - SSD_WI_obs;
  SSD[2] = SSD_WI_obs;
  SSD_total = SSD[0] + SSD[1] + SSD[2];
  for (int l = 0; l < 3; ++l) MSD[l] = SSD[l] / df[l];
  double sum_np2 = 0.0;
  for (int np : pop_n) sum_np2 += static_cast<double>(np) * np;
  n = (N - sum_np2 / N) / (P - 1);
  sigma2c = MSD[2];
  sigma2b = (MSD[1] - sigma2c) / 2.0;
  sigma2a = (MSD[0] - MSD[1]) / n;
  sigma2T = sigma2a + sigma2b + sigma2c;
  if (sigma2T == 0.0) {
    sigma2T = 1e-18;
    FST = FIT = 0.0;
  } else {
    FST = sigma2a / sigma2T;
    FIT = (sigma2a + sigma2b) / sigma2T;
  }
  FIS = sigma2b + sigma2c != 0.0 ? sigma2b / (sigma2b + sigma2c) : 0.0;
  has_FIS = has_FST = has_FIT = true;
  if (s.PopSpecificFIS) pop_specific_FIS();
  store_indices();
  if (print_flag) report_design("AMOVA_1G_P_I");
  const double obs_a = sigma2a, obs_b = sigma2b, obs_c = sigma2c;
  run_test("Vb", "FIS", false, obs_b, &Amova::PHAIWP, &Amova::perm_AI_1G_I);
  run_test("Va", "FST", false, obs_a, &Amova::PIAPWG, &Amova::perm_AP_1G_I);
  run_test("Vc", "FIT", true, obs_c, &Amova::PHAPWG, &Amova::perm_WI);
  if (print_flag) report_tests();
  return 1;
}

void Amova::individual_groups_core() {
  const double twoI = 2.0 * I;
  double sum_np2_over_ng = 0.0, n_prime_sum = 0.0, sum_ng2 = 0.0, S_sum = 0.0;
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    double ng = 0.0, np2 = 0.0, S = 0.0;
    for (size_t a = 0; a < members.size(); ++a) {
      const int p = members[a];
      const double np = pop_n[static_cast<size_t>(p)];
      ng += np;
      np2 += np * np;
      for (size_t b = 0; b <= a; ++b) S += SSDP(p, members[b]);
    }
    n_g[static_cast<size_t>(g)] = ng;
    sum_ng2 += ng * ng;
    if (ng > 0) {
      sum_np2_over_ng += np2 / ng;
      n_prime_sum += np2 * (twoI - ng) / (ng * twoI);
      SSD_group[static_cast<size_t>(g)] = S / ng;
      S_sum += S / ng;
    }
  }
  S_g_sum_obs = S_sum;
  SSD[0] = total_obs / N - S_sum;
  SSD[1] = S_sum - SSD_WP_obs;
  SSD[2] = SSD_WP_obs - SSD_WI_obs;
  SSD[3] = SSD_WI_obs;
  SSD_total = SSD[0] + SSD[1] + SSD[2] + SSD[3];
  for (int l = 0; l < 4; ++l) MSD[l] = SSD[l] / df[l];
  n = (twoI - sum_np2_over_ng) / df[1];
  n_prime = n_prime_sum / df[0];
  n_second = (twoI - sum_ng2 / twoI) / df[0];
  sigma2d = MSD[3];
  sigma2c = (MSD[2] - MSD[3]) / 2.0;
  sigma2b = (MSD[1] - MSD[2]) / n;
  sigma2a = (MSD[0] - MSD[2] - n_prime * sigma2b) / n_second;
  sigma2T = sigma2a + sigma2b + sigma2c + sigma2d;
}

int Amova::AMOVA_G_P_I() {
  df[0] = G - 1;
  df[1] = P - G;
  df[2] = I - P;
  df[3] = I;
  if (any_zero_df({df[0], df[1], df[2], df[3]})) {
    E.error(Error, "Amova::AMOVA_G_P_I()", 2);
    return 0;
  }
  compute_SSDP();
  total_obs = compute_total_SSD();
  SSD_WP_obs = compute_SSDWP();
  SSD_WI_obs = compute_SSDWI();
  individual_groups_core();
  if (sigma2T == 0.0) {
    FCT = FSC = FIT = 0.0;
    sigma2T = 1e-18;
  } else {
    FCT = sigma2a / sigma2T;
    FIT = (sigma2a + sigma2b + sigma2c) / sigma2T;
    const double below = sigma2b + sigma2c + sigma2d;
    FSC = below != 0.0 ? sigma2b / below : 0.0;
  }
  FIS = sigma2c + sigma2d != 0.0 ? sigma2c / (sigma2c + sigma2d) : 0.0;
  has_FIS = has_FSC = has_FCT = has_FIT = true;
  if (s.PopSpecificFIS) pop_specific_FIS();
  store_indices();
  if (print_flag) report_design("AMOVA_G_P_I");
  const double obs_a = sigma2a, obs_b = sigma2b, obs_c = sigma2c, obs_d = sigma2d;
  run_test("Vd", "FIT", true, obs_d, &Amova::PHAPAG, &Amova::perm_WI);
  run_test("Vc", "FIS", false, obs_c, &Amova::PHAIWP, &Amova::perm_AI_G_I);
  run_test("Vb", "FSC", false, obs_b, &Amova::PIAPWG, &Amova::perm_AP_G_I);
  run_test("Va", "FCT", false, obs_a, &Amova::PPAG, &Amova::perm_AG_G_I);
  individual_groups_core();
  if (print_flag) report_tests();
  return 1;
}

void store_fixation_indices(bool has_FIS, double FIS, bool has_FST, double FST, bool has_FCT,
                            double FCT, bool has_FSC, double FSC, bool has_FIT, double FIT) {
  if (!SumStat.GLOBAL_FSTAT) return;
  auto put = [](bool computed, double value, double& field, bool& present) {
    if (!computed) return;
    field = value;
    present = true;
  };
  put(has_FIS, FIS, SumStat.FIS, SumStat.hasFIS);
  put(has_FST, FST, SumStat.FST, SumStat.hasFST);
  put(has_FCT, FCT, SumStat.FCT, SumStat.hasFCT);
  put(has_FSC, FSC, SumStat.FSC, SumStat.hasFSC);
  put(has_FIT, FIT, SumStat.FIT, SumStat.hasFIT);
}

void Amova::store_indices() {
  store_fixation_indices(has_FIS, FIS, has_FST, FST, has_FCT, FCT, has_FSC, FSC, has_FIT, FIT);
}

// ---------------------------------------------------------------------------
// Permuted values: only what the shuffled level changes is recomputed.
// ---------------------------------------------------------------------------

double Amova::perm_within_pop_H() {
  update_SSDP_diagonal();
  return compute_SSDWP() / df[2];
}

double Amova::perm_AP_1G_H() {
  update_SSDP_diagonal();
  const double wp = compute_SSDWP();
  return ((total_obs / N - wp) / df[0] - wp / df[1]) / n;
}

double Amova::perm_AP_G_H() {
  update_SSDP_diagonal();
  const double wp = compute_SSDWP();
  return (S_g_sum_obs - wp) / (df[1] * n) - wp / (df[2] * n);
}

double Amova::perm_AG_G_H() {
  gene_copy_groups_core();
  return sigma2a;
}

double Amova::perm_1G1PI() {
  const double wi = compute_SSDWI();
  return ((SSD_WP_obs - wi) / (I - 1) - wi / I) / 2.0;
}

double Amova::perm_AI_1G_I() {
  const double wi = compute_SSDWI();
  return ((SSD_WP_obs - wi) / df[1] - wi / df[2]) / 2.0;
}

double Amova::perm_AP_1G_I() {
  update_SSDP_diagonal();
  const double wp = compute_SSDWP();
  return ((total_obs / N - wp) / df[0] - (wp - SSD_WI_obs) / df[1]) / n;
}

double Amova::perm_WI() { return compute_SSDWI() / I; }

double Amova::perm_AI_G_I() {
  const double wi = compute_SSDWI();
  return ((SSD_WP_obs - wi) / df[2] - wi / df[3]) / 2.0;
}

double Amova::perm_AP_G_I() {
  update_SSDP_diagonal();
  const double wp = compute_SSDWP();
  return ((S_g_sum_obs - wp) / df[1] - (wp - SSD_WI_obs) / df[2]) / n;
}

double Amova::perm_AG_G_I() {
  individual_groups_core();
  return sigma2a;
}

// ---------------------------------------------------------------------------
// Shuffles. Each is a descending swap loop drawing j below i; the precision of
// the product u * i is part of the drawn sequence and is kept as it is.
// ---------------------------------------------------------------------------

void Amova::PHAPAG() {
  const int stop = P > 0 ? pop_n[0] : 0;
  for (int i = N - 1; i >= stop && i > 0; --i) {
    const float u = static_cast<float>(uniform());
    const int j = static_cast<int>(static_cast<float>(i) * u);
    std::swap(index_vector[static_cast<size_t>(i)], index_vector[static_cast<size_t>(j)]);
  }
}

void Amova::PHAPWG() {
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    if (members.empty()) continue;
    const int o = group_offset[static_cast<size_t>(g)];
    const int ng = group_size[static_cast<size_t>(g)];
    const int first = pop_n[static_cast<size_t>(members.front())];
    for (int i = o + ng - 1; i >= o + first && i > o; --i) {
      const float u = static_cast<float>(uniform());
      const int j = o + static_cast<int>(static_cast<float>(i - o) * u);
      std::swap(index_vector[static_cast<size_t>(i)], index_vector[static_cast<size_t>(j)]);
    }
  }
}

void Amova::PHAIWP() {
  for (int p = 0; p < P; ++p) {
    const int o = pop_offset[static_cast<size_t>(p)];
    const int np = pop_n[static_cast<size_t>(p)];
    for (int i = o + np - 1; i >= o + 2; --i) {
      const float u = static_cast<float>(uniform());
      const int j = o + static_cast<int>(static_cast<float>(i - o) * u);
      std::swap(index_vector[static_cast<size_t>(i)], index_vector[static_cast<size_t>(j)]);
    }
  }
}

namespace {

void swap_individuals(std::vector<int>& v, int a, int b) {
  std::swap(v[2 * static_cast<size_t>(a)], v[2 * static_cast<size_t>(b)]);
  std::swap(v[2 * static_cast<size_t>(a) + 1], v[2 * static_cast<size_t>(b) + 1]);
}

}  // namespace

void Amova::PIAPWG() {
  for (int g = 0; g < G; ++g) {
    const auto& members = group_pops[static_cast<size_t>(g)];
    if (members.empty()) continue;
    const int o = group_offset[static_cast<size_t>(g)] / 2;
    const int ng = group_size[static_cast<size_t>(g)] / 2;
    const int first = pop_n[static_cast<size_t>(members.front())] / 2;
    for (int i = o + ng - 1; i >= o + first && i > o; --i) {
      const int j = o + static_cast<int>((i - o) * uniform());
      swap_individuals(index_vector, i, j);
    }
  }
}

void Amova::PIAPAG() {
  const int stop = P > 0 ? pop_n[0] / 2 : 0;
  for (int i = N / 2 - 1; i >= stop && i > 0; --i) {
    const int j = static_cast<int>(i * uniform());
    swap_individuals(index_vector, i, j);
  }
}

void Amova::PPAG() {
  const int stop = G > 0 ? pops_per_group[0] : 0;
  for (int i = P - 1; i >= stop && i > 0; --i) {
    const int j = static_cast<int>(std::floor(uniform() * i));
    std::swap(pop_array[static_cast<size_t>(i)], pop_array[static_cast<size_t>(j)]);
  }
  distribute_populations();
}

void Amova::load_HaplotypeIndexVector() {
  std::copy(observed_vector.begin(), observed_vector.end(), index_vector.begin());
}

void Amova::distribute_HaplotypeIndexVector() {
  for (int p = 0; p < P; ++p) {
    recount(p, index_vector.data() + pop_offset[static_cast<size_t>(p)],
            pop_n[static_cast<size_t>(p)]);
  }
}

void Amova::distribute_populations() {
  size_t k = 0;
  for (int g = 0; g < G; ++g) {
    auto& members = group_pops[static_cast<size_t>(g)];
    for (int& m : members) m = pop_array[k++];
  }
}

void Amova::restore_observed() {
  load_HaplotypeIndexVector();
  for (int p = 0; p < P; ++p) set_observed_composition(p);
  SSDP = SSDP_obs;
  for (int p = 0; p < P; ++p) pop_array[static_cast<size_t>(p)] = p;
  distribute_populations();
}

void Amova::permutation_batches(int m, int& k, int& m_raised) {
  if (m < 1) {
    k = 0;
    m_raised = 0;
    return;
  }
  k = static_cast<int>(std::floor(std::sqrt(static_cast<double>(m))));
  while (static_cast<long long>(k + 1) * (k + 1) <= m) ++k;  // guard against sqrt rounding
  while (static_cast<long long>(k) * k > m) --k;
  m_raised = (m / k + 1) * k;
}

void Amova::run_test(const char* component, const char* index, bool lower_tail, double observed,
                     void (Amova::*shuffle)(), double (Amova::*permuted_value)()) {
  if (num_permutations <= 0) return;
  if (N >= INT_MAX || distmat.size == INT_MAX) {
    E.error(Memory, "Amova::permutation test", 3);
    return;
  }
  int k = 0, m = 0;
  permutation_batches(num_permutations, k, m);
  const int batch_size = m / k;
  AmovaTest test;
  test.component = component;
  test.index = index;
  test.lower_tail = lower_tail;
  test.observed = observed;
  test.permutations = m;
  test.null_distribution.reserve(static_cast<size_t>(m));
  std::vector<int> batch_hits(static_cast<size_t>(k), 0);

  restore_observed();
  const bool moves_populations = shuffle == &Amova::PPAG;
  for (int t = 0; t < m; ++t) {
    (this->*shuffle)();
    if (!moves_populations) distribute_HaplotypeIndexVector();
    const double x = (this->*permuted_value)();
    bool hit = false;
    if (std::fabs(x - observed) < small) {
      ++test.equal;
      hit = true;
    } else if (lower_tail ? x < observed : x > observed) {
      ++test.successes;
      hit = true;
    }
    if (hit) ++batch_hits[static_cast<size_t>(t % k)];
    test.null_distribution.push_back(x);
  }
  test.p_value = static_cast<double>(test.successes + test.equal) / m;
  if (k > 1) {
    float sum = 0.0f;
    const float p = static_cast<float>(test.p_value);
    for (int b = 0; b < k; ++b) {
      const float pb = static_cast<float>(batch_hits[static_cast<size_t>(b)]) / batch_size;
      sum += (pb - p) * (pb - p);
    }
    test.p_value_sd = std::sqrt(sum / (static_cast<float>(k) * (k - 1)));
  }
  std::sort(test.null_distribution.begin(), test.null_distribution.end());
  restore_observed();
  if (s.KeepNullDistrib) write_null_distribution(test);
  if (results != nullptr) results->tests.push_back(std::move(test));
}

void Amova::write_null_distribution(const AmovaTest& t) const {
  const std::string dir = results != nullptr ? results->result_directory.str() : std::string();
  std::ofstream out(dir + "amova_null_distrib_" + t.component + ".txt");
  if (!out) {
    E.error(Warning, "Amova::write_null_distribution()", 9);
    return;
  }
  out << std::setprecision(10);
  out << "Null distribution of " << t.component << " (" << t.index << ")\n";
  for (double x : t.null_distribution) out << x << '\n';
}

// ---------------------------------------------------------------------------
// Report.
// ---------------------------------------------------------------------------

void Amova::report_design(const char* title) const {
  std::ostream& out = *_AOS_;
  static const char* const kLevel[11][4] = {
      {},
      {},
      {"Among individuals", "Within individuals"},
      {"Among populations", "Within populations"},
      {"Among populations", "Among individuals within populations", "Within individuals"},
      {"Among groups", "Among populations within groups", "Within populations"},
      {"Among groups", "Among populations within groups", "Among individuals within populations",
       "Within individuals"},
      {"Among populations", "Within populations"},
      {"Among groups", "Among populations within groups", "Within populations"},
      {},
      {}};
  const double comps[4] = {sigma2a, sigma2b, sigma2c, sigma2d};
  out << "\n\nAMOVA (" << title << ", " << time_text << "\n";
  out << "Source of variation\td.f.\tSum of squares\tVariance components\n";
  for (int l = 0; l < 4 && kLevel[design][l] != nullptr; ++l) {
    out << kLevel[design][l] << '\t' << df[l] << '\t' << SSD[l] << '\t' << comps[l] << '\n';
  }
  out << "Total\t\t" << SSD_total << '\t' << sigma2T << '\n';
  if (has_FIS) out << "FIS : " << FIS << '\n';
  if (has_FSC) out << "FSC : " << FSC << '\n';
  if (has_FST) out << "FST : " << FST << '\n';
  if (has_FCT) out << "FCT : " << FCT << '\n';
  if (has_FIT) out << "FIT : " << FIT << '\n';
  if (s.PopSpecificFST && (design == k1GPH || design == k1GPIH)) {
    out << "\nPopulation specific FST indices:\n";
    for (int p = 0; p < P; ++p) {
      out << observed_pops[static_cast<size_t>(p)]->name.c_str() << '\t'
          << pop_FST[static_cast<size_t>(p)] << '\n';
    }
  }
  if (s.PopSpecificFIS && individual_level) {
    out << "\nPopulation specific FIS indices:\n";
    for (int p = 0; p < P; ++p) {
      out << observed_pops[static_cast<size_t>(p)]->name.c_str() << '\t'
          << pop_FIS[static_cast<size_t>(p)] << '\n';
    }
  }
}

void Amova::report_tests() const {
  std::ostream& out = *_AOS_;
  if (num_permutations <= 0 || results == nullptr || results->tests.empty()) {
    out << "\nNo permutations were done and significance levels cannot be reported\n";
    return;
  }
  out << "\nSignificance tests (" << results->tests.front().permutations << " permutations)\n";
  const auto old_flags = out.flags();
  const auto old_precision = out.precision();
  out << std::fixed << std::setprecision(5);
  for (const AmovaTest& t : results->tests) {
    const double m = t.permutations;
    out << "\n" << t.component << " and " << t.index << " :\n";
    out << (t.lower_tail ? "P(rand. value &lt; obs. value)  =" : "P(rand. value > obs. value)  =")
        << std::setw(8) << t.successes / m << '\n';
    out << "P(rand. value = obs. value)  =" << std::setw(8) << t.equal / m << '\n';
    out << "P-value =" << std::setw(8) << t.p_value << " +-" << std::setw(8) << t.p_value_sd
        << '\n';
  }
  out.flags(old_flags);
  out.precision(old_precision);
}

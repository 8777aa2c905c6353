// Distances between two haplotypes: nucleotide pair classes, the seven DNA
// distances (with their gamma variants, substitution weights and missing-data
// rules), the pooled base frequencies, and the two RFLP distances.
//
// Every DNA routine first sorts the usable sites of the pair into categories
// (site_category) and counts them; its formula then works on those counts. The
// matrix code (distance_matrix.cpp) produces the same counts from the variable
// sites of a sample plus the invariant sites counted once, and calls the same
// formulas, so both give identical results.
#include "betweenpop/distances.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "base/errors.h"
#include "globals.h"
#include "model/population.h"

namespace qnd_dist {
namespace {

// The class of every ordered pair of characters (0 to 4), fixed at compile
// time. Only the 20 characters below have a class against another; every other
// pair has class 0.
class NucleotideClasses {
 public:
  constexpr NucleotideClasses() {
    for (auto& p : position_) p = -1;
    for (int i = 0; i < kSize; ++i) position_[static_cast<unsigned char>(kChars[i])] = i;
    both('A', 'G', 1);
    both('C', 'T', 1);
    const char* const transversions[] = {"AC", "AT", "GC", "GT", "AY", "GY", "CR", "TR", "RY"};
    for (const char* p : transversions) both(p[0], p[1], 2);
    for (const char* c = "ABCDGHKMNRSTVWY"; *c; ++c) both('-', *c, 3);
    set('0', '-', 3);
    set('3', '-', 3);
    const char* const unknown[][2] = {{"A", "BKS"}, {"C", "DKW"}, {"G", "HMW"}, {"T", "MSV"},
                                      {"K", "ACM"}, {"M", "GKT"}, {"S", "ATW"}, {"W", "CGS"},
                                      {"0", "123"}, {"1", "023"}, {"2", "013"}, {"3", "012"}};
    for (const auto& row : unknown) {
      for (const char* c = row[1]; *c; ++c) both(row[0][0], *c, 4);
    }
  }
  constexpr int operator()(char a, char b) const {
    const int i = position_[static_cast<unsigned char>(a)];
    const int j = position_[static_cast<unsigned char>(b)];
    return i < 0 || j < 0 ? 0 : cells_[static_cast<size_t>(i * kSize + j)];
  }

 private:
  static constexpr const char* kChars = "ACGT-BDHKMNRSVWY0123";
  static constexpr int kSize = 20;
  constexpr void set(char a, char b, int c) {
    const int i = position_[static_cast<unsigned char>(a)];
    const int j = position_[static_cast<unsigned char>(b)];
    cells_[static_cast<size_t>(i * kSize + j)] = static_cast<std::uint8_t>(c);
  }
  constexpr void both(char a, char b, int c) {
    set(a, b, c);
    set(b, a, c);
  }
  std::array<int, 256> position_{};
  std::array<std::uint8_t, kSize * kSize> cells_{};
};

constexpr NucleotideClasses kNucleotideClasses;

const NucleotideClasses& nucleotide_classes() { return kNucleotideClasses; }

bool is_acgt(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }

// Position of a base in A, C, G, T order (-1 otherwise).
int base_index(char c) {
  switch (c) {
    case 'A':
      return 0;
    case 'C':
      return 1;
    case 'G':
      return 2;
    case 'T':
      return 3;
    default:
      return -1;
  }
}

std::uint8_t transversion_category(char a, char b) {
  if (!is_acgt(a) || !is_acgt(b)) return kTvCode;
  const int i = std::min(base_index(a), base_index(b));
  const int j = std::max(base_index(a), base_index(b));
  if (i == 0) return j == 1 ? kTvAC : kTvAT;  // A-C, A-T
  return i == 1 ? kTvCG : kTvGT;              // C-G, G-T
}

// Grouped tallies of one pair, shared by the formulas.
struct Tallies {
  explicit Tallies(const SiteCounts& c)
      : ts(c[kTsAG] + c[kTsCT]),
        tv_bases(c[kTvAC] + c[kTvAT] + c[kTvCG] + c[kTvGT]),
        tv(tv_bases + c[kTvCode]),
        u(c[kUnknown]),
        same(c[kSameAcgt] + c[kSameOther]),
        same_gap(c[kSameGap]) {
    for (int k = 0; k < 8; ++k) {
      nc += c[kNotComparable + k];
      id += c[kIndel + k];
    }
  }
  // Class 0 and 3 sites that a routine keeps (its skip bit not set).
  static int kept(const SiteCounts& c, int skip_bit) {
    int n = 0;
    for (int k = 0; k < 8; ++k) {
      if ((k & skip_bit) == 0) n += c[kNotComparable + k] + c[kIndel + k];
    }
    return n;
  }
  int ts, tv_bases, tv, u, same, same_gap;
  int nc = 0;
  int id = 0;
};

void clear_results(PopGenetics& pop) {
  pop.dist_d = pop.dist_v = pop.dist_P = pop.dist_Q = 0.0;
  pop.dist_ratio = pop.dist_ratio_var = -1.0;
  pop.dist_ts_part = pop.dist_tv_part = 0.0;
  pop.dist_L = pop.dist_num_diff = 0;
}

// Number of pairwise differences, weighted; v = T p (1 - p) over the weighted
// site total T.
int finish_diff(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const double wts = pop.w_ts, wtv = pop.w_tv, wdel = pop.w_del;
  // Unknown-type substitutions take the smaller substitution weight.
  const double wu = wts > 0 ? (wtv < wts ? wtv : wts) : wtv;
  double d = 0.0;
  if (wts > 0) d += t.ts * wts;
  if (wtv > 0) d += t.tv * wtv;
  if (wts > 0 && wu > 0) d += t.u * wu;
  if (wdel > 0) d += t.id * wdel;
  const double T = (wts > 0 ? t.ts * wts : t.ts) + (wtv > 0 ? t.tv * wtv : t.tv) +
                   (wu > 0 ? t.u * wu : t.u) + (wdel > 0 ? t.id * wdel : t.id) +
                   (t.same + t.same_gap) + t.nc;
  pop.dist_d = d;
  pop.dist_v = 0.0;
  if (T != 0.0) {
    const double p = d / T;
    pop.dist_v = T * p * (1.0 - p);
  }
  pop.dist_L = t.ts + t.tv + t.u + t.id + t.same + t.same_gap + t.nc;
  pop.dist_num_diff =
      (wts > 0 ? t.ts + (wu > 0 ? t.u : 0) : 0) + (wtv > 0 ? t.tv : 0) + (wdel > 0 ? t.id : 0);
  return 1;
}

// Proportion of differences over the weighted number of compared sites.
int finish_proportion(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const double wts = pop.w_ts, wtv = pop.w_tv, wdel = pop.w_del;
  double L = t.same + t.same_gap + t.nc;
  double sum_ts = 0.0, sum_tv = 0.0, sum_id = 0.0;
  auto add = [&L](int n, double w, double& sum) {
    if (w > 0) {
      L += n * w;
      sum += n * w;
    } else {
      L += n;
    }
  };
  add(t.ts, wts, sum_ts);
  add(t.tv, wtv, sum_tv);
  add(t.id, wdel, sum_id);
  if (wts > 0 && wtv < wts) {
    add(t.u, wtv, sum_tv);  // counted as a transversion
  } else if (wts > 0) {
    add(t.u, wts, sum_ts);  // counted as a transition
  } else {
    L += wtv > 0 ? t.u * wtv : t.u;
  }
  pop.dist_L = t.ts + t.tv + t.u + t.id + t.same + t.same_gap + t.nc;
  pop.dist_num_diff = (wts > 0 ? t.ts : 0) + (wtv > 0 ? t.tv : 0) + (wdel > 0 ? t.id : 0) +
                      (wts > 0 || wtv > 0 ? t.u : 0);
  if (L == 0.0) return 1;
  const double P = sum_ts / L, Q = sum_tv / L;
  pop.dist_P = P;
  pop.dist_Q = Q;
  pop.dist_d = (sum_id + sum_tv + sum_ts) / L;
  pop.dist_v = pop.dist_d * (1.0 - pop.dist_d) / L;
  if (Q != 0.0) {
    pop.dist_ratio = P / Q;
    const double a = Q * (-P / (Q * Q)) + P * (1.0 / Q);
    pop.dist_ratio_var =
        (P * (1.0 / Q) * (1.0 / Q) + Q * (P / (Q * Q)) * (P / (Q * Q)) - a * a) / L;
  }
  return 1;
}

// Jukes and Cantor (1969), with the gamma correction when a != 0.
int finish_jukes_cantor(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const int L = t.same + t.ts + t.u + t.tv + Tallies::kept(c, kSkipJC);
  const int diff = (pop.w_ts > 0 ? t.ts + t.u : 0) + (pop.w_tv > 0 ? t.tv : 0);
  pop.dist_L = L;
  pop.dist_num_diff = diff;
  if (L == 0) return 1;
  const double p = static_cast<double>(diff) / L;
  if (p >= 0.75) {
    E.error(Warning, "PopulDNA::jk_dist()", 162);
    pop.dist_d = -p;
    return 0;
  }
  const double b = 1.0 - 4.0 * p / 3.0;
  const double a = pop.gamma_a;
  if (a == 0.0) {
    pop.dist_d = -0.75 * std::log(b);
    pop.dist_v = p * (1.0 - p) / (b * b * L);
  } else {
    pop.dist_d = 0.75 * a * (std::pow(b, -1.0 / a) - 1.0);
    pop.dist_v = p * (1.0 - p) * std::pow(b, -2.0 * (1.0 / a + 1.0)) / L;
  }
  return 1;
}

// Kimura (1980) two-parameter distance, with the gamma correction when a != 0.
int finish_kimura(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const int L = t.same + t.ts + t.tv + t.u + Tallies::kept(c, kSkipKimura);
  const int ts = pop.w_ts > 0 ? t.ts : 0;
  const int tv = pop.w_tv > 0 ? t.tv : 0;
  pop.dist_L = L;
  pop.dist_num_diff = ts + tv;
  if (L == 0) {  // every result 0, the ratio included
    pop.dist_ratio = pop.dist_ratio_var = 0.0;
    return 1;
  }
  const double P = static_cast<double>(ts) / L, Q = static_cast<double>(tv) / L;
  pop.dist_P = P;
  pop.dist_Q = Q;
  const double w1 = 1.0 - 2.0 * P - Q, w2 = 1.0 - 2.0 * Q;
  if (w1 <= 0 || w2 <= 0) {
    E.error(Warning, "PopulDNA::kim2p_dist()", 163);
    return 0;
  }
  const double a = pop.gamma_a;
  double c1, c2;
  if (a == 0.0) {
    c1 = 1.0 / w1;
    c2 = 1.0 / w2;
    pop.dist_d = 0.5 * std::log(c1) + 0.25 * std::log(c2);
    if (w2 != 1.0) pop.dist_ratio = std::log(w1) / std::log(w2) - 0.5;
  } else {
    pop.dist_d = (a / 2.0) * (std::pow(w1, -1.0 / a) + 0.5 * std::pow(w2, -1.0 / a) - 1.5);
    c1 = std::pow(w1, -1.0 / a - 1.0);
    c2 = std::pow(w2, -1.0 / a - 1.0);
  }
  const double c3 = (c1 + c2) / 2.0;
  const double m = c1 * P + c3 * Q;
  pop.dist_v = (c1 * c1 * P + c3 * c3 * Q - m * m) / L;
  return 1;
}

// Tajima and Nei (1984): only pairs of the four bases are counted.
int finish_tajima_nei(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const int L = c[kSameAcgt] + t.ts + t.tv_bases;
  const int diff = (pop.w_ts > 0 ? t.ts : 0) + (pop.w_tv > 0 ? t.tv_bases : 0);
  pop.dist_L = L;
  pop.dist_num_diff = diff;
  if (diff == 0) return 1;
  const double* g = pop.nucl_freq;
  if (g[0] <= 0 || g[1] <= 0 || g[2] <= 0 || g[3] <= 0) {
    E.error(Error, "PopulDNA::tajnei_dist(s1, s2)", 164);
    return 0;
  }
  // Unordered base pairs (A=0, C=1, G=2, T=3) with their tallies.
  const struct {
    int i, j, n;
  } pairs[6] = {{0, 1, c[kTvAC]}, {0, 2, c[kTsAG]}, {0, 3, c[kTvAT]},
                {1, 2, c[kTvCG]}, {1, 3, c[kTsCT]}, {2, 3, c[kTvGT]}};
  double h = 0.0;
  for (const auto& pr : pairs) {
    const double x = static_cast<double>(pr.n) / L;
    h += x * x / (g[pr.i] * g[pr.j]);
  }
  h *= 0.5;
  const double p = static_cast<double>(diff) / L;
  const double sum_g2 = g[0] * g[0] + g[1] * g[1] + g[2] * g[2] + g[3] * g[3];
  const double b = 0.5 * (1.0 - sum_g2 + p * p / h);
  if (p / b >= 1.0) {
    E.error(Warning, "PopulDNA::tajnei_dist(s1, s2)", 165);
    return 0;
  }
  const double r = 1.0 - p / b;
  pop.dist_d = -b * std::log(r);
  pop.dist_v = p * (1.0 - p) / (r * r * L);
  return 1;
}

// Tamura (1992): Kimura's model with the G+C content of the population.
int finish_tamura(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const int L = t.same + t.ts + t.tv + t.u + Tallies::kept(c, kSkipTamura);
  const int ts = pop.w_ts > 0 ? t.ts : 0;
  const int tv = pop.w_tv > 0 ? t.tv : 0;
  pop.dist_L = L;
  pop.dist_num_diff = ts + tv;
  if (L == 0) return 1;
  const double P = static_cast<double>(ts) / L, Q = static_cast<double>(tv) / L;
  pop.dist_P = P;
  pop.dist_Q = Q;
  const double theta = pop.gc_content;
  const double cc = 2.0 * theta * (1.0 - theta);
  const double w1 = cc > 0 ? 1.0 - P / cc - Q : 0.0;
  const double w2 = 1.0 - 2.0 * Q;
  if (cc <= 0 || w1 <= 0 || w2 <= 0) {
    E.error(Error, "PopulDNA::tamura_dist(s1, s2)", 171);
    return 0;
  }
  pop.dist_d = -cc * std::log(w1) - 0.5 * (1.0 - cc) * std::log(w2);
  const double c1 = 1.0 / w1, c2 = 1.0 / w2;
  const double c3 = cc * (c1 - c2) + c2;
  const double m = c1 * P + c3 * Q;
  pop.dist_v = (c3 * c3 * Q + c1 * c1 * P - m * m) / L;
  if (Q != 0.0) {
    if (w2 == 1.0) {
      E.error(Error, "PopulDNA::tamura_dist(s1, s2)", 175);
      return 0;
    }
    pop.dist_ratio = 2.0 * cc * std::log(w1) / std::log(w2) - cc;
  }
  return 1;
}

// Tamura and Nei (1993), with the gamma correction when a != 0. The variance is
// the delta-method variance over the proportions of purine transitions P1,
// pyrimidine transitions P2 and transversions Q (multinomial sampling).
int finish_tamura_nei(PopulDNA& pop, const SiteCounts& c) {
  const Tallies t(c);
  const int L = t.same + t.ts + t.tv + t.u + Tallies::kept(c, kSkipTamura);
  const int n1 = pop.w_ts > 0 ? c[kTsAG] : 0;
  const int n2 = pop.w_ts > 0 ? c[kTsCT] : 0;
  const int nq = pop.w_tv > 0 ? t.tv : 0;
  pop.dist_L = L;
  pop.dist_num_diff = n1 + n2 + nq;
  if (n1 + n2 + nq == 0 || L == 0) {  // every result 0, the ratio included
    pop.dist_ratio = pop.dist_ratio_var = 0.0;
    return 1;
  }
  const char* where = "PopulDNA::tamnei_dist(s1, s2)";
  const double gA = pop.nucl_freq[0], gC = pop.nucl_freq[1], gG = pop.nucl_freq[2],
               gT = pop.nucl_freq[3];
  if (gA <= 0 || gC <= 0 || gG <= 0 || gT <= 0) {
    E.error(Warning, where, 176);
    return 0;
  }
  const double P1 = static_cast<double>(n1) / L, P2 = static_cast<double>(n2) / L,
               Q = static_cast<double>(nq) / L;
  pop.dist_P = P1 + P2;
  pop.dist_Q = Q;
  const double gR = gA + gG, gY = gC + gT;
  const double k1 = 2.0 * gA * gG / gR, k2 = 2.0 * gC * gT / gY;
  const double c3 = 2.0 * gR * gY - k1 * gY - k2 * gR;
  const double w1 = 1.0 - P1 / k1 - Q / (2.0 * gR);
  const double w2 = 1.0 - P2 / k2 - Q / (2.0 * gY);
  const double w3 = 1.0 - Q / (2.0 * gR * gY);
  const double a = pop.gamma_a;
  double e1, e2, e3;  // derivatives of d in w1, w2, w3 up to the factors -1/k etc.
  if (a == 0.0) {
    if (w1 <= 0 || w2 <= 0 || w3 <= 0) {
      E.error(Warning, where, 176);
      return 0;
    }
    const double d = -k1 * std::log(w1) - k2 * std::log(w2) - c3 * std::log(w3);
    pop.dist_d = d;
    pop.dist_tv_part = -2.0 * gR * gY * std::log(w3);
    pop.dist_ts_part = d - pop.dist_tv_part;
    if (pop.dist_tv_part != 0.0) pop.dist_ratio = pop.dist_ts_part / pop.dist_tv_part;
    e1 = 1.0 / w1;
    e2 = 1.0 / w2;
    e3 = 1.0 / w3;
  } else {
    const double d = a * (k1 * std::pow(w1, -1.0 / a) + k2 * std::pow(w2, -1.0 / a) +
                          c3 * std::pow(w3, -1.0 / a) - 2.0 * (gA * gG + gC * gT + gR * gY));
    if (!(d >= 1.1754943508222875e-38 && d <= 3.4028234663852886e+38)) {
      E.error(Warning, where, 176);
      return 0;
    }
    pop.dist_d = d;
    e1 = std::pow(w1, -(1.0 / a + 1.0));
    e2 = std::pow(w2, -(1.0 / a + 1.0));
    e3 = std::pow(w3, -(1.0 / a + 1.0));
  }
  // Partial derivatives of d in P1, P2 and Q.
  const double a1 = e1, a2 = e2;
  const double a3 = k1 * e1 / (2.0 * gR) + k2 * e2 / (2.0 * gY) + c3 * e3 / (2.0 * gR * gY);
  const double m = a1 * P1 + a2 * P2 + a3 * Q;
  pop.dist_v = (a1 * a1 * P1 + a2 * a2 * P2 + a3 * a3 * Q - m * m) / L;
  return 1;
}

// Counts the categories of the usable sites of two whole sequences. A sequence
// shorter than the other has missing data at the sites it lacks.
SiteCounts tally_sequences(const PopulDNA& pop, std::string_view s1, std::string_view s2) {
  SiteCounts c{};
  const char m = pop.profile.MissingData;
  const size_t n = std::max(s1.size(), s2.size());
  for (size_t i = 0; i < n; ++i) {
    if (!pop.site_usable(i)) continue;
    const char a = i < s1.size() ? s1[i] : m;
    const char b = i < s2.size() ? s2[i] : m;
    ++c[site_category(a, b, m)];
  }
  return c;
}

}  // namespace

std::uint8_t site_category(char a, char b, char m) {
  if (a == b) {
    if (a == m) return kSkip;
    if (a == '-') return kSameGap;
    return is_acgt(a) ? kSameAcgt : kSameOther;
  }
  const int cls = PopulDNA::compare_nucleotides(a, b);
  switch (cls) {
    case 1:
      return (a == 'A' || a == 'G') ? kTsAG : kTsCT;
    case 2:
      return transversion_category(a, b);
    case 4:
      return kUnknown;
    default: {
      int bits = 0;
      if (m == '-' && (a == '-' || b == '-')) bits |= kSkipJC;
      if ((a == '-' || b == m) && (b == '-' || a == m)) bits |= kSkipKimura;
      if (a == m || b == m || a == '-' || b == '-') bits |= kSkipTamura;
      return static_cast<std::uint8_t>((cls == 3 ? kIndel : kNotComparable) + bits);
    }
  }
}

const CategoryTable& category_table_for(char missing) {
  static std::array<std::unique_ptr<CategoryTable>, 256> cache;
  std::unique_ptr<CategoryTable>& slot = cache[static_cast<unsigned char>(missing)];
  if (!slot) slot = std::make_unique<CategoryTable>(missing);
  return *slot;
}

// Every character outside the DNA alphabet and other than the missing-data
// character behaves alike in site_category: it differs from every other
// character in the same way, and only equality with itself sets it apart. So
// one row is worked out per character class (each alphabet character, the
// missing character, and "any other character") and copied to every character
// of the class, with the diagonal (a character against itself) set apart.
CategoryTable::CategoryTable(char missing) : cells_(new std::uint8_t[65536]) {
  constexpr int kOther = 0;  // class of the characters outside the alphabet
  std::array<int, 256> cls{};
  std::vector<char> representative{'\0'};  // one character per class
  const auto add_class = [&](char c) {
    int& k = cls[static_cast<unsigned char>(c)];
    if (k != kOther) return;
    k = static_cast<int>(representative.size());
    representative.push_back(c);
  };
  for (const char* c = "ACGT-RYMKSWHBVDN0123"; *c; ++c) add_class(*c);
  add_class(missing);
  // Two distinct characters of the other class stand for it.
  char other[2] = {'\0', '\0'};
  int found = 0;
  for (int c = 1; c < 256 && found < 2; ++c)
    if (cls[static_cast<size_t>(c)] == kOther) other[found++] = static_cast<char>(c);
  representative[kOther] = other[0];
  const size_t num_classes = representative.size();
  // Class against class: a representative of each. Against its own class the
  // other representative (a different character of the class) stands in;
  // single-character classes are fixed on the diagonal below.
  std::vector<std::uint8_t> between(num_classes * num_classes);
  for (size_t k = 0; k < num_classes; ++k) {
    for (size_t j = 0; j < num_classes; ++j) {
      const char rep_b = j == kOther && k == kOther ? other[1] : representative[j];
      between[k * num_classes + j] = site_category(representative[k], rep_b, missing);
    }
  }
  // Row of a class: its representative against every character.
  std::vector<std::uint8_t> rows(num_classes * 256);
  for (size_t k = 0; k < num_classes; ++k) {
    for (int b = 0; b < 256; ++b)
      rows[k * 256 + static_cast<size_t>(b)] =
          between[k * num_classes + static_cast<size_t>(cls[static_cast<size_t>(b)])];
  }
  for (int a = 0; a < 256; ++a) {
    std::uint8_t* row = cells_.get() + static_cast<size_t>(a) * 256u;
    std::memcpy(row, &rows[static_cast<size_t>(cls[static_cast<size_t>(a)]) * 256], 256);
    row[a] = site_category(static_cast<char>(a), static_cast<char>(a), missing);
  }
}

int finish_dna_distance(PopulDNA& pop, int method, const SiteCounts& c) {
  clear_results(pop);
  switch (method) {
    case kJukesCantor:
      return finish_jukes_cantor(pop, c);
    case kKimura2P:
      return finish_kimura(pop, c);
    case kProportion:
      return finish_proportion(pop, c);
    case kTajimaNei:
      return finish_tajima_nei(pop, c);
    case kTamura:
      return finish_tamura(pop, c);
    case kTamuraNei:
      return finish_tamura_nei(pop, c);
    default:
      return finish_diff(pop, c);
  }
}

}  // namespace qnd_dist

using qnd_dist::finish_dna_distance;
using qnd_dist::tally_sequences;

int PopulDNA::compare_nucleotides(char a, char b) {
  if (a == b) return 0;
  return qnd_dist::nucleotide_classes()(a, b);
}

int PopulDNA::diff_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kPairwiseDifference, tally_sequences(*this, s1, s2));
}
int PopulDNA::p_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kProportion, tally_sequences(*this, s1, s2));
}
int PopulDNA::jk_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kJukesCantor, tally_sequences(*this, s1, s2));
}
int PopulDNA::kim2p_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kKimura2P, tally_sequences(*this, s1, s2));
}
int PopulDNA::tajnei_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kTajimaNei, tally_sequences(*this, s1, s2));
}
int PopulDNA::tamura_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kTamura, tally_sequences(*this, s1, s2));
}
int PopulDNA::tamnei_dist(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, qnd_dist::kTamuraNei, tally_sequences(*this, s1, s2));
}
int PopulDNA::distance(std::string_view s1, std::string_view s2) {
  return finish_dna_distance(*this, dist_method, tally_sequences(*this, s1, s2));
}

void PopulDNA::comp_nucl_freq() {
  double n[4] = {0.0, 0.0, 0.0, 0.0};
  for (const PHaploDef* h : haplotypes) {
    const std::string& seq = h->hap->content;
    long long k[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < seq.size(); ++i) {
      const int b = qnd_dist::base_index(seq[i]);
      if (b >= 0 && site_usable(i)) ++k[b];
    }
    for (int b = 0; b < 4; ++b) n[b] += static_cast<double>(k[b]) * h->count;
  }
  const double total = n[0] + n[1] + n[2] + n[3];
  for (int b = 0; b < 4; ++b) nucl_freq[b] = total > 0 ? n[b] / total : 0.0;
  gc_content = nucl_freq[1] + nucl_freq[2];
}

namespace {
// Differences and compared sites of two RFLP haplotypes over the usable sites
// (a site missing from the shorter one is missing data).
void rflp_counts(const PopulRFLP& pop, std::string_view s1, std::string_view s2, int& diff,
                 int& compared) {
  const char m = pop.profile.MissingData;
  diff = compared = 0;
  const size_t n = std::max(s1.size(), s2.size());
  for (size_t i = 0; i < n; ++i) {
    if (!pop.site_usable(i)) continue;
    const char a = i < s1.size() ? s1[i] : m;
    const char b = i < s2.size() ? s2[i] : m;
    if (a == m || b == m) continue;
    ++compared;
    if (a != b) ++diff;
  }
}
}  // namespace

int PopulRFLP::diff_no_weight(std::string_view s1, std::string_view s2) {
  int diff = 0, compared = 0;
  rflp_counts(*this, s1, s2, diff, compared);
  dist_d = diff;  // 0 when no site is usable
  dist_v = 0.0;
  dist_L = compared;
  dist_num_diff = diff;
  return 1;
}

int PopulRFLP::p_diff(std::string_view s1, std::string_view s2) {
  int diff = 0, compared = 0;
  rflp_counts(*this, s1, s2, diff, compared);
  dist_d = dist_v = 0.0;
  dist_L = compared;
  dist_num_diff = diff;
  if (compared > 0) dist_d = static_cast<double>(diff) / compared;
  return 1;
}

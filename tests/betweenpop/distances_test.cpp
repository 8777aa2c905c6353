// Tests of the distances between two haplotypes: nucleotide pair classes, the
// seven DNA distances against published values and hand-computed edge cases,
// their diagnostics, the base frequencies, and the RFLP distances.
#include "betweenpop/distances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "betweenpop/distance_fixture.h"
#include "globals.h"
#include "withinpop/log_capture.h"

namespace {

// ---------------------------------------------------------------------------
// Nucleotide pair classes.
// ---------------------------------------------------------------------------

// Pair classes: 0 same or not comparable, 1 transition, 2 transversion,
// 3 gap against a base, 4 of unknown type. The order of the pair matters for
// the RFLP-like digits against a gap.
TEST(CompareNucleotides, NamedPairs) {
  const struct {
    char a, b;
    int cls;
  } cases[] = {{'A', 'Y', 2}, {'A', 'K', 4}, {'A', 'R', 0}, {'-', 'A', 3}, {'A', '-', 3},
               {'A', 'G', 1}, {'T', 'C', 1}, {'G', 'C', 2}, {'A', 'A', 0}, {'0', '-', 3},
               {'3', '-', 3}, {'-', '0', 0}, {'1', '-', 0}, {'R', 'Y', 2}, {'Y', 'R', 2},
               {'D', '-', 3}, {'K', 'M', 4}, {'W', 'S', 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(PopulDNA::compare_nucleotides(c.a, c.b), c.cls) << c.a << c.b;
  }
  for (char a : std::string("0123")) {
    for (char b : std::string("0123")) {
      EXPECT_EQ(PopulDNA::compare_nucleotides(a, b), a == b ? 0 : 4) << a << b;
    }
  }
}

TEST(CompareNucleotides, MissingAndUnknownCharactersAreNotComparable) {
  for (char b : std::string("ACGTRYN-")) {
    EXPECT_EQ(PopulDNA::compare_nucleotides('?', b), 0) << b;
    EXPECT_EQ(PopulDNA::compare_nucleotides(b, '?'), 0) << b;
  }
  EXPECT_EQ(PopulDNA::compare_nucleotides('N', 'A'), 0);
  EXPECT_EQ(PopulDNA::compare_nucleotides('X', 'A'), 0);
  EXPECT_EQ(PopulDNA::compare_nucleotides('R', 'K'), 0);  // share G
}

// A base against an ambiguity code: 0 when the code includes the base, 2 when
// every base of the code is a transversion of it, 4 otherwise; "-" against
// either gives 3. Checked in both orders against this rule.
TEST(CompareNucleotides, BaseAgainstCodeFollowsTheBaseSetRule) {
  const std::pair<char, std::string> codes[] = {
      {'R', "AG"},  {'Y', "CT"},  {'M', "AC"},  {'K', "GT"},  {'S', "CG"},  {'W', "AT"},
      {'H', "ACT"}, {'B', "CGT"}, {'V', "ACG"}, {'D', "AGT"}, {'N', "ACGT"}};
  auto transition = [](char x, char y) {
    return (x == 'A' && y == 'G') || (x == 'G' && y == 'A') || (x == 'C' && y == 'T') ||
           (x == 'T' && y == 'C');
  };
  for (char x : std::string("ACGT")) {
    for (const auto& [code, bases] : codes) {
      int expected = 2;
      if (bases.find(x) != std::string::npos) {
        expected = 0;
      } else {
        for (char y : bases) {
          if (transition(x, y)) expected = 4;
        }
      }
      EXPECT_EQ(PopulDNA::compare_nucleotides(x, code), expected) << x << code;
      EXPECT_EQ(PopulDNA::compare_nucleotides(code, x), expected) << code << x;
    }
  }
  for (const auto& [code, bases] : codes) {
    EXPECT_EQ(PopulDNA::compare_nucleotides('-', code), 3) << code;
  }
}

// ---------------------------------------------------------------------------
// Published values for three sequences without gaps.
// ---------------------------------------------------------------------------

const std::vector<std::string> kThree = {"ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT",
                                         "GTGTGTGTCCTTACGTACGTACGTACGTACGTACGTACGT",
                                         "GCACACGTACGTTTGTACGTGTGTACGTACATACGTACGT"};
const int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};

struct ThreeSequences : ::testing::Test {
  ThreeSequences() { sample.pop.comp_nucl_freq(); }
  // Distance of pair p with the given routine, checking success.
  template <class F>
  double dist(int p, F routine) {
    PopulDNA& pop = sample.pop;
    EXPECT_EQ((pop.*routine)(kThree[kPairs[p][0]], kThree[kPairs[p][1]]), 1);
    return pop.dist_d;
  }
  SampleOf<PopulDNA> sample{kThree};
};

TEST_F(ThreeSequences, PooledBaseFrequencies) {
  const PopulDNA& pop = sample.pop;
  EXPECT_NEAR(pop.nucl_freq[0], 0.2166667, 5e-8);
  EXPECT_NEAR(pop.nucl_freq[1], 0.2333333, 5e-8);
  EXPECT_NEAR(pop.nucl_freq[2], 0.2583333, 5e-8);
  EXPECT_NEAR(pop.nucl_freq[3], 0.2916667, 5e-8);
  EXPECT_NEAR(pop.gc_content, 0.2333333 + 0.2583333, 1e-7);
}

TEST_F(ThreeSequences, TransitionsAndTransversionsPerPair) {
  const int ts[3] = {4, 7, 9}, tv[3] = {2, 1, 3};
  for (int p = 0; p < 3; ++p) {
    dist(p, &PopulDNA::kim2p_dist);
    EXPECT_EQ(sample.pop.dist_L, 40);
    EXPECT_DOUBLE_EQ(sample.pop.dist_P, ts[p] / 40.0);
    EXPECT_DOUBLE_EQ(sample.pop.dist_Q, tv[p] / 40.0);
    EXPECT_DOUBLE_EQ(dist(p, &PopulDNA::diff_dist), ts[p] + tv[p]);
    EXPECT_DOUBLE_EQ(dist(p, &PopulDNA::p_dist), (ts[p] + tv[p]) / 40.0);
  }
}

TEST_F(ThreeSequences, EqualRateModels) {
  const double jc[3] = {0.167357663486, 0.232616196228, 0.383119217824};
  const double k2p[3] = {0.170181165140, 0.247825138220, 0.412849969848};
  const double tamura[3] = {0.170185564409, 0.247841205802, 0.412889457643};
  const double tn[3] = {0.170413268173, 0.251485290732, 0.415031737573};
  const double tajnei[3] = {0.1728927, 0.2523397, 0.4228926};
  for (int p = 0; p < 3; ++p) {
    EXPECT_NEAR(dist(p, &PopulDNA::jk_dist), jc[p], 1e-11);
    EXPECT_NEAR(dist(p, &PopulDNA::kim2p_dist), k2p[p], 1e-11);
    EXPECT_NEAR(dist(p, &PopulDNA::tamura_dist), tamura[p], 1e-11);
    EXPECT_NEAR(dist(p, &PopulDNA::tamnei_dist), tn[p], 1e-11);
    EXPECT_NEAR(dist(p, &PopulDNA::tajnei_dist), tajnei[p], 5e-8);
  }
}

TEST_F(ThreeSequences, GammaModels) {
  const double jc05[3] = {0.2109375, 0.3223140, 0.6666667};
  const double k05[3] = {0.2237654, 0.4035042, 0.9060436};
  const double k2[3] = {0.1817468, 0.2779002, 0.4932786};
  const double tn05[3] = {0.2248711, 0.4313497, 0.9290498};
  const double tn2[3] = {0.1821370, 0.2848126, 0.4977178};
  for (int p = 0; p < 3; ++p) {
    sample.pop.gamma_a = 0.5;
    EXPECT_NEAR(dist(p, &PopulDNA::jk_dist), jc05[p], 5e-8);
    EXPECT_NEAR(dist(p, &PopulDNA::kim2p_dist), k05[p], 5e-8);
    EXPECT_NEAR(dist(p, &PopulDNA::tamnei_dist), tn05[p], 5e-8);
    sample.pop.gamma_a = 2.0;
    EXPECT_NEAR(dist(p, &PopulDNA::kim2p_dist), k2[p], 5e-8);
    EXPECT_NEAR(dist(p, &PopulDNA::tamnei_dist), tn2[p], 5e-8);
  }
}

// Published variances: JC p(1-p)/((1-4p/3)^2 L); K2P with P = 0.1, Q = 0.05.
TEST_F(ThreeSequences, VariancesOfJukesCantorAndKimura) {
  dist(0, &PopulDNA::jk_dist);
  EXPECT_NEAR(sample.pop.dist_v, 0.15 * 0.85 / (0.8 * 0.8 * 40), 1e-15);
  dist(0, &PopulDNA::kim2p_dist);
  const double c1 = 1 / 0.75, c2 = 1 / 0.9, c3 = (c1 + c2) / 2;
  const double m = c1 * 0.1 + c3 * 0.05;
  EXPECT_NEAR(sample.pop.dist_v, (c1 * c1 * 0.1 + c3 * c3 * 0.05 - m * m) / 40, 1e-15);
  EXPECT_NEAR(sample.pop.dist_ratio, std::log(0.75) / std::log(0.9) - 0.5, 1e-12);
  dist(0, &PopulDNA::p_dist);
  EXPECT_NEAR(sample.pop.dist_v, 0.15 * 0.85 / 40, 1e-15);
  EXPECT_DOUBLE_EQ(sample.pop.dist_ratio, 2.0);  // P/Q = 0.1/0.05
}

// Tamura-Nei variance: numerical check of the delta method by finite
// differences of the distance in P1, P2 and Q (multinomial covariance).
TEST_F(ThreeSequences, TamuraNeiVarianceIsTheDeltaMethodVariance) {
  PopulDNA& pop = sample.pop;
  ASSERT_EQ(pop.tamnei_dist(kThree[1], kThree[2]), 1);
  const double v = pop.dist_v;
  const double gA = pop.nucl_freq[0], gC = pop.nucl_freq[1], gG = pop.nucl_freq[2],
               gT = pop.nucl_freq[3];
  auto tn = [&](double P1, double P2, double Q) {
    const double gR = gA + gG, gY = gC + gT;
    const double k1 = 2 * gA * gG / gR, k2 = 2 * gC * gT / gY;
    const double c3 = 2 * gR * gY - k1 * gY - k2 * gR;
    return -k1 * std::log(1 - P1 / k1 - Q / (2 * gR)) - k2 * std::log(1 - P2 / k2 - Q / (2 * gY)) -
           c3 * std::log(1 - Q / (2 * gR * gY));
  };
  // Pair (2,3): count the transitions by kind by hand.
  int ag = 0, ct = 0, tv = 0;
  for (size_t i = 0; i < kThree[1].size(); ++i) {
    const char a = kThree[1][i], b = kThree[2][i];
    if (a == b) continue;
    if ((a == 'A' && b == 'G') || (a == 'G' && b == 'A'))
      ++ag;
    else if ((a == 'C' && b == 'T') || (a == 'T' && b == 'C'))
      ++ct;
    else
      ++tv;
  }
  const double x[3] = {ag / 40.0, ct / 40.0, tv / 40.0};
  double grad[3];
  for (int k = 0; k < 3; ++k) {
    double hi[3] = {x[0], x[1], x[2]}, lo[3] = {x[0], x[1], x[2]};
    hi[k] += 1e-6;
    lo[k] -= 1e-6;
    grad[k] = (tn(hi[0], hi[1], hi[2]) - tn(lo[0], lo[1], lo[2])) / 2e-6;
  }
  double s2 = 0, s1 = 0;
  for (int k = 0; k < 3; ++k) {
    s2 += grad[k] * grad[k] * x[k];
    s1 += grad[k] * x[k];
  }
  EXPECT_NEAR(v, (s2 - s1 * s1) / 40, 1e-7);
  EXPECT_NEAR(pop.dist_ts_part + pop.dist_tv_part, pop.dist_d, 1e-15);
}

// ---------------------------------------------------------------------------
// Edge cases.
// ---------------------------------------------------------------------------

// The named routine of a method code.
int run_method(PopulDNA& pop, int method, std::string_view s1, std::string_view s2) {
  switch (method) {
    case 0:
      return pop.diff_dist(s1, s2);
    case 1:
      return pop.jk_dist(s1, s2);
    case 2:
      return pop.kim2p_dist(s1, s2);
    case 3:
      return pop.p_dist(s1, s2);
    case 4:
      return pop.tajnei_dist(s1, s2);
    case 5:
      return pop.tamura_dist(s1, s2);
    default:
      return pop.tamnei_dist(s1, s2);
  }
}

TEST(DnaDistanceEdges, IdenticalSequencesGiveZeroForEveryMethod) {
  const std::string s = "ACGTTGCA-?NRACGT";
  SampleOf<PopulDNA> sample({s, s});
  sample.pop.comp_nucl_freq();
  for (double a : {0.0, 0.5}) {
    sample.pop.gamma_a = a;
    for (int m = 0; m < 7; ++m) {
      ASSERT_EQ(run_method(sample.pop, m, s, s), 1) << m;
      EXPECT_EQ(sample.pop.dist_d, 0.0) << m;
      EXPECT_EQ(sample.pop.dist_v, 0.0) << m;
    }
  }
}

TEST(DnaDistanceEdges, MissingSiteIsComparedButNoDifferenceForMethods013) {
  const std::string s1 = "ACGTACGTAC", s2 = "GCGTACGTA?";
  SampleOf<PopulDNA> sample({s1, s2});
  PopulDNA& pop = sample.pop;
  pop.comp_nucl_freq();
  ASSERT_EQ(pop.diff_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_d, 1.0);
  EXPECT_EQ(pop.dist_L, 10);
  EXPECT_DOUBLE_EQ(pop.dist_v, 10 * 0.1 * 0.9);  // T p (1 - p), T = 10
  ASSERT_EQ(pop.jk_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_L, 10);
  EXPECT_DOUBLE_EQ(pop.dist_d, -0.75 * std::log(1 - 4 * 0.1 / 3));
  ASSERT_EQ(pop.p_dist(s1, s2), 1);
  EXPECT_DOUBLE_EQ(pop.dist_d, 0.1);
  // Tamura leaves out a site where either side is missing.
  ASSERT_EQ(pop.tamura_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_L, 9);
}

TEST(DnaDistanceEdges, GapRules) {
  // Sites: identical gap, gap against base, then eight identical bases.
  const std::string s1 = "--ACGTACGT", s2 = "-AACGTACGT";
  SampleOf<PopulDNA> sample({s1, s2});
  PopulDNA& pop = sample.pop;
  pop.comp_nucl_freq();
  ASSERT_EQ(pop.diff_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_d, 1.0);  // the indel
  EXPECT_EQ(pop.dist_L, 10);   // identical gaps are compared sites here
  ASSERT_EQ(pop.p_dist(s1, s2), 1);
  EXPECT_DOUBLE_EQ(pop.dist_d, 0.1);
  ASSERT_EQ(pop.jk_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_L, 9);  // identical gaps skipped, the indel compared
  EXPECT_EQ(pop.dist_num_diff, 0);
  ASSERT_EQ(pop.kim2p_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_L, 9);
  ASSERT_EQ(pop.tamura_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_L, 8);  // the indel is left out too
  pop.w_del = 0.0;           // indels no longer count as differences
  ASSERT_EQ(pop.diff_dist(s1, s2), 1);
  EXPECT_EQ(pop.dist_d, 0.0);
}

TEST(DnaDistanceEdges, ZeroTransitionWeightKeepsTransitionsAsComparedSites) {
  const std::string s1 = "ACGTACGTAC", s2 = "GCGTACGTAC";  // one transition
  SampleOf<PopulDNA> sample({s1, s2});
  PopulDNA& pop = sample.pop;
  pop.comp_nucl_freq();
  pop.w_ts = 0.0;
  for (int m = 0; m < 6; ++m) {
    ASSERT_EQ(run_method(pop, m, s1, s2), 1) << m;
    EXPECT_EQ(pop.dist_d, 0.0) << m;
    EXPECT_EQ(pop.dist_num_diff, 0) << m;
    EXPECT_EQ(pop.dist_L, 10) << m;  // still a compared site
  }
}

TEST(DnaDistanceEdges, NoUsableSiteGivesZero) {
  const std::string s1 = "AC", s2 = "GT";
  SampleOf<PopulDNA> sample({s1, s2});
  PopulDNA& pop = sample.pop;
  pop.locus_usable.assign(2, 0);
  pop.comp_nucl_freq();
  for (int m = 0; m < 7; ++m) {
    ASSERT_EQ(run_method(pop, m, s1, s2), 1) << m;
    EXPECT_EQ(pop.dist_d, 0.0) << m;
    EXPECT_EQ(pop.dist_L, 0) << m;
  }
}

// ---------------------------------------------------------------------------
// Diagnostics: number, kind and text in the log.
// ---------------------------------------------------------------------------

// One failing pair per distance: the routine returns 0 and logs its message
// (the first of the run, so numbered 1) with its kind, source and text.
TEST(DnaDistanceDiagnostics, EachFailingDistanceLogsItsMessage) {
  using Dist = int (PopulDNA::*)(std::string_view, std::string_view);
  struct Case {
    const char* s1;
    const char* s2;
    Dist dist;
    const char* text;
  };
  const Case cases[] = {
      // 3 transversions in 4 sites: p = 3/4.
      {"ACGT", "CAGG", &PopulDNA::jk_dist,
       "#[WARNING # 1] from function \"PopulDNA::jk_dist()\" : sequences too divergent for "
       "Jukes and Cantor correction"},
      // P = 0.5: w1 = 0 (message 163).
      {"AAAA", "GGAA", &PopulDNA::kim2p_dist,
       "WARNING # 1] from function \"PopulDNA::kim2p_dist()\" : sequences too divergent for "
       "Kimura-2P correction"},
      // No C and no T in the sample (error 164).
      {"AAGG", "AGGG", &PopulDNA::tajnei_dist,
       "ERROR # 1] from function \"PopulDNA::tajnei_dist(s1, s2)\" : a nucleotide is not found"},
      // Equal base frequencies, p = 1, h = 4, b = 0.5: p/b = 2 (warning 165).
      {"ACGT", "CATG", &PopulDNA::tajnei_dist,
       "WARNING # 1] from function \"PopulDNA::tajnei_dist(s1, s2)\" : sequences too divergent "
       "for Tajima-Nei correction"},
      // No G or C: GC content 0 (error 171).
      {"AAAT", "TAAT", &PopulDNA::tamura_dist,
       "ERROR # 1] from function \"PopulDNA::tamura_dist(s1, s2)\" : nucleotide composition "
       "too unbalanced for Tamura correction"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.s1) + " " + c.s2 + " " + c.text);
    LogCapture log;
    E.error(Warning, "", -1);  // message numbers start at 1
    SampleOf<PopulDNA> sample({c.s1, c.s2});
    sample.pop.comp_nucl_freq();
    EXPECT_EQ((sample.pop.*c.dist)(c.s1, c.s2), 0);
    EXPECT_NE(log.text().find(c.text), std::string::npos) << log.text();
  }
}

TEST(DnaDistanceDiagnostics, JukesCantorFailureSetsMinusPAndBelowTheLimitIsFinite) {
  SampleOf<PopulDNA> sample({"ACGT", "CAGG"});
  PopulDNA& pop = sample.pop;
  EXPECT_EQ(pop.jk_dist("ACGT", "CAGG"), 0);
  EXPECT_DOUBLE_EQ(pop.dist_d, -0.75);
  // 2 of 4 sites differ.
  EXPECT_EQ(pop.jk_dist("ACGT", "CAGT"), 1);
  EXPECT_DOUBLE_EQ(pop.dist_d, -0.75 * std::log(1 - 4 * 0.5 / 3));
  SampleOf<PopulDNA> even({"ACGT", "CATG"});
  even.pop.comp_nucl_freq();
  EXPECT_EQ(even.pop.tajnei_dist("ACGT", "CATG"), 0);
  EXPECT_EQ(even.pop.dist_d, 0.0);
  SampleOf<PopulDNA> no_gc({"AAAT", "TAAT"});
  no_gc.pop.comp_nucl_freq();
  EXPECT_EQ(no_gc.pop.gc_content, 0.0);
}

TEST(DnaDistanceDiagnostics, TamuraNeiDegenerateCasesWarn176) {
  LogCapture log;
  E.error(Warning, "", -1);                     // message numbers start at 1
  SampleOf<PopulDNA> sample({"AAGG", "AGGG"});  // no C, no T
  sample.pop.comp_nucl_freq();
  EXPECT_EQ(sample.pop.tamnei_dist("AAGG", "AGGG"), 0);
  SampleOf<PopulDNA> even({"ACGT", "CATG"});  // every site a transversion: w3 < 0
  even.pop.comp_nucl_freq();
  EXPECT_EQ(even.pop.tamnei_dist("ACGT", "CATG"), 0);
  even.pop.gamma_a = 0.5;
  EXPECT_EQ(even.pop.tamnei_dist("ACGT", "CATG"), 0);
  const std::string text = log.text();
  size_t count = 0;
  const std::string needle = "nucleotide composition too unbalanced for Tamura-Nei correction";
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u) << text;
  EXPECT_NE(text.find("WARNING # 3] from function \"PopulDNA::tamnei_dist(s1, s2)\""),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Weights: the number and the proportion of differences against a naive
// per-site accumulation written from the weighting rules.
// ---------------------------------------------------------------------------

struct NaiveWeighted {
  double d = 0, v = 0, L = 0;
};

NaiveWeighted naive_diff(const std::string& a, const std::string& b, double wts, double wtv,
                         double wdel, char m) {
  double d = 0, T = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) {
      if (a[i] != m) T += 1;
      continue;
    }
    const int c = PopulDNA::compare_nucleotides(a[i], b[i]);
    if (c == 1) {
      d += wts > 0 ? wts : 0;
      T += wts > 0 ? wts : 1;
    } else if (c == 2) {
      d += wtv > 0 ? wtv : 0;
      T += wtv > 0 ? wtv : 1;
    } else if (c == 3) {
      d += wdel > 0 ? wdel : 0;
      T += wdel > 0 ? wdel : 1;
    } else if (c == 4) {
      const double w = wts > 0 ? std::min(wts, wtv) : wtv;
      d += (wts > 0 && w > 0) ? w : 0;
      T += w > 0 ? w : 1;
    } else {
      T += 1;
    }
  }
  const double p = T > 0 ? d / T : 0;
  return {d, T > 0 ? T * p * (1 - p) : 0, T};
}

NaiveWeighted naive_proportion(const std::string& a, const std::string& b, double wts, double wtv,
                               double wdel, char m) {
  double diff = 0, L = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) {
      if (a[i] != m) L += 1;
      continue;
    }
    int c = PopulDNA::compare_nucleotides(a[i], b[i]);
    if (c == 4) c = wts > 0 ? (wtv < wts ? 2 : 1) : (wtv > 0 ? 5 : 0);
    const double w = c == 1 ? wts : c == 2 ? wtv : c == 3 ? wdel : c == 5 ? wtv : 0;
    if (c == 5) {
      L += w;  // unknown type with only transversions weighted: no difference
    } else if (c != 0 && w > 0) {
      L += w;
      diff += w;
    } else {
      L += 1;
    }
  }
  const double d = L > 0 ? diff / L : 0;
  return {d, L > 0 ? d * (1 - d) / L : 0, L};
}

TEST(DnaDistanceWeights, MatchNaiveAccumulationOnRandomSequences) {
  unsigned seed = 1;
  const std::string alphabet = "AAACCCGGGTTT-?RYKMSWN";
  const double weights[][3] = {{1, 1, 1},   {2, 0.5, 3}, {0.5, 2, 0},
                               {0, 1.5, 1}, {0, 0, 0},   {1, 0, 2}};
  for (int rep = 0; rep < 20; ++rep) {
    std::string a(60, 'A'), b(60, 'A');
    for (size_t i = 0; i < a.size(); ++i) {
      a[i] = alphabet[static_cast<size_t>(seed = (seed * 1103515245u + 12345u) & 0x7fffffffu) %
                      alphabet.size()];
      b[i] = (seed % 3 == 0) ? alphabet[static_cast<size_t>(seed / 7) % alphabet.size()] : a[i];
    }
    SampleOf<PopulDNA> sample({a, b});
    PopulDNA& pop = sample.pop;
    for (const auto& w : weights) {
      pop.w_ts = w[0];
      pop.w_tv = w[1];
      pop.w_del = w[2];
      const NaiveWeighted nd = naive_diff(a, b, w[0], w[1], w[2], '?');
      ASSERT_EQ(pop.diff_dist(a, b), 1);
      EXPECT_NEAR(pop.dist_d, nd.d, 1e-12);
      EXPECT_NEAR(pop.dist_v, nd.v, 1e-10);
      const NaiveWeighted np = naive_proportion(a, b, w[0], w[1], w[2], '?');
      ASSERT_EQ(pop.p_dist(a, b), 1);
      EXPECT_NEAR(pop.dist_d, np.d, 1e-12);
      EXPECT_NEAR(pop.dist_v, np.v, 1e-12);
    }
  }
}

// ---------------------------------------------------------------------------
// RFLP distances.
// ---------------------------------------------------------------------------

TEST(RflpDistance, CountsDifferencesIncludingGapsButNotMissing) {
  // Sites: 0/1 diff, 1/1, -/1 diff, ?/0 skipped, 1/0 diff, 0/0.
  SampleOf<PopulRFLP> sample({"01-?10",
                              "1110"
                              "00"});
  PopulRFLP& pop = sample.pop;
  ASSERT_EQ(pop.diff_no_weight("01-?10", "111000"), 1);
  EXPECT_EQ(pop.dist_d, 3.0);
  EXPECT_EQ(pop.dist_v, 0.0);
  ASSERT_EQ(pop.p_diff("01-?10", "111000"), 1);
  EXPECT_DOUBLE_EQ(pop.dist_d, 3.0 / 5.0);
  pop.locus_usable = {0, 1, 1, 1, 1, 1};  // first site unusable
  ASSERT_EQ(pop.diff_no_weight("01-?10", "111000"), 1);
  EXPECT_EQ(pop.dist_d, 2.0);
  ASSERT_EQ(pop.p_diff("01-?10", "111000"), 1);
  EXPECT_DOUBLE_EQ(pop.dist_d, 2.0 / 4.0);
  pop.locus_usable.assign(6, 0);
  ASSERT_EQ(pop.p_diff("01-?10", "111000"), 1);
  EXPECT_EQ(pop.dist_d, 0.0);
  EXPECT_EQ(pop.dist_v, 0.0);
}

// ---------------------------------------------------------------------------
// The method labels.
// ---------------------------------------------------------------------------

TEST(DistanceNames, RowsAndLabelsPerDataType) {
  fill_distance_names();
  EXPECT_STREQ(DistanceNames[0], "Pairwise difference");
  EXPECT_STREQ(DistanceNames[3], "Proportion of difference");
  EXPECT_STREQ(DistanceNames[6], "Tamura and Nei");
  EXPECT_STREQ(DistanceNames[8], "Sum of squared size difference (RST)");
  EXPECT_STREQ(qnd_dist::distance_label(DNA, 2), "Kimura 2P");
  EXPECT_STREQ(qnd_dist::distance_label(DNA, 9), "Pairwise difference");
  EXPECT_STREQ(qnd_dist::distance_label(RFLP, 1), "Proportion of difference");
  EXPECT_STREQ(qnd_dist::distance_label(MICROSAT, 0), "No. of different alleles (FST)");
  EXPECT_STREQ(qnd_dist::distance_label(STANDARD, 0), "Pairwise differences");
}

}  // namespace

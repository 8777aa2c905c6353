// Header and value lines of a pass: column order, prefixes, data-type filtering,
// number format, pairwise names, line feeds and the NGW recomputation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sumstat/sumstat.h"

namespace {

// Runs one population pass and returns {header, values}.
std::pair<std::string, std::string> pop_pass(TSumStat& s, TDataType type) {
  s.outputHeader(type);
  s.outputStats(type);
  return {s.headerLine, s.statsLine};
}

size_t count_char(const std::string& text, char c) {
  size_t n = 0;
  for (const char x : text) n += x == c;
  return n;
}

}  // namespace

TEST(ValueFormat, PrintsSixSignificantDigitsInGeneralNotation) {
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_K");
  for (const double v :
       {0.5, 12.0, 1234567.0, 0.00001, -0.25, 1.0 / 3.0, 100000.0, 1e6, 0.0, -1.23456789, 2.5e-300})
    s.K.Add(v);
  s.outputStats(DNA);
  EXPECT_EQ(
      s.statsLine,
      "0.5\t12\t1.23457e+06\t1e-05\t-0.25\t0.333333\t100000\t1e+06\t0\t-1.23457\t2.5e-300\t\n");
}

TEST(ValueFormat, MatchesADefaultFormattedStreamOverManyMagnitudes) {
  std::mt19937_64 gen(12345);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_H");
  std::ostringstream expected;
  auto add = [&](double v) {
    s.H.Add(v);
    expected << v << '\t';
  };
  for (int i = 0; i < 2000; ++i) add(mantissa(gen) * std::pow(10.0, exponent(gen)));
  for (const double v :
       {0.0, -0.0, 999999.5, 9999995.0, 0.0001, 0.00009999995,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min()})
    add(v);
  expected << '\n';
  s.outputStats(STANDARD);
  EXPECT_EQ(s.statsLine, expected.str());
}

TEST(ColumnOrder, DnaSelectionShowsDnaColumnsOnly) {
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_K MEAN_K ALL_S PRIVATE_S MEAN_S ALL_TAJIMAD ALL_PI ALL_GW");
  s.checkForStat("PAIRWISE_FST");
  s.K.Add(3);
  s.K.Add(5);
  s.meanK = 4;
  s.S.Add(12);
  s.S.Add(0.5);
  s.privS.Add(1);
  s.privS.Add(2);
  s.meanS = 6.25;
  s.D.Add(-1.23456789);
  s.D.Add(0.00001);
  s.Pi.Add(1234567);
  s.Pi.Add(0.333333333);
  s.GW.Add(0.9);
  s.pairFST.Add(0.25);
  const auto [header, values] = pop_pass(s, DNA);
  EXPECT_EQ(header,
            "K_1\tK_2\tmean_K\tS_1\tS_2\tprS_1\tprS_2\tmean_S\tD_1\tD_2\tPi_1\tPi_2\tFST_2_1\t\n");
  EXPECT_EQ(values,
            "3\t5\t4\t12\t0.5\t1\t2\t6.25\t-1.23457\t1e-05\t1.23457e+06\t0.333333\t0.25\t\n");
}

TEST(ColumnOrder, RflpHasNoPrivateSites) {
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_S PRIVATE_S MEAN_S");
  s.S.Add(4);
  s.privS.Add(1);
  s.meanS = 4;
  const auto [header, values] = pop_pass(s, RFLP);
  EXPECT_EQ(header, "S_1\tmean_S\t\n");
  EXPECT_EQ(values, "4\t4\t\n");
}

TEST(ColumnOrder, EveryDnaColumnInFixedOrder) {
  TSumStat s;
  s.checkForStat(
      "POP_LEVEL ALL_K ALLSD_K MEAN_K SD_K TOT_K ALL_H ALLSD_H MEAN_H SD_H TOT_H ALL_S ALLSD_S "
      "PRIVATE_S MEAN_S SD_S TOT_S ALL_TAJIMAD ALLSD_TAJIMAD MEAN_TAJIMAD SD_TAJIMAD TOT_TAJIMAD "
      "ALL_FUFS ALLSD_FUFS MEAN_FUFS SD_FUFS TOT_FUFS ALL_PI MEAN_PI SD_PI TOT_PI MEAN_ALL_DPRIME "
      "MEAN_ALL_R2 ALL_ADJ_DPRIME ALL_ADJ_R2 MEAN_ADJ_DPRIME MEAN_ADJ_R2 FLANK_DPRIME FLANK_R2 "
      "GLOBAL_FSTAT PAIRWISE_FST PAIRWISE_PI PAIRWISE_DMUSQR");
  // Values 1, 2, 3, ... in the order the columns must appear.
  double v = 0;
  s.K.Add(++v);
  s.Ksd.Add(++v);
  s.meanK = ++v;
  s.sdK = ++v;
  s.totK = ++v;
  s.H.Add(++v);
  s.Hsd.Add(++v);
  s.meanH = ++v;
  s.sdH = ++v;
  s.totH = ++v;
  s.S.Add(++v);
  s.Ssd.Add(++v);
  s.privS.Add(++v);
  s.meanS = ++v;
  s.sdS = ++v;
  s.totS = ++v;
  s.D.Add(++v);
  s.Dsd.Add(++v);
  s.meanD = ++v;
  s.sdD = ++v;
  s.FS.Add(++v);
  s.FSsd.Add(++v);
  s.meanFS = ++v;
  s.sdFS = ++v;
  s.Pi.Add(++v);
  s.meanPi = ++v;
  s.sdPi = ++v;
  s.meanDprime.Add(++v);
  s.meanR2.Add(++v);
  s.adjDprime.Add(++v);
  s.adjR2.Add(++v);
  s.meanAdjDprime.Add(++v);
  s.meanAdjR2.Add(++v);
  s.flankDprime.Add(++v);
  s.flankR2.Add(++v);
  s.FIS = ++v;
  s.FST = ++v;
  s.FCT = ++v;
  s.FSC = ++v;
  s.FIT = ++v;
  s.hasFIS = s.hasFST = s.hasFCT = s.hasFSC = s.hasFIT = true;
  s.pairFST.Add(++v);
  s.pairPI.Add(++v);
  s.pairDMUSQ.Add(++v);
  const auto [header, values] = pop_pass(s, DNA);
  EXPECT_EQ(header,
            "K_1\tKsd_1\tmean_K\tsd_K\ttot_K\tH_1\tHsd_1\tmean_H\tsd_H\ttot_H\t"
            "S_1\tSsd_1\tprS_1\tmean_S\tsd_S\ttot_S\tD_1\tDsd_1\tmean_D\tsd_D\t"
            "FS_1\tFSsd_1\tmean_FS\tsd_FS\tPi_1\tmean_Pi\tsd_Pi\t"
            "mean_D'_1\tmean_R2_1\tadj_D'_1\tadj_R2_1\tmean_adj_D'_1\tmean_adj_R2_1\t"
            "flank_D'_1\tflank_R2_1\tFIS\tFST\tFCT\tFSC\tFIT\tFST_2_1\tPI_2_1\tDMUSQ_2_1\t\n");
  EXPECT_EQ(values,
            "1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14\t15\t16\t17\t18\t19\t20\t21\t22\t23\t"
            "24\t25\t26\t27\t28\t29\t30\t31\t32\t33\t34\t35\t36\t37\t38\t39\t40\t41\t42\t43\t\n");
}

TEST(ColumnOrder, EveryMicrosatColumnInFixedOrder) {
  TSumStat s;
  s.checkForStat(
      "POP_LEVEL ALL_K MEAN_H ALL_S MEAN_S PRIVATE_S ALL_TAJIMAD ALL_PI ALL_GW ALLSD_GW MEAN_GW "
      "SD_GW TOT_GW ALL_NGW ALLSD_NGW MEAN_NGW SD_NGW ALL_RANGE ALLSD_RANGE MEAN_RANGE SD_RANGE "
      "TOT_RANGE FLANK_R2");
  s.K.Add(7);
  s.meanH = 0.75;
  s.S.Add(99);
  s.meanS = 99;
  s.privS.Add(99);
  s.D.Add(99);
  s.Pi.Add(99);
  s.GW.Add(0.5);
  s.GW.Add(0.25);
  s.GWsd.Add(0.125);
  s.GWsd.Add(0.0625);
  s.meanGW = 0.375;
  s.sdGW = 0.17;
  s.totGW = 0.4;
  s.NGW.Add(0.2);
  s.NGW.Add(0.4);
  s.NGWsd.Add(0.01);
  s.NGWsd.Add(0.02);
  s.R.Add(10);
  s.R.Add(14);
  s.Rsd.Add(1.5);
  s.Rsd.Add(2.5);
  s.meanR = 12;
  s.sdR = 2.82843;
  s.totR = 16;
  s.flankR2.Add(0.01);
  const auto [header, values] = pop_pass(s, MICROSAT);
  EXPECT_EQ(header,
            "K_1\tmean_H\tGW_1\tGW_2\tGWsd_1\tGWsd_2\tmean_GW\tsd_GW\ttot_GW\t"
            "NGW_1\tNGW_2\tNGWsd_1\tNGWsd_2\tmean_NGW\tsd_NGW\t"
            "R_1\tR_2\tRsd_1\tRsd_2\tmean_R\tsd_R\ttot_R\tflank_R2_1\t\n");
  // mean of 0.2, 0.4 is 0.3; sd = sqrt(2 * ((0.04 + 0.16) / 2 - 0.09)) = sqrt(0.02).
  EXPECT_EQ(values,
            "7\t0.75\t0.5\t0.25\t0.125\t0.0625\t0.375\t0.17\t0.4\t"
            "0.2\t0.4\t0.01\t0.02\t0.3\t0.141421\t"
            "10\t14\t1.5\t2.5\t12\t2.82843\t16\t0.01\t\n");
}

TEST(ColumnOrder, StandardAndFrequencyDataShowOnlyGeneralColumns) {
  for (const TDataType type : {STANDARD, FREQUENCY}) {
    TSumStat s;
    s.checkForStat(
        "POP_LEVEL ALL_K ALL_H ALL_S MEAN_S PRIVATE_S ALL_TAJIMAD ALL_FUFS ALL_PI MEAN_PI ALL_GW "
        "ALL_NGW MEAN_NGW ALL_RANGE TOT_RANGE MEAN_ALL_R2 GLOBAL_FSTAT PAIRWISE_PI");
    s.K.Add(2);
    s.H.Add(0.5);
    s.S.Add(1);
    s.privS.Add(1);
    s.D.Add(1);
    s.FS.Add(1);
    s.Pi.Add(1);
    s.GW.Add(1);
    s.NGW.Add(1);
    s.R.Add(1);
    s.meanR2.Add(0.3);
    s.FST = 0.125;
    s.hasFST = true;
    s.pairPI.Add(1.5);
    const auto [header, values] = pop_pass(s, type);
    EXPECT_EQ(header, "K_1\tH_1\tmean_R2_1\tFST\tPI_2_1\t\n") << type;
    EXPECT_EQ(values, "2\t0.5\t0.3\t0.125\t1.5\t\n") << type;
  }
}

TEST(ColumnOrder, FStatisticsNeedTheirPresenceFlag) {
  TSumStat s;
  s.checkForStat("POP_LEVEL GLOBAL_FSTAT");
  s.FIS = 0.1;
  s.FST = 0.2;
  s.FIT = 0.3;
  s.hasFST = true;
  s.hasFIT = true;
  const auto [header, values] = pop_pass(s, DNA);
  EXPECT_EQ(header, "FST\tFIT\t\n");
  EXPECT_EQ(values, "0.2\t0.3\t\n");
}

TEST(ColumnOrder, SelectedButEmptyListGivesNoColumn) {
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_K MEAN_K FLANK_DPRIME PAIRWISE_FST");
  s.meanK = 2;
  const auto [header, values] = pop_pass(s, DNA);
  EXPECT_EQ(header, "mean_K\t\n");
  EXPECT_EQ(values, "2\t\n");
}

TEST(PairwiseNames, LowerTriangleRowByRowOneNamePerValue) {
  struct Case {
    const char* keywords;
    int pairs;  // values 1, 2, ... stored in each selected list
    const char* header;
    const char* values;
  };
  const Case cases[] = {
      {"POP_LEVEL PAIRWISE_PI", 1, "PI_2_1\t\n", "1\t\n"},
      {"POP_LEVEL PAIRWISE_FST PAIRWISE_DMUSQR", 6,
       "FST_2_1\tFST_3_1\tFST_3_2\tFST_4_1\tFST_4_2\tFST_4_3\t"
       "DMUSQ_2_1\tDMUSQ_3_1\tDMUSQ_3_2\tDMUSQ_4_1\tDMUSQ_4_2\tDMUSQ_4_3\t\n",
       "1\t2\t3\t4\t5\t6\t1\t2\t3\t4\t5\t6\t\n"},
      // An incomplete triangle keeps the header as wide as the value line.
      {"POP_LEVEL PAIRWISE_FST", 4, "FST_2_1\tFST_3_1\tFST_3_2\tFST_4_1\t\n", "1\t2\t3\t4\t\n"},
  };
  for (const Case& c : cases) {
    TSumStat s;
    s.checkForStat(c.keywords);
    for (int i = 1; i <= c.pairs; ++i) {
      if (s.PAIRWISE_FST) s.pairFST.Add(i);
      if (s.PAIRWISE_PI) s.pairPI.Add(i);
      if (s.PAIRWISE_DMUSQR) s.pairDMUSQ.Add(i);
    }
    const auto [header, values] = pop_pass(s, MICROSAT);
    EXPECT_EQ(header, c.header) << c.keywords;
    EXPECT_EQ(values, c.values) << c.keywords;
  }
}

TEST(LongLines, HundredsOfThousandsOfPairwiseColumnsAreNeverCut) {
  TSumStat s;
  s.checkForStat("POP_LEVEL PAIRWISE_FST");
  const int n = 775;  // 775 * 774 / 2 = 299,925 pairs
  std::string expected_header;
  std::string expected_values;
  for (int i = 2; i <= n; ++i) {
    for (int j = 1; j < i; ++j) {
      s.pairFST.Add(0.125);
      expected_header += "FST_" + std::to_string(i) + "_" + std::to_string(j) + "\t";
      expected_values += "0.125\t";
    }
  }
  const auto [header, values] = pop_pass(s, DNA);
  ASSERT_GT(header.size(), 3'000'000u);
  EXPECT_EQ(count_char(header, '\t'), 299'925u);
  EXPECT_TRUE(header == expected_header + "\n") << "header differs";
  EXPECT_TRUE(values == expected_values + "\n") << "values differ";
}

TEST(PassLineFeeds, GroupPassThenPopulationPassMakeOneLine) {
  TSumStat s;
  s.checkForStat("POP_LEVEL GROUP_LEVEL ALL_S MEAN_S");
  s.groupPass = true;
  s.S.Add(3);
  s.S.Add(4);
  s.meanS = 3.5;
  s.outputHeader(DNA);
  s.outputStats(DNA);
  EXPECT_EQ(s.headerLine, "gr_S_1\tgr_S_2\tgr_mean_S\t");
  EXPECT_EQ(s.statsLine, "3\t4\t3.5\t");
  s.groupPass = false;
  s.clearValues();
  s.S.Add(1);
  s.S.Add(2);
  s.meanS = 1.5;
  s.outputHeader(DNA);
  s.outputStats(DNA);
  EXPECT_EQ(s.headerLine, "gr_S_1\tgr_S_2\tgr_mean_S\tS_1\tS_2\tmean_S\t\n");
  EXPECT_EQ(s.statsLine, "3\t4\t3.5\t1\t2\t1.5\t\n");
}

TEST(PassLineFeeds, GroupPassAloneEndsTheLine) {
  TSumStat s;
  s.checkForStat("GROUP_LEVEL MEAN_K");
  s.groupPass = true;
  s.meanK = 2;
  s.outputHeader(STANDARD);
  s.outputStats(STANDARD);
  EXPECT_EQ(s.headerLine, "gr_mean_K\t\n");
  EXPECT_EQ(s.statsLine, "2\t\n");
}

TEST(PassLineFeeds, PassWithoutColumnsGivesALoneLineFeed) {
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_GW");
  s.GW.Add(1);
  const auto [header, values] = pop_pass(s, DNA);
  EXPECT_EQ(header, "\n");
  EXPECT_EQ(values, "\n");
}

// The mean and sd of NGW are recomputed from the list when it holds values:
// the sd only from two values on; an empty list keeps both.
TEST(NgwSummary, MeanAndSdFromTheListWhenItHoldsValues) {
  struct Case {
    std::vector<double> values;
    double mean, sd;  // preset before the pass
    const char* line;
  };
  const Case cases[] = {
      // mean 3; sum of squares 41; sd = sqrt(3/2 * (41/3 - 9)) = sqrt(7) = 2.645751...
      {{1.0, 2.0, 6.0}, 99, 99, "3\t2.64575\t\n"},
      {{0.7}, 0, 0, "0.7\t0\t\n"},
      {{0.7}, 0, 0.25, "0.7\t0.25\t\n"},
      {{}, 1.5, 0.5, "1.5\t0.5\t\n"},
  };
  for (const Case& c : cases) {
    TSumStat s;
    s.checkForStat("POP_LEVEL MEAN_NGW SD_NGW");
    for (const double v : c.values) s.NGW.Add(v);
    s.meanNGW = c.mean;
    s.sdNGW = c.sd;
    s.outputStats(MICROSAT);
    EXPECT_EQ(s.statsLine, c.line) << c.values.size() << " values";
  }
  TSumStat s;
  s.checkForStat("POP_LEVEL MEAN_NGW SD_NGW");
  for (const double v : {1.0, 2.0, 6.0}) s.NGW.Add(v);
  s.outputStats(MICROSAT);
  EXPECT_DOUBLE_EQ(s.meanNGW, 3.0);  // stored back into the record
  EXPECT_NEAR(s.sdNGW, std::sqrt(7.0), 1e-12);
}

TEST(NgwSummary, EqualValuesGiveZeroSdEvenWhenRoundingMakesTheBracketNegative) {
  const double x = 0.1;
  // Precondition: in floating point the bracket is negative for these values.
  const double sum = x + x + x;
  const double mean = sum / 3;
  ASSERT_LT((x * x + x * x + x * x) / 3 - mean * mean, 0.0);
  TSumStat s;
  s.checkForStat("POP_LEVEL SD_NGW");
  for (int i = 0; i < 3; ++i) s.NGW.Add(x);
  s.outputStats(MICROSAT);
  EXPECT_EQ(s.statsLine, "0\t\n");
  EXPECT_EQ(s.sdNGW, 0.0);
}

TEST(NgwSummary, NotRecomputedForOtherDataTypesOrForTheHeader) {
  TSumStat s;
  s.checkForStat("POP_LEVEL MEAN_NGW");
  s.NGW.Add(4.0);
  s.meanNGW = 1.0;
  s.outputHeader(MICROSAT);
  EXPECT_EQ(s.meanNGW, 1.0);
  s.outputStats(DNA);
  EXPECT_EQ(s.meanNGW, 1.0);
}

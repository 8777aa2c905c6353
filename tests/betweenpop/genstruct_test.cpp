// Genetic-structure run steps: the data cases that skip the AMOVA, and the
// locus-by-locus AMOVA compared with the global one.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "../project/log_capture.h"
#include "amova_fixture.h"
#include "model/project.h"

using qnd_amova_test::SumStatScope;
using qnd_project_test::DataTypeScope;
using qnd_project_test::LogCapture;

TEST(GenStructCalculations, RecessiveDataSkipAmovaAndPairwise) {
  LogCapture log;
  Project p;
  p.profile.GenotypicData = 1;
  p.profile.RecessiveData = 1;
  p.s.TaskNumber = kTaskAmova | kTaskPairwiseFst | kTaskStandardIndices;
  std::ostringstream out;
  p.GenStructCalculations(out);
  EXPECT_EQ(p.s.TaskNumber, kTaskStandardIndices);
  EXPECT_NE(out.str().find("\n\nThe computation of AMOVA and PAIRWISE FST is"
                           "\nnot implemented yet with recessive data, sorry\n"),
            std::string::npos);
}

TEST(GenStructCalculations, UnknownPhaseWithConventionalFstIsSkipped) {
  LogCapture log;
  SumStatScope scope(true);
  Project p;
  p.profile.GenotypicData = 1;
  p.profile.GameticPhase = 0;
  p.s.ComputeConventionalFST = 1;
  p.s.HaplAMOVA = 0;
  p.s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  std::ostringstream out;
  p.GenStructCalculations(out);
  EXPECT_EQ(p.s.TaskNumber, 0);
  EXPECT_NE(out.str().find("SKIPPING COMPUTATION OF GENETIC STRUCTURE\n"), std::string::npos);
  EXPECT_TRUE(log.has_numbered("WARNING", "GenStructCalculations()", 202));
  EXPECT_FALSE(SumStat.hasFST);
}

TEST(LocusByLocusAmova, OneSiteEqualsTheGlobalAmova) {
  // One-site DNA data: the only locus's ratio is the global FST.
  LogCapture log;
  DataTypeScope type(DNA, ' ');
  SumStatScope scope(true);
  Project p;
  p.profile.GenotypicData = 0;
  const char* seqs[] = {"A", "G", "C"};
  for (const char* q : seqs) {
    auto h = std::make_unique<HaploDef>(my_string(q));
    h->content = q;
    p.haplotypes.add(h.release());
  }
  p.structure.add_group();
  p.structure.NbGroups = 1;
  const int counts[2][3] = {{3, 1, 0}, {1, 0, 3}};
  for (const auto& row : counts) {
    auto pop = std::make_unique<Population>();
    for (int h = 0; h < 3; ++h) {
      if (row[h] > 0) pop->haplotypes.Add(new PHaploDef(p.haplotypes[h], row[h]));
    }
    p.structure.groups[0]->Add(pop.get());
    p.samples.pops.Add(pop.release());
  }
  p.s.TaskNumber = kTaskAmova;
  p.s.HaplAMOVA = 1;
  p.s.NumPermutationsAMOVA = 0;
  std::ostringstream out;
  ASSERT_EQ(p.GenStructCalculations(out), 1);
  ASSERT_TRUE(SumStat.hasFST);
  const double global = SumStat.FST;
  SumStat.FST = 0.0;
  SumStat.hasFST = false;
  p.s.LocByLocAMOVA = 1;
  ASSERT_EQ(p.LocusByLocusAMOVA(out), 1);
  EXPECT_TRUE(SumStat.hasFST);
  EXPECT_NEAR(SumStat.FST, global, 1e-12);
  EXPECT_GT(global, 0.0);
}

TEST(ProjectDistanceMatrix, RepeatedRequestReusesOnlyIdenticalInputs) {
  LogCapture log;
  DataTypeScope type(DNA, ' ');
  Project p;
  const char* seqs[] = {"AAAA", "AGTA", "CGTT"};
  for (const char* q : seqs) {
    auto h = std::make_unique<HaploDef>(my_string(q));
    h->content = q;
    p.haplotypes.add(h.release());
  }
  auto pop = std::make_unique<Population>();
  for (int h = 0; h < 3; ++h) pop->haplotypes.Add(new PHaploDef(p.haplotypes[h], 1));
  p.samples.pops.Add(pop.release());
  p.s.TaskNumber = kTaskPairwiseFst;

  ASSERT_EQ(p.calc_dist_matrix(0, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(1, 0), 2.0);
  EXPECT_EQ(p.distmat.tri(2, 0), 4.0);
  // The same request again: the same matrix and the same log lines.
  ASSERT_EQ(p.calc_dist_matrix(0, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(2, 1), 2.0);
  size_t computations = 0, reports = 0;
  const std::string text = log.text();
  for (size_t at = text.find("Beginning distance computations"); at != std::string::npos;
       at = text.find("Beginning distance computations", at + 1))
    ++computations;
  for (size_t at = text.find("Number of usable loci"); at != std::string::npos;
       at = text.find("Number of usable loci", at + 1))
    ++reports;
  EXPECT_EQ(computations, 2u);
  EXPECT_EQ(reports, 2u);
  // Another method, then changed contents under the same haplotypes, then a
  // forgotten matrix: each is computed afresh.
  ASSERT_EQ(p.calc_dist_matrix(3, 0.0), 1);  // proportion x 4 sites = differences
  EXPECT_EQ(p.distmat.tri(2, 0), 4.0);
  p.haplotypes[2]->content = "AAAT";
  ASSERT_EQ(p.calc_dist_matrix(3, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(2, 0), 1.0);
  p.distmat.reset();
  p.haplotypes[2]->content = "AATT";
  ASSERT_EQ(p.calc_dist_matrix(3, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(2, 0), 2.0);
}

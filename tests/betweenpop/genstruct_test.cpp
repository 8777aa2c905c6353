// Genetic-structure run steps: the data cases that skip the AMOVA, the
// locus-by-locus AMOVA against the global one, and the reuse of a project's
// distance matrix.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "../project/log_capture.h"
#include "amova_fixture.h"
#include "model/project.h"

using qnd_amova_test::SumStatScope;
using qnd_project_test::DataTypeScope;
using qnd_project_test::LogCapture;

namespace {

// A project of the given sequences and one group of samples (copies per haplotype).
void fill(Project& p, const std::vector<const char*>& seqs,
          const std::vector<std::vector<int>>& samples) {
  for (const char* q : seqs) {
    auto h = std::make_unique<HaploDef>(my_string(q));
    h->content = q;
    p.haplotypes.add(h.release());
  }
  p.structure.add_group();
  p.structure.NbGroups = 1;
  for (const auto& counts : samples) {
    auto pop = std::make_unique<Population>();
    for (size_t h = 0; h < counts.size(); ++h)
      if (counts[h] > 0)
        pop->haplotypes.Add(new PHaploDef(p.haplotypes[static_cast<int>(h)], counts[h]));
    p.structure.groups[0]->Add(pop.get());
    p.samples.pops.Add(pop.release());
  }
}

}  // namespace

// Recessive data skip AMOVA and pairwise FST with a notice; unknown phase with
// conventional FST skips the genetic structure with warning 202.
TEST(GenStructCalculations, RecessiveDataAndUnknownPhaseSkipTheAmova) {
  LogCapture log;
  SumStatScope scope(true);
  Project r;
  r.profile.GenotypicData = r.profile.RecessiveData = 1;
  r.s.TaskNumber = kTaskAmova | kTaskPairwiseFst | kTaskStandardIndices;
  std::ostringstream out;
  r.GenStructCalculations(out);
  EXPECT_EQ(r.s.TaskNumber, kTaskStandardIndices);
  EXPECT_NE(out.str().find("\n\nThe computation of AMOVA and PAIRWISE FST is"
                           "\nnot implemented yet with recessive data, sorry\n"),
            std::string::npos);
  Project u;
  u.profile.GenotypicData = 1;
  u.profile.GameticPhase = 0;
  u.s.ComputeConventionalFST = 1;
  u.s.HaplAMOVA = 0;
  u.s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  u.GenStructCalculations(out);
  EXPECT_EQ(u.s.TaskNumber, 0);
  EXPECT_NE(out.str().find("SKIPPING COMPUTATION OF GENETIC STRUCTURE\n"), std::string::npos);
  EXPECT_TRUE(log.has_numbered("WARNING", "GenStructCalculations()", 202));
  EXPECT_FALSE(SumStat.hasFST);
}

TEST(LocusByLocusAmova, OneSiteEqualsTheGlobalAmova) {
  LogCapture log;
  DataTypeScope type(DNA, ' ');
  SumStatScope scope(true);
  Project p;
  p.profile.GenotypicData = 0;
  fill(p, {"A", "G", "C"}, {{3, 1, 0}, {1, 0, 3}});
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

// The same request again gives the same matrix and the same log lines; another
// method, changed contents under the same haplotypes or a forgotten matrix are
// computed afresh.
TEST(ProjectDistanceMatrix, RepeatedRequestReusesOnlyIdenticalInputs) {
  LogCapture log;
  DataTypeScope type(DNA, ' ');
  Project p;
  fill(p, {"AAAA", "AGTA", "CGTT"}, {{1, 1, 1}});
  p.s.TaskNumber = kTaskPairwiseFst;
  ASSERT_EQ(p.calc_dist_matrix(0, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(1, 0), 2.0);
  EXPECT_EQ(p.distmat.tri(2, 0), 4.0);
  ASSERT_EQ(p.calc_dist_matrix(0, 0.0), 1);
  EXPECT_EQ(p.distmat.tri(2, 1), 2.0);
  const std::string text = log.text();
  for (const std::string line : {"Beginning distance computations", "Number of usable loci"}) {
    size_t count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
      ++count;
    EXPECT_EQ(count, 2u) << line;
  }
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

// The per-project bookkeeping of the summary record in a batch: text of failed
// runs is dropped, and each failure keeps its line as "NA" fields, as many as
// the header of the first project that ran has columns.
#include <gtest/gtest.h>

#include "sumstat/sumstat.h"

namespace {

// Simulates one project: its header (only added while the header is not
// complete, as the run sequence does) and value text, then the outcome.
void project(TSumStat& sum, bool ran, const std::string& header, const std::string& values) {
  sum.begin_project();
  if (!sum.header_complete) sum.headerLine += header;
  sum.statsLine += values;
  sum.end_project(ran);
}

}  // namespace

TEST(SumStatBatch, FailedRunLeavesNoTextOutsideBatchMode) {
  TSumStat sum;
  project(sum, false, "a\t\n", "1\t\n");
  sum.finish_batch();
  EXPECT_EQ(sum.headerLine, "");
  EXPECT_EQ(sum.statsLine, "");
  EXPECT_FALSE(sum.header_complete);
}

TEST(SumStatBatch, FailuresBeforeTheFirstRunWaitForItsColumnCount) {
  TSumStat sum;
  sum.batch_mode = true;
  project(sum, false, "partial\t", "9\t");  // failed part way: none of it stays
  project(sum, false, "", "");
  project(sum, true, "x\ty\tz\t\n", "1\t2\t3\t\n");
  project(sum, false, "ignored\t\n", "8\t");
  project(sum, true, "ignored\t\n", "4\t5\t6\t\n");
  sum.finish_batch();
  EXPECT_EQ(sum.headerLine, "x\ty\tz\t\n");
  EXPECT_EQ(sum.statsLine, "NA\tNA\tNA\t\nNA\tNA\tNA\t\n1\t2\t3\t\nNA\tNA\tNA\t\n4\t5\t6\t\n");
}

TEST(SumStatBatch, ColumnsOfBothPassesCountOnTheHeaderLine) {
  TSumStat sum;
  sum.batch_mode = true;
  sum.begin_project();
  sum.headerLine += "gr_a\t";  // group pass
  sum.headerLine += "a\t\n";   // population pass ends the line
  sum.statsLine += "1\t2\t\n";
  sum.end_project(true);
  project(sum, false, "", "");
  EXPECT_EQ(sum.statsLine, "1\t2\t\nNA\tNA\t\n");
}

TEST(SumStatBatch, WithoutAnyRunEachFailureGetsOneNAColumn) {
  TSumStat sum;
  sum.batch_mode = true;
  project(sum, false, "a\t", "");
  project(sum, false, "", "");
  EXPECT_EQ(sum.statsLine, "") << "lines wait for a header until the batch ends";
  sum.finish_batch();
  EXPECT_EQ(sum.headerLine, "");
  EXPECT_EQ(sum.statsLine, "NA\t\nNA\t\n");
}

TEST(SumStatBatch, ResetStartsANewBatch) {
  TSumStat sum;
  sum.batch_mode = true;
  project(sum, true, "a\t\n", "1\t\n");
  project(sum, false, "", "");  // waiting count stays zero: header is known
  sum.resetComputationFlags();
  EXPECT_FALSE(sum.header_complete);
  project(sum, false, "", "");
  project(sum, true, "a\tb\t\n", "1\t2\t\n");
  EXPECT_EQ(sum.statsLine, "NA\tNA\t\n1\t2\t\n");
}

// Data block of a [[DistanceMatrix]] sub-section.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "model/matrices.h"
#include "project/log_capture.h"

namespace {

using qnd_project_test::LogCapture;

constexpr const char* kContext = "DistMat::ReadDistanceMatrix()";
constexpr int kLine = 0;
constexpr int kColumn = 1;

struct MatrixRead {
  int result = 0;
  int lineNo = 0;
};

MatrixRead read_matrix(DistMat& m, int n, int position, const std::string& text,
                       bool external = false, int firstLine = 0) {
  m.name = "dm";
  m.label_position = position;
  EXPECT_EQ(m.initializeMatrixAndArrays(n), 1);
  std::istringstream in(text);
  MatrixRead r;
  r.lineNo = firstLine;
  r.result = m.ReadDistanceMatrix(in, external, r.lineNo);
  return r;
}

double cell(const DistMat& m, int i, int j) {
  return m.matrix[static_cast<size_t>(i) * static_cast<size_t>(m.size) + static_cast<size_t>(j)];
}

TEST(DistanceMatrixReader, LineLabelsNeedRowsOfOneTwoThreeAndIgnoreTheDiagonal) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kLine,
                                   "A B C\n"
                                   "9\n"  // diagonal values are read but not stored
                                   "1.5 9\n"
                                   "2 3e-1 9\n"
                                   "}\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.lineNo, 5);
  EXPECT_EQ(m.labels[0], "A");
  EXPECT_EQ(m.labels[2], "C");
  const double expected[3][3] = {{0, 1.5, 2}, {1.5, 0, 0.3}, {2, 0.3, 0}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_DOUBLE_EQ(cell(m, i, j), expected[i][j]) << i << "," << j;
      EXPECT_DOUBLE_EQ(m.tri(i, j), expected[i][j]) << i << "," << j;
    }
  EXPECT_FALSE(log.has_kind("ERROR"));
  EXPECT_FALSE(log.has_kind("WARNING"));
}

TEST(DistanceMatrixReader, ColumnLabelsHeadEachRow) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kColumn,
                                   "# labels first\n"
                                   "x 0\n"
                                   "\n"
                                   "y\t4 0\n"
                                   "z 5 6 0 }\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.lineNo, 5);
  EXPECT_EQ(m.labels[0], "x");
  EXPECT_EQ(m.labels[1], "y");
  EXPECT_EQ(m.labels[2], "z");
  EXPECT_DOUBLE_EQ(cell(m, 1, 0), 4);
  EXPECT_DOUBLE_EQ(cell(m, 0, 1), 4);
  EXPECT_DOUBLE_EQ(cell(m, 2, 0), 5);
  EXPECT_DOUBLE_EQ(cell(m, 2, 1), 6);
  EXPECT_DOUBLE_EQ(cell(m, 1, 2), 6);
  EXPECT_DOUBLE_EQ(m.tri(1, 2), 6);
}

TEST(DistanceMatrixReader, AgreesWithTheTriangleWrittenOut) {
  // A matrix of 7 items, d(i, j) = |i - j| * 0.25 + (i + j) % 3, written in COLUMN form.
  const int n = 7;
  auto d = [](int i, int j) { return (i > j ? i - j : j - i) * 0.25 + (i + j) % 3; };
  std::string text;
  for (int i = 0; i < n; ++i) {
    text += "item" + std::to_string(i);
    for (int j = 0; j < i; ++j) {
      char buf[32];
      std::snprintf(buf, sizeof buf, " %.17g", d(i, j));
      text += buf;
    }
    text += " 0\n";
  }
  text += "}\n";
  LogCapture log;
  DistMat m;
  ASSERT_EQ(read_matrix(m, n, kColumn, text).result, 1);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(m.labels[static_cast<size_t>(i)], ("item" + std::to_string(i)).c_str());
    for (int j = 0; j < n; ++j) {
      const double want = i == j ? 0.0 : d(i, j);
      EXPECT_DOUBLE_EQ(cell(m, i, j), want);
      EXPECT_DOUBLE_EQ(m.tri(i, j), want);
    }
  }
}

TEST(DistanceMatrixWarnings, FourthValueOnFirstRowWarnsAndReadingGoesOn) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kLine, "A B C\n0 7 8 9\n1 0\n2 3 0\n}\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(log.contains("\tWarning:  Too many distances are defined on line 2(2 instead of 1)"));
  EXPECT_TRUE(log.has_numbered("WARNING", kContext, 15));
  EXPECT_DOUBLE_EQ(cell(m, 2, 1), 3);  // the rows after it are read as usual
  EXPECT_DOUBLE_EQ(cell(m, 0, 1), 1);
}

TEST(DistanceMatrixWarnings, MoreLabelsThanItemsWarns) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 2, kLine, "A B C\n0\n1 0\n}\n", false, 20);
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(log.contains("\tWarning: More labels than anticipated (2) are declared on line 21"));
  EXPECT_TRUE(log.has_numbered("WARNING", kContext, 15));
  EXPECT_EQ(m.labels[1], "B");
}

TEST(DistanceMatrixWarnings, RowsBeyondTheSizeWarnAndAreIgnored) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 2, kLine, "A B\n0\n1 0\n4 4 0\n}\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(log.contains(
      "\tWarning: More rows than anticipated (2) are declared on line 4. Extra row ignored."));
  EXPECT_TRUE(log.has_numbered("WARNING", kContext, 15));
  EXPECT_DOUBLE_EQ(cell(m, 1, 0), 1);
}

TEST(DistanceMatrixLabelErrors, MissingLabelIsError12) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kLine, "A B\n0\n1 0\n2 3 0\n}\n", false, 7);
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(log.contains(
      "\tMissing labels on line 8. Only 2 labels were found while 3 were expected. Last correctly "
      "read label was \"B\". Aborting reading Distance Matrix"));
  EXPECT_TRUE(log.has_numbered("ERROR", kContext, 12));
}

TEST(DistanceMatrixLabelErrors, ClosingBraceOnTheLabelLineIsError12) {
  for (const char* text : {"A B C }\n", "}\n"}) {
    LogCapture log;
    DistMat m;
    const MatrixRead r = read_matrix(m, 3, kLine, text);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(log.contains(
        "\tUnexpected closing brace found on line 1. Aborting reading distance matrix."))
        << text;
    EXPECT_TRUE(log.has_numbered("ERROR", kContext, 12));
  }
}

TEST(DistanceMatrixValueErrors, UnreadableDistanceIsError13) {
  for (const char* bad : {"abc", "nan", "1e999", "2x"}) {
    LogCapture log;
    DistMat m;
    const MatrixRead r =
        read_matrix(m, 3, kLine, std::string("A B C\n0\n1 0\n2 ") + bad + " 0\n}\n");
    EXPECT_EQ(r.result, 0) << bad;
    EXPECT_TRUE(log.contains(std::string("\tBad value (\"") + bad +
                             "\") for distance #2 on line 4. Aborting reading distance matrix."))
        << bad;
    EXPECT_TRUE(log.has_numbered("ERROR", kContext, 13));
  }
}

TEST(DistanceMatrixValueErrors, MissingDistanceIsError13) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kColumn, "A 0\nB 1\nC 2 3 0\n}\n");
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(
      log.contains("\tUnable to read distance #2 on line 2. Aborting reading distance matrix."));
  EXPECT_TRUE(log.has_numbered("ERROR", kContext, 13));
}

TEST(DistanceMatrixDimension, TooFewRowsBeforeTheBrace) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kLine, "A B C\n0\n1 0\n}\n");
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(
      log.contains("\tInvalid dimension for distance matrix: 3 rows were expected, but "
                   "only 2 were found. Aborting reading project."));
}

TEST(DistanceMatrixDimension, TooFewRowsInAnExternalFile) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 3, kColumn, "A 0\n", true);
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(
      log.contains("\tInvalid dimension for distance matrix: 3 rows were expected, but "
                   "only 1 were found. Aborting reading project."));
}

TEST(DistanceMatrixClosingBrace, ExternalFileMayEndWithoutBrace) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 2, kColumn, "A 0\nB 1 0", true);
  ASSERT_EQ(r.result, 1);
  EXPECT_DOUBLE_EQ(cell(m, 0, 1), 1);
}

TEST(DistanceMatrixClosingBrace, ProjectBlockEndingWithTheFileFails) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 2, kColumn, "A 0\nB 1 0\n");
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(
      log.contains("\tNo closing brace in Matrix Data \"dm\"definition.Aborting reading "
                   "project."));
}

TEST(DistanceMatrixClosingBrace, NewSectionBeforeTheBraceFails) {
  for (const char* text :
       {"A 0\nB 1 0\n[[Structure]]\n", "A 0\n[[Samples]]\n", "A 0\nB 1 0\n[Mantel]\n"}) {
    LogCapture log;
    DistMat m;
    const MatrixRead r = read_matrix(m, 2, kColumn, text);
    EXPECT_EQ(r.result, 0) << text;
    EXPECT_TRUE(log.contains(
        "\tNo closing brace in Matrix Data \"dm\"definition.Aborting reading project."))
        << text;
  }
}

}  // namespace

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
  const double expected[3][3] = {{0, 4, 5}, {4, 0, 6}, {5, 6, 0}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(m.tri(i, j), expected[i][j]) << i << "," << j;
  EXPECT_DOUBLE_EQ(cell(m, 1, 2), 6);
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

// Every diagnostic: the block, the result, the log text, and the numbered
// message (number 0: none). A warning leaves the matrix readable: cell (1, 0)
// is then checked too.
TEST(DistanceMatrixDiagnostics, TextAndNumberOfEachCase) {
  constexpr const char* kNoBrace =
      "\tNo closing brace in Matrix Data \"dm\"definition.Aborting reading project.";
  constexpr const char* kDimension =
      "\tInvalid dimension for distance matrix: 3 rows were expected, but only %d were found. "
      "Aborting reading project.";
  auto dimension = [&](int found) {
    char buf[200];
    std::snprintf(buf, sizeof buf, kDimension, found);
    return std::string(buf);
  };
  struct Case {
    int n, position;
    std::string text;
    bool external;
    int first_line;
    int result;
    std::string log;
    const char* kind;
    int number;
    double cell_1_0;
  };
  const Case cases[] = {
      {3, kLine, "A B C\n0 7 8 9\n1 0\n2 3 0\n}\n", false, 0, 1,
       "\tWarning:  Too many distances are defined on line 2(2 instead of 1)", "WARNING", 15, 1},
      // One value more than the row holds is already too many.
      {3, kLine, "A B C\n0\n1 0 5\n2 3 0\n}\n", false, 0, 1,
       "\tWarning:  Too many distances are defined on line 3(3 instead of 2)", "WARNING", 15, 1},
      {2, kLine, "A B C\n0\n1 0\n}\n", false, 20, 1,
       "\tWarning: More labels than anticipated (2) are declared on line 21", "WARNING", 15, 1},
      {2, kLine, "A B\n0\n1 0\n4 4 0\n}\n", false, 0, 1,
       "\tWarning: More rows than anticipated (2) are declared on line 4. Extra row ignored.",
       "WARNING", 15, 1},
      {3, kLine, "A B\n0\n1 0\n2 3 0\n}\n", false, 7, 0,
       "\tMissing labels on line 8. Only 2 labels were found while 3 were expected. Last "
       "correctly read label was \"B\". Aborting reading Distance Matrix",
       "ERROR", 12, 0},
      {3, kLine, "A B C }\n", false, 0, 0,
       "\tUnexpected closing brace found on line 1. Aborting reading distance matrix.", "ERROR", 12,
       0},
      {3, kLine, "}\n", false, 0, 0,
       "\tUnexpected closing brace found on line 1. Aborting reading distance matrix.", "ERROR", 12,
       0},
      {3, kColumn, "A 0\nB 1\nC 2 3 0\n}\n", false, 0, 0,
       "\tUnable to read distance #2 on line 2. Aborting reading distance matrix.", "ERROR", 13, 0},
      {3, kLine, "A B C\n0\n1 0\n}\n", false, 0, 0, dimension(2), nullptr, 0, 0},
      {3, kColumn, "A 0\n", true, 0, 0, dimension(1), nullptr, 0, 0},
      {2, kColumn, "A 0\nB 1 0\n", false, 0, 0, kNoBrace, nullptr, 0, 0},
      {2, kColumn, "A 0\nB 1 0\n[[Structure]]\n", false, 0, 0, kNoBrace, nullptr, 0, 0},
      {2, kColumn, "A 0\n[[Samples]]\n", false, 0, 0, kNoBrace, nullptr, 0, 0},
      {2, kColumn, "A 0\nB 1 0\n[Mantel]\n", false, 0, 0, kNoBrace, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    LogCapture log;
    DistMat m;
    const MatrixRead r = read_matrix(m, c.n, c.position, c.text, c.external, c.first_line);
    EXPECT_EQ(r.result, c.result);
    EXPECT_TRUE(log.contains(c.log)) << log.text();
    if (c.kind != nullptr) {
      EXPECT_TRUE(log.has_numbered(c.kind, kContext, c.number));
    }
    if (c.result == 1) {
      EXPECT_DOUBLE_EQ(cell(m, 1, 0), c.cell_1_0);
    }
  }
}

TEST(DistanceMatrixDiagnostics, UnreadableDistanceIsError13) {
  for (const char* bad : {"abc", "nan", "1e999", "2x", "-1"}) {
    LogCapture log;
    DistMat m;
    const MatrixRead r =
        read_matrix(m, 3, kLine, std::string("A B C\n0\n1 0\n2 ") + bad + " 0\n}\n");
    EXPECT_EQ(r.result, 0) << bad;
    EXPECT_TRUE(log.contains(std::string("\tBad value (\"") + bad +
                             "\") for distance #2 on line 4. Aborting reading distance matrix."))
        << bad;
    EXPECT_TRUE(log.has_numbered("ERROR", kContext, 13)) << bad;
  }
}

TEST(DistanceMatrixClosingBrace, ExternalFileMayEndWithoutBrace) {
  LogCapture log;
  DistMat m;
  const MatrixRead r = read_matrix(m, 2, kColumn, "A 0\nB 1 0", true);
  ASSERT_EQ(r.result, 1);
  EXPECT_DOUBLE_EQ(cell(m, 0, 1), 1);
}

}  // namespace

// Matrix types: TriMat (lower triangle of doubles, with a constant mode that
// holds one value for the diagonal and one for every other cell), RectMat (a
// rectangular matrix) and DistMat (a distance matrix between haplotypes with
// labels, as read from a project or computed).
#ifndef QND_MODEL_MATRICES_H
#define QND_MODEL_MATRICES_H

#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "text/my_string.h"

class TriMat {
 public:
  TriMat() = default;
  explicit TriMat(int n) { resize(n); }

  // Explicit lower triangle of n x n (diagonal included), all 0.
  void resize(int n);
  // Constant mode: every diagonal cell holds diag, every other cell off_diag.
  void set_constant(int n, double diag, double off_diag);
  bool is_constant() const { return constant_; }
  int size() const { return n_; }

  // Cell (i, j) in either order. An index out of range reports a warning and
  // yields the diagonal value.
  double operator()(int i, int j) const;
  double& at(int i, int j);
  // Cell (i, j) of an explicit matrix without the range check, for inner loops
  // whose indices were checked once against size().
  double cell(int i, int j) const { return i >= j ? cells_[offset(i, j)] : cells_[offset(j, i)]; }
  // Row i of an explicit matrix: cells (i, 0) .. (i, i), for filling it row by
  // row; i must be below size().
  double* row(int i) { return cells_.data() + offset(i, 0); }

 private:
  static size_t offset(int i, int j) {
    return static_cast<size_t>(i) * (static_cast<size_t>(i) + 1) / 2 + static_cast<size_t>(j);
  }
  int n_ = 0;
  bool constant_ = false;
  double diag_ = 0.0;
  double off_diag_ = 0.0;
  double spare_ = 0.0;
  std::vector<double> cells_;
};

class RectMat {
 public:
  RectMat() = default;
  RectMat(int rows, int cols) { resize(rows, cols); }
  void resize(int rows, int cols);
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  // Cell (i, j); out of range reports an error and yields a spare cell.
  double& operator()(int i, int j);
  double operator()(int i, int j) const;

 private:
  int rows_ = 0;
  int cols_ = 0;
  double spare_ = 0.0;
  std::vector<double> cells_;
};

class DistMat {
 public:
  // Allocates the matrix and the labels for n items; returns 1 on success.
  int initializeMatrixAndArrays(const int& n);
  // Reads the matrix block of a [[DistanceMatrix]] section; returns 1 when read.
  int ReadDistanceMatrix(std::istream& in, bool external, int& lineNo);
  // Forgets the matrix (a computed one is made again when needed).
  void reset();
  bool is_empty() const { return size == 0 && tri.size() == 0; }

  int size = 0;
  std::vector<double> matrix;  // size x size, symmetric
  std::vector<my_string> labels;
  int label_position = 0;  // 0 LINE, 1 COLUMN
  my_string name;
  TriMat tri;  // the matrix the between-sample computations read
  // What a computed matrix was computed from (haplotypes, their pooled copies,
  // data type and distance settings), empty for a matrix read from a file:
  // a later request with the same inputs reuses the matrix.
  std::string computed_from;
  // The sums from allele counts that a run used instead of this matrix (an
  // object of the between-population code), with the same kind of key.
  std::shared_ptr<const void> count_sums;
  std::string count_sums_from;
  // The usable-loci report made with the computed matrix (its log text and the
  // file of missing data it wrote), repeated by a later pass that reuses it.
  std::string usable_loci_log;
  std::string usable_loci_file;
};

#endif  // QND_MODEL_MATRICES_H

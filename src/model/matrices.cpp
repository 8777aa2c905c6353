// Matrix types.
#include "model/matrices.h"

#include <stdexcept>

#include "base/errors.h"
#include "globals.h"

void TriMat::resize(int n) {
  n_ = n > 0 ? n : 0;
  constant_ = false;
  cells_.assign(offset(n_, 0), 0.0);
}

void TriMat::set_constant(int n, double diag, double off_diag) {
  n_ = n > 0 ? n : 0;
  constant_ = true;
  diag_ = diag;
  off_diag_ = off_diag;
  cells_.clear();
  cells_.shrink_to_fit();
}

double TriMat::operator()(int i, int j) const {
  if (i < j) std::swap(i, j);
  if (j < 0 || i >= n_) {
    E.error(Warning, "TriMat::operator()", 1);
    return constant_ ? diag_ : 0.0;
  }
  if (constant_) return i == j ? diag_ : off_diag_;
  return cells_[offset(i, j)];
}

double& TriMat::at(int i, int j) {
  if (i < j) std::swap(i, j);
  if (j < 0 || i >= n_ || constant_) {
    E.error(Warning, "TriMat::operator()", 1);
    spare_ = constant_ ? diag_ : 0.0;
    return spare_;
  }
  return cells_[offset(i, j)];
}

void RectMat::resize(int rows, int cols) {
  rows_ = rows > 0 ? rows : 0;
  cols_ = cols > 0 ? cols : 0;
  cells_.assign(static_cast<size_t>(rows_) * static_cast<size_t>(cols_), 0.0);
}

double& RectMat::operator()(int i, int j) {
  if (i < 0 || j < 0 || i >= rows_ || j >= cols_) {
    E.error(Error, "RectMat::operator()", 1);
    spare_ = 0.0;
    return spare_;
  }
  return cells_[static_cast<size_t>(i) * static_cast<size_t>(cols_) + static_cast<size_t>(j)];
}

double RectMat::operator()(int i, int j) const {
  if (i < 0 || j < 0 || i >= rows_ || j >= cols_) {
    E.error(Error, "RectMat::operator()", 1);
    return 0.0;
  }
  return cells_[static_cast<size_t>(i) * static_cast<size_t>(cols_) + static_cast<size_t>(j)];
}

int DistMat::initializeMatrixAndArrays(const int& n) {
  try {
    size = n > 0 ? n : 0;
    computed_from.clear();
    matrix.assign(static_cast<size_t>(size) * static_cast<size_t>(size), 0.0);
    labels.assign(static_cast<size_t>(size), my_string());
  } catch (const std::exception&) {  // bad_alloc or length_error for absurd sizes
    size = 0;
    matrix.clear();
    labels.clear();
    return 0;
  }
  return 1;
}

void DistMat::reset() {
  size = 0;
  matrix.clear();
  labels.clear();
  tri = TriMat();
  computed_from.clear();
  count_sums.reset();
  count_sums_from.clear();
  usable_loci_log.clear();
  usable_loci_file.clear();
}

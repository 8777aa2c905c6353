// Neutrality tests of the infinite-site model: Tajima's D and Fu's Fs, with
// the shared matrix of B numbers behind Fu's Fs.
#ifndef QND_WITHINPOP_NEUTRALITY_H
#define QND_WITHINPOP_NEUTRALITY_H

#include <cstddef>
#include <memory>
#include <vector>

// B(n, k) = |s(n, k)| k! / n!, s the Stirling numbers of the first kind, for
// n = 1..rows and k = 1..min(n, cols). One matrix serves the whole process; it
// is sized once and grown when a sample needs more, and its rows are computed
// when first needed (each row follows from the one before it).
class BnumMat {
 public:
  // Rebuilds the matrix with the given size, every row computed; refused (0)
  // unless 0 < rows < 5001 and 0 < cols < 1001.
  [[nodiscard]] int re_allocate_matrix(int rows, int cols);
  // The same size without computing the rows: rows_up_to computes them.
  [[nodiscard]] int re_size_matrix(int rows, int cols);
  // Computes the rows up to n (at most rows()).
  void rows_up_to(int n);
  bool built() const { return rows_ > 0; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  // B(n, k) for 1 <= n <= the rows computed and 1 <= k <= min(n, cols).
  double operator()(int n, int k) const {
    return cells_[row_start_[static_cast<std::size_t>(n)] + static_cast<std::size_t>(k - 1)];
  }

  static constexpr int kMaxRows = 5000;
  static constexpr int kMaxCols = 1000;
  static BnumMat& shared();

 private:
  int rows_ = 0;
  int cols_ = 0;
  int computed_ = 0;  // rows 1..computed_ hold their values
  std::vector<std::size_t> row_start_;
  std::unique_ptr<double[]> cells_;  // rows beyond computed_ are not filled
};

namespace neutrality {

// Tajima's D from the sample size n (a whole number of gene copies, which may
// pass the int range), pi and S. Returns false (D undefined) when S <= 0,
// n < 2 or the variance is not above 0. `fast` leaves out the test of pi
// against S/a1 and of e2 (as used for simulated samples).
bool tajima_d(double n, double pi, double S, bool fast, double& D);

}  // namespace neutrality

#endif  // QND_WITHINPOP_NEUTRALITY_H

// Reader of the data block of a [[DistanceMatrix]] sub-section: the lower
// triangle (diagonal included) of a distance matrix between haplotypes, with its
// labels either on a line of their own before the rows (LINE) or at the head of
// each row (COLUMN). The diagonal of the file is read and ignored: a distance of
// an item to itself is 0. The matrix is stored whole and symmetric, and its lower
// triangle is kept for the between-sample computations.
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/matrices.h"
#include "project/reader_util.h"
#include "project/section_lines.h"

namespace {

constexpr const char* kContext = "DistMat::ReadDistanceMatrix()";

// The lines of a matrix block: comments and blank lines are skipped, '}' ends
// the block, and a new section header met first is remembered.
class BlockLines {
 public:
  BlockLines(std::istream& in, int& lineNo) : in_(in), lineNo_(lineNo) {}

  // Next line that carries text (cut at '#' and '}'); false when the block, the
  // stream or the section ended first.
  bool next(std::string& line) {
    while (!closed_) {
      if (!qnd_reader::next_line(in_, line, lineNo_)) return false;
      qnd_reader::cut_comment(line);
      if (qnd_reader::is_new_section(qnd_reader::upper_view(line))) {
        new_section_ = true;
        return false;
      }
      closed_ = qnd_reader::cut_closing_brace(line);
      if (line.find_first_not_of(" \t") != std::string::npos) return true;
    }
    return false;
  }
  bool closed() const { return closed_; }
  bool new_section() const { return new_section_; }

 private:
  std::istream& in_;
  int& lineNo_;
  bool closed_ = false;
  bool new_section_ = false;
};

void write_no_closing_brace(std::ostream& log, const my_string& name) {
  log << "\tNo closing brace in Matrix Data \"" << name << "\"definition."
      << "Aborting reading project.";
}

void write_invalid_dimension(std::ostream& log, int expected, int found) {
  log << "\tInvalid dimension for distance matrix: " << expected << " rows were expected, but only "
      << found << " were found. Aborting reading project.";
}

}  // namespace

int DistMat::ReadDistanceMatrix(std::istream& in, bool external, int& lineNo) {
  std::ostream& log = *_AOS_;
  const int n = size;
  if (n <= 0) {
    write_invalid_dimension(log, n, 0);
    return 0;
  }
  const size_t un = static_cast<size_t>(n);
  // The declared size alone allocates nothing: labels and distances are kept as
  // the lines deliver them, and the whole matrix is made only once all n rows
  // have been read, so its memory is bounded by what the file holds.
  std::vector<my_string> read_labels;
  std::vector<double> lower;  // rows 2..n, each with its i - 1 distances

  BlockLines block(in, lineNo);
  std::string line;

  if (label_position == 0) {
    const bool got = block.next(line);
    if (block.closed()) {
      log << "\tUnexpected closing brace found on line " << lineNo
          << ". Aborting reading distance matrix.";
      E.error(Error, kContext, 12);
      return 0;
    }
    if (!got) {
      if (block.new_section()) {
        write_no_closing_brace(log, name);
      } else {
        write_invalid_dimension(log, n, 0);
      }
      return 0;
    }
    const std::vector<std::string_view> tokens = qnd_reader::split_blanks(line);
    const int found = static_cast<int>(tokens.size());
    if (found < n) {
      log << "\tMissing labels on line " << lineNo << ". Only " << found
          << " labels were found while " << n << " were expected. Last correctly read label was \""
          << (found > 0 ? tokens.back() : std::string_view())
          << "\". Aborting reading Distance Matrix";
      E.error(Error, kContext, 12);
      return 0;
    }
    if (found > n) {
      log << "\tWarning: More labels than anticipated (" << n << ") are declared on line "
          << lineNo;
      E.error(Warning, kContext, 15);
    }
    read_labels.reserve(un);
    for (size_t k = 0; k < un; ++k) read_labels.emplace_back(tokens[k]);
  }

  for (int i = 1; i <= n; ++i) {
    if (!block.next(line)) {
      if (block.new_section()) {
        write_no_closing_brace(log, name);
      } else {
        write_invalid_dimension(log, n, i - 1);
      }
      return 0;
    }
    const std::vector<std::string_view> tokens = qnd_reader::split_blanks(line);
    size_t first = 0;
    if (label_position == 1) {  // the row starts with its label (the line is not blank)
      read_labels.emplace_back(tokens[0]);
      first = 1;
    }
    for (int j = 1; j <= i; ++j) {
      const size_t t = first + static_cast<size_t>(j - 1);
      if (t >= tokens.size()) {
        log << "\tUnable to read distance #" << j << " on line " << lineNo
            << ". Aborting reading distance matrix.";
        E.error(Error, kContext, 13);
        return 0;
      }
      double d = 0.0;
      // A distance is finite and not negative; anything else would only turn
      // into nonsense (or not-a-number) in every statistic built on it.
      if (!qnd_reader::parse_finite_number(tokens[t], d) || d < 0.0) {
        log << "\tBad value (\"" << tokens[t] << "\") for distance #" << j << " on line " << lineNo
            << ". Aborting reading distance matrix.";
        E.error(Error, kContext, 13);
        return 0;
      }
      if (j < i) lower.push_back(d);
    }
    if (tokens.size() - first > static_cast<size_t>(i)) {
      log << "\tWarning:  Too many distances are defined on line " << lineNo << "(" << i + 1
          << " instead of " << i << ")";
      E.error(Warning, kContext, 15);
    }
  }

  // Lines between the last row and '}' carry nothing the matrix can hold.
  while (block.next(line)) {
    log << "\tWarning: More rows than anticipated (" << n << ") are declared on line " << lineNo
        << ". Extra row ignored.";
    E.error(Warning, kContext, 15);
  }
  // An external file may simply end; a block of the project file needs its '}'.
  if (block.new_section() || (!block.closed() && !external)) {
    write_no_closing_brace(log, name);
    return 0;
  }
  if (!initializeMatrixAndArrays(n)) return 0;
  tri.resize(n);
  size_t k = 0;
  for (size_t r = 1; r < un; ++r) {
    for (size_t c = 0; c < r; ++c, ++k) {
      matrix[r * un + c] = lower[k];
      matrix[c * un + r] = lower[k];
      tri.at(static_cast<int>(r), static_cast<int>(c)) = lower[k];
    }
  }
  for (size_t r = 0; r < un; ++r) labels[r] = std::move(read_labels[r]);
  return 1;
}

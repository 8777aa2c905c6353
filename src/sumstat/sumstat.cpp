// The summary record: keyword reading, the header and value text of a pass, and
// the final write to the output file.
#include "sumstat/sumstat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

#include "base/number_text.h"
#include "text/byte_table.h"

namespace {

using Flag = bool TSumStat::*;

struct Keyword {
  const char* text;
  Flag flag;
  // Deleted from the line once found, so that the shorter keyword it ends in
  // (e.g. "SD_K" inside "ALLSD_K") is not taken as given too.
  bool delete_after_match;
};

// The keywords in the order they are looked for.
constexpr Keyword kKeywords[] = {
    {"POP_LEVEL", &TSumStat::POP_LEVEL, false},
    {"GROUP_LEVEL", &TSumStat::GROUP_LEVEL, false},
    {"ALL_K", &TSumStat::ALL_K, false},
    {"ALLSD_K", &TSumStat::ALLSD_K, true},
    {"MEAN_K", &TSumStat::MEAN_K, false},
    {"SD_K", &TSumStat::SD_K, false},
    {"TOT_K", &TSumStat::TOT_K, false},
    {"ALL_H", &TSumStat::ALL_H, false},
    {"ALLSD_H", &TSumStat::ALLSD_H, true},
    {"MEAN_H", &TSumStat::MEAN_H, false},
    {"SD_H", &TSumStat::SD_H, false},
    {"TOT_H", &TSumStat::TOT_H, false},
    {"ALL_S", &TSumStat::ALL_S, false},
    {"ALLSD_S", &TSumStat::ALLSD_S, true},
    {"PRIVATE_S", &TSumStat::PRIVATE_S, false},
    {"MEAN_S", &TSumStat::MEAN_S, false},
    {"SD_S", &TSumStat::SD_S, false},
    {"TOT_S", &TSumStat::TOT_S, false},
    {"ALL_TAJIMAD", &TSumStat::ALL_TAJIMAD, false},
    {"ALLSD_TAJIMAD", &TSumStat::ALLSD_TAJIMAD, true},
    {"MEAN_TAJIMAD", &TSumStat::MEAN_TAJIMAD, false},
    {"SD_TAJIMAD", &TSumStat::SD_TAJIMAD, false},
    {"TOT_TAJIMAD", &TSumStat::TOT_TAJIMAD, false},
    {"ALL_FUFS", &TSumStat::ALL_FUFS, false},
    {"ALLSD_FUFS", &TSumStat::ALLSD_FUFS, true},
    {"MEAN_FUFS", &TSumStat::MEAN_FUFS, false},
    {"SD_FUFS", &TSumStat::SD_FUFS, false},
    {"TOT_FUFS", &TSumStat::TOT_FUFS, false},
    {"ALL_PI", &TSumStat::ALL_PI, false},
    {"MEAN_PI", &TSumStat::MEAN_PI, false},
    {"SD_PI", &TSumStat::SD_PI, false},
    {"TOT_PI", &TSumStat::TOT_PI, false},
    {"ALL_GW", &TSumStat::ALL_GW, false},
    {"ALLSD_GW", &TSumStat::ALLSD_GW, true},
    {"MEAN_GW", &TSumStat::MEAN_GW, false},
    {"SD_GW", &TSumStat::SD_GW, false},
    {"TOT_GW", &TSumStat::TOT_GW, false},
    {"ALL_NGW", &TSumStat::ALL_NGW, false},
    {"ALLSD_NGW", &TSumStat::ALLSD_NGW, true},
    {"MEAN_NGW", &TSumStat::MEAN_NGW, false},
    {"SD_NGW", &TSumStat::SD_NGW, false},
    {"ALL_RANGE", &TSumStat::ALL_RANGE, false},
    {"ALLSD_RANGE", &TSumStat::ALLSD_RANGE, true},
    {"MEAN_RANGE", &TSumStat::MEAN_RANGE, false},
    {"SD_RANGE", &TSumStat::SD_RANGE, false},
    {"TOT_RANGE", &TSumStat::TOT_RANGE, false},
    {"MEAN_ALL_DPRIME", &TSumStat::MEAN_ALL_DPRIME, false},
    {"MEAN_ALL_R2", &TSumStat::MEAN_ALL_R2, false},
    {"ALL_ADJ_DPRIME", &TSumStat::ALL_ADJ_DPRIME, false},
    {"ALL_ADJ_R2", &TSumStat::ALL_ADJ_R2, false},
    {"MEAN_ADJ_DPRIME", &TSumStat::MEAN_ADJ_DPRIME, false},
    {"MEAN_ADJ_R2", &TSumStat::MEAN_ADJ_R2, false},
    {"FLANK_DPRIME", &TSumStat::FLANK_DPRIME, false},
    {"FLANK_R2", &TSumStat::FLANK_R2, false},
    {"GLOBAL_FSTAT", &TSumStat::GLOBAL_FSTAT, false},
    {"GLOBALSD_FSTAT", &TSumStat::GLOBALSD_FSTAT, false},
    {"PAIRWISE_FST", &TSumStat::PAIRWISE_FST, false},
    {"PAIRWISE_PI", &TSumStat::PAIRWISE_PI, false},
    {"PAIRWISE_DMUSQR", &TSumStat::PAIRWISE_DMUSQR, false},
};

constexpr Flag kPresenceFlags[] = {&TSumStat::hasFIS, &TSumStat::hasFST, &TSumStat::hasFCT,
                                   &TSumStat::hasFSC, &TSumStat::hasFIT};

void append_int(std::string& out, int value) {
  char buf[16];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

// A double as a default-formatted output stream prints it: general notation with
// six significant digits ("%g" is that conversion by definition).
void append_double(std::string& out, double value) { qnd_number::append_general(out, value); }

// Emits the columns of one pass, either as names or as values, each followed by
// a tab.
class PassWriter {
 public:
  PassWriter(bool names, bool group, std::string& out)
      : names_(names), prefix_(group ? "gr_" : ""), out_(out) {}

  void value(bool selected, std::string_view name, double v) {
    if (!selected) return;
    if (names_) {
      out_ += prefix_;
      out_ += name;
    } else {
      append_double(out_, v);
    }
    out_ += '\t';
  }

  // One column per stored value, named base + index (from 1).
  void list(bool selected, std::string_view base, const MY_TArrayAsVector<double>& values) {
    if (!selected) return;
    if (!names_) return append_values(values);
    for (int i = 1; i <= values.size(); ++i) {
      out_ += prefix_;
      out_ += base;
      append_int(out_, i);
      out_ += '\t';
    }
  }

  // One column per stored pair, named base + i + "_" + j over the lower triangle
  // (2,1), (3,1), (3,2), (4,1), ... Exactly one name per stored value, so the
  // header and the value line always have the same number of columns.
  void pairs(bool selected, std::string_view base, const MY_TArrayAsVector<double>& values) {
    if (!selected) return;
    if (!names_) return append_values(values);
    int emitted = 0;
    for (int i = 2; emitted < values.size(); ++i) {
      for (int j = 1; j < i && emitted < values.size(); ++j, ++emitted) {
        out_ += prefix_;
        out_ += base;
        append_int(out_, i);
        out_ += '_';
        append_int(out_, j);
        out_ += '\t';
      }
    }
  }

 private:
  void append_values(const MY_TArrayAsVector<double>& values) {
    for (const double v : values) {
      append_double(out_, v);
      out_ += '\t';
    }
  }

  bool names_;
  std::string_view prefix_;
  std::string& out_;
};

}  // namespace

TSumStat::TSumStat()
    : meanDprime(10, 10),
      meanR2(10, 10),
      adjDprime(10, 10),
      adjR2(10, 10),
      meanAdjDprime(10, 10),
      meanAdjR2(10, 10),
      flankDprime(10, 10),
      flankR2(10, 10) {}

void TSumStat::resetComputationFlags() {
  headerLine.clear();
  statsLine.clear();
  for (const Keyword& k : kKeywords) this->*k.flag = false;
  for (const Flag f : kPresenceFlags) this->*f = false;
  groupPass = false;
  header_complete = false;
  header_mark_ = 0;
  stats_mark_ = 0;
  waiting_na_lines_ = 0;
}

void TSumStat::readDefSSFile(const my_string& fileName) {
  defFileName = fileName.str();
  resetComputationFlags();
  std::ifstream in(defFileName);
  if (!in) return;
  my_string line;
  while (in) {
    line.read_line(in);
    checkForStat(line);
  }
}

void TSumStat::checkForStat(const my_string& line) {
  static const std::array<std::uint64_t, std::size(kKeywords)> keyword_pairs = [] {
    std::array<std::uint64_t, std::size(kKeywords)> pairs{};
    for (size_t k = 0; k < pairs.size(); ++k) pairs[k] = qnd_text::byte_pairs(kKeywords[k].text);
    return pairs;
  }();
  std::string text = line.str();
  const size_t pound = text.find('#');
  if (pound != std::string::npos) text.erase(pound);
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::uint64_t text_pairs = qnd_text::byte_pairs(text);
  for (size_t k = 0; k < std::size(kKeywords); ++k) {
    if ((text_pairs & keyword_pairs[k]) != keyword_pairs[k]) continue;
    const Keyword& keyword = kKeywords[k];
    const size_t at = text.find(keyword.text);
    if (at == std::string::npos) continue;
    this->*keyword.flag = true;
    if (keyword.delete_after_match) {
      text.erase(at, std::string_view(keyword.text).size());
      text_pairs = qnd_text::byte_pairs(text);  // the erasure joins two bytes into a new pair
    }
  }
}

void TSumStat::clearValues() {
  for (auto* list : {&K,         &Ksd,
                     &H,         &Hsd,
                     &S,         &Ssd,
                     &privS,     &D,
                     &Dsd,       &FS,
                     &FSsd,      &Pi,
                     &GW,        &GWsd,
                     &NGW,       &NGWsd,
                     &R,         &Rsd,
                     &pairFST,   &pairPI,
                     &pairDMUSQ, &meanDprime,
                     &meanR2,    &adjDprime,
                     &adjR2,     &meanAdjDprime,
                     &meanAdjR2, &flankDprime,
                     &flankR2})
    list->Flush();
  for (double* v :
       {&meanK, &sdK,    &totK, &meanH,  &sdH,  &totH,   &meanS, &sdS,   &totS,    &meanD,
        &sdD,   &meanFS, &sdFS, &meanPi, &sdPi, &meanGW, &sdGW,  &totGW, &meanNGW, &sdNGW,
        &meanR, &sdR,    &totR, &FIS,    &FST,  &FCT,    &FSC,   &FIT})
    *v = 0.0;
  for (const Flag f : kPresenceFlags) this->*f = false;
}

// Mean and standard deviation of the NGW list over the samples of the pass. The
// standard deviation is √(n/(n−1)·(Σx²/n − mean²)); a bracket that rounding makes
// zero or negative gives 0. With one value the standard deviation keeps what the
// aggregation stored, with none both values do.
void TSumStat::recompute_ngw() {
  const int n = NGW.size();
  if (n == 0) return;
  double sum = 0.0;
  double sum_sq = 0.0;
  for (const double x : NGW) {
    sum += x;
    sum_sq += x * x;
  }
  meanNGW = sum / n;
  if (n == 1) return;
  const double bracket = static_cast<double>(n) / (n - 1) * (sum_sq / n - meanNGW * meanNGW);
  sdNGW = bracket > 0.0 ? std::sqrt(bracket) : 0.0;
}

void TSumStat::build_pass(TDataType type, bool names, std::string& out) {
  PassWriter w(names, groupPass, out);
  w.list(ALL_K, "K_", K);
  w.list(ALLSD_K, "Ksd_", Ksd);
  w.value(MEAN_K, "mean_K", meanK);
  w.value(SD_K, "sd_K", sdK);
  w.value(TOT_K, "tot_K", totK);
  w.list(ALL_H, "H_", H);
  w.list(ALLSD_H, "Hsd_", Hsd);
  w.value(MEAN_H, "mean_H", meanH);
  w.value(SD_H, "sd_H", sdH);
  w.value(TOT_H, "tot_H", totH);
  if (type == DNA || type == RFLP) {
    w.list(ALL_S, "S_", S);
    w.list(ALLSD_S, "Ssd_", Ssd);
    if (type == DNA) w.list(PRIVATE_S, "prS_", privS);
    w.value(MEAN_S, "mean_S", meanS);
    w.value(SD_S, "sd_S", sdS);
    w.value(TOT_S, "tot_S", totS);
    w.list(ALL_TAJIMAD, "D_", D);
    w.list(ALLSD_TAJIMAD, "Dsd_", Dsd);
    w.value(MEAN_TAJIMAD, "mean_D", meanD);
    w.value(SD_TAJIMAD, "sd_D", sdD);
    w.list(ALL_FUFS, "FS_", FS);
    w.list(ALLSD_FUFS, "FSsd_", FSsd);
    w.value(MEAN_FUFS, "mean_FS", meanFS);
    w.value(SD_FUFS, "sd_FS", sdFS);
    w.list(ALL_PI, "Pi_", Pi);
    w.value(MEAN_PI, "mean_Pi", meanPi);
    w.value(SD_PI, "sd_Pi", sdPi);
  }
  if (type == MICROSAT) {
    w.list(ALL_GW, "GW_", GW);
    w.list(ALLSD_GW, "GWsd_", GWsd);
    w.value(MEAN_GW, "mean_GW", meanGW);
    w.value(SD_GW, "sd_GW", sdGW);
    w.value(TOT_GW, "tot_GW", totGW);
    if (!names) recompute_ngw();
    w.list(ALL_NGW, "NGW_", NGW);
    w.list(ALLSD_NGW, "NGWsd_", NGWsd);
    w.value(MEAN_NGW, "mean_NGW", meanNGW);
    w.value(SD_NGW, "sd_NGW", sdNGW);
    w.list(ALL_RANGE, "R_", R);
    w.list(ALLSD_RANGE, "Rsd_", Rsd);
    w.value(MEAN_RANGE, "mean_R", meanR);
    w.value(SD_RANGE, "sd_R", sdR);
    w.value(TOT_RANGE, "tot_R", totR);
  }
  w.list(MEAN_ALL_DPRIME, "mean_D'_", meanDprime);
  w.list(MEAN_ALL_R2, "mean_R2_", meanR2);
  w.list(ALL_ADJ_DPRIME, "adj_D'_", adjDprime);
  w.list(ALL_ADJ_R2, "adj_R2_", adjR2);
  w.list(MEAN_ADJ_DPRIME, "mean_adj_D'_", meanAdjDprime);
  w.list(MEAN_ADJ_R2, "mean_adj_R2_", meanAdjR2);
  w.list(FLANK_DPRIME, "flank_D'_", flankDprime);
  w.list(FLANK_R2, "flank_R2_", flankR2);
  w.value(hasFIS, "FIS", FIS);
  w.value(hasFST, "FST", FST);
  w.value(hasFCT, "FCT", FCT);
  w.value(hasFSC, "FSC", FSC);
  w.value(hasFIT, "FIT", FIT);
  w.pairs(PAIRWISE_FST, "FST_", pairFST);
  w.pairs(PAIRWISE_PI, "PI_", pairPI);
  w.pairs(PAIRWISE_DMUSQR, "DMUSQ_", pairDMUSQ);
}

// The group pass runs before the population pass, so the line ends after the
// population pass, or after the group pass when it is the only one.
bool TSumStat::pass_ends_line() const { return !groupPass || (GROUP_LEVEL && !POP_LEVEL); }

void TSumStat::outputHeader(TDataType type) {
  build_pass(type, true, headerLine);
  if (pass_ends_line()) headerLine += '\n';
}

void TSumStat::outputStats(TDataType type) {
  build_pass(type, false, statsLine);
  if (pass_ends_line()) statsLine += '\n';
}

void TSumStat::begin_project() {
  header_mark_ = headerLine.size();
  stats_mark_ = statsLine.size();
}

void TSumStat::end_project(bool ran) {
  if (ran) {
    if (header_complete) return;
    header_complete = true;
    // The failures before this project now know their column count; their
    // lines go before this project's values.
    std::string waiting;
    for (; waiting_na_lines_ > 0; --waiting_na_lines_) waiting += na_line();
    statsLine.insert(stats_mark_, waiting);
    return;
  }
  // A run that failed part way may have added a pass or two; none of it counts.
  if (!header_complete) headerLine.resize(header_mark_);
  statsLine.resize(stats_mark_);
  if (!batch_mode) return;
  if (header_complete) {
    statsLine += na_line();
  } else {
    ++waiting_na_lines_;
  }
}

void TSumStat::finish_batch() {
  for (; waiting_na_lines_ > 0; --waiting_na_lines_) statsLine += na_line();
}

std::string TSumStat::na_line() const {
  const std::size_t end = std::min(headerLine.find('\n'), headerLine.size());
  const auto columns = std::count(headerLine.begin(), headerLine.begin() + end, '\t');
  std::string line;
  for (long i = 0; i < std::max<long>(columns, 1); ++i) line += "NA\t";
  return line + '\n';
}

void TSumStat::writeToFile(int headerMode) {
  const int flags = O_WRONLY | O_CREAT | (appendOutput ? O_APPEND : O_TRUNC);
  const int fd = ::open(outFileName.c_str(), flags, 0666);
  if (fd < 0) return;
  std::string text;
  if (headerMode == 1 || headerMode == 2) text = headerLine;
  if (headerMode == 0 || headerMode == 1) text += statsLine;
  if (!text.empty()) write_whole_or_nothing(fd, text);
  ::close(fd);
}

namespace {

// Waits for an exclusive lock on the whole file; false when the file system
// offers no locks (the write then goes ahead unlocked).
bool lock_whole_file(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  while (::fcntl(fd, F_SETLKW, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

// The lines go out whole or not at all. Other instances of the program may be
// appending to the same file, so every instance holds an exclusive lock on it
// from before the write until after any undo: nothing of theirs can land
// between our bytes, and a write that stops part way (a full disk, a file size
// limit) is undone by cutting the file back to its size before the write. The
// cut is made only when the file is exactly that size plus what we wrote, so a
// writer that ignores the lock never loses its lines. Devices and pipes are
// written without lock or undo; they have no size to go back to.
void TSumStat::write_whole_or_nothing(int fd, const std::string& text) {
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (regular) (void)lock_whole_file(fd);
  off_t before = 0;
  if (regular && ::fstat(fd, &info) == 0) before = info.st_size;

  const char* p = text.data();
  size_t left = text.size();
  size_t written = 0;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
    written += static_cast<size_t>(n);
  }
  if (left > 0 && written > 0 && regular && ::fstat(fd, &info) == 0 &&
      info.st_size == before + static_cast<off_t>(written)) {
    (void)::ftruncate(fd, before);
  }
  // Closing the descriptor releases the lock.
}

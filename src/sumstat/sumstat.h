// The summary record: which statistics the user asked for (read from the
// statistic definition file "ssdefs.txt"), the values the computations store for
// them, and the header and value text built from those values. The program has
// one instance, SumStat (globals.h). Computations read the selection flags to
// decide what to store; the run sequence calls outputHeader/outputStats once per
// pass; main writes the collected text with writeToFile at the end.
#ifndef QND_SUMSTAT_SUMSTAT_H
#define QND_SUMSTAT_SUMSTAT_H

#include <string>

#include "model/containers.h"
#include "model/data_type.h"
#include "text/my_string.h"

class TSumStat {
 public:
  TSumStat();

  // Empties headerLine and statsLine and clears every selection flag, presence
  // flag and groupPass (appendOutput and sumStatMode stay as they are).
  void resetComputationFlags();
  // Resets the selections, then applies every line of the file. A missing file
  // selects nothing and is not reported.
  void readDefSSFile(const my_string& fileName);
  // Sets the flag of every keyword that occurs in the line (before any '#').
  void checkForStat(const my_string& line);
  // Empties every value list, sets every value to 0.0 and clears the presence
  // flags; the selections stay. Called at the start of each pass.
  void clearValues();

  // Append the column names / values of one pass to headerLine / statsLine.
  void outputHeader(TDataType type);
  void outputStats(TDataType type);
  // Writes headerLine and/or statsLine to outFileName: 0 values, 1 header and
  // values, 2 header only, any other mode nothing (the file is still opened, so
  // truncated when not appending). The text goes out whole under a lock on the
  // file, so processes appending to one file at once never interleave their
  // lines, and a write that fails part way is taken back.
  void writeToFile(int headerMode);

  // Bookkeeping of the projects of one run list, so that value line k always
  // belongs to project k. begin_project marks where the project's text starts;
  // end_project(true) completes the header with the first project that ran;
  // end_project(false) drops whatever text a failed run left behind and, in
  // batch mode, puts a line of "NA" (one per header column) in its place. Lines
  // of failures before the first successful project wait until its header gives
  // their column count; finish_batch writes those still waiting (when no
  // project ran at all) as a single "NA" column.
  void begin_project();
  void end_project(bool ran);
  void finish_batch();
  // True when several projects come from one list ("@file" on the command line).
  bool batch_mode = false;
  // True once a project has run: later projects add values only.
  bool header_complete = false;

  // Texts. Held as std::string so lines of any length survive.
  std::string outFileName;
  std::string defFileName;
  std::string headerLine;
  std::string statsLine;

  bool appendOutput = false;
  bool sumStatMode = false;

  // Selection flags, named after their keywords.
  bool ALL_K = false, ALLSD_K = false, MEAN_K = false, SD_K = false, TOT_K = false;
  bool ALL_H = false, ALLSD_H = false, MEAN_H = false, SD_H = false, TOT_H = false;
  bool ALL_S = false, ALLSD_S = false, PRIVATE_S = false, MEAN_S = false, SD_S = false,
       TOT_S = false;
  bool ALL_TAJIMAD = false, ALLSD_TAJIMAD = false, MEAN_TAJIMAD = false, SD_TAJIMAD = false,
       TOT_TAJIMAD = false;
  bool ALL_FUFS = false, ALLSD_FUFS = false, MEAN_FUFS = false, SD_FUFS = false, TOT_FUFS = false;
  bool ALL_PI = false, MEAN_PI = false, SD_PI = false, TOT_PI = false;
  bool ALL_GW = false, ALLSD_GW = false, MEAN_GW = false, SD_GW = false, TOT_GW = false;
  bool ALL_NGW = false, ALLSD_NGW = false, MEAN_NGW = false, SD_NGW = false;
  bool ALL_RANGE = false, ALLSD_RANGE = false, MEAN_RANGE = false, SD_RANGE = false,
       TOT_RANGE = false;

  // Presence flags: set by the AMOVA when it stores the F-statistic of that name.
  bool hasFIS = false, hasFST = false, hasFCT = false, hasFSC = false, hasFIT = false;

  bool GLOBAL_FSTAT = false, GLOBALSD_FSTAT = false;
  bool PAIRWISE_FST = false, PAIRWISE_PI = false, PAIRWISE_DMUSQR = false;
  bool MEAN_ALL_DPRIME = false, MEAN_ALL_R2 = false, ALL_ADJ_DPRIME = false, ALL_ADJ_R2 = false,
       MEAN_ADJ_DPRIME = false, MEAN_ADJ_R2 = false, FLANK_DPRIME = false, FLANK_R2 = false;
  bool POP_LEVEL = false, GROUP_LEVEL = false;

  // True during the group-level pass: every column name gets the prefix "gr_".
  bool groupPass = false;

  // Values. Per-sample lists hold one value per sample (per group in the group
  // pass) in sample order.
  MY_TArrayAsVector<double> K, Ksd;
  double meanK = 0.0, sdK = 0.0, totK = 0.0;
  MY_TArrayAsVector<double> H, Hsd;
  double meanH = 0.0, sdH = 0.0, totH = 0.0;
  MY_TArrayAsVector<double> S, Ssd, privS;
  double meanS = 0.0, sdS = 0.0, totS = 0.0;
  MY_TArrayAsVector<double> D, Dsd;
  double meanD = 0.0, sdD = 0.0;
  MY_TArrayAsVector<double> FS, FSsd;
  double meanFS = 0.0, sdFS = 0.0;
  MY_TArrayAsVector<double> Pi;
  double meanPi = 0.0, sdPi = 0.0;
  MY_TArrayAsVector<double> GW, GWsd;
  double meanGW = 0.0, sdGW = 0.0, totGW = 0.0;
  MY_TArrayAsVector<double> NGW, NGWsd;
  double meanNGW = 0.0, sdNGW = 0.0;
  MY_TArrayAsVector<double> R, Rsd;
  double meanR = 0.0, sdR = 0.0, totR = 0.0;
  double FIS = 0.0, FST = 0.0, FCT = 0.0, FSC = 0.0, FIT = 0.0;
  // Lower triangle of the sample-by-sample matrix, row by row: (2,1), (3,1),
  // (3,2), (4,1), ...
  MY_TArrayAsVector<double> pairFST{10, 20}, pairPI{10, 20}, pairDMUSQ{10, 20};
  // Linkage-disequilibrium summaries.
  MY_TArrayAsVector<double> meanDprime, meanR2, adjDprime, adjR2, meanAdjDprime, meanAdjR2,
      flankDprime, flankR2;

 private:
  // Appends the names (names == true) or values of one pass to out.
  void build_pass(TDataType type, bool names, std::string& out);
  // Writes text to the open file fd completely, or leaves the file as it was.
  static void write_whole_or_nothing(int fd, const std::string& text);
  // Recomputes meanNGW and sdNGW from the NGW list.
  void recompute_ngw();
  // True when the pass just built ends the line.
  bool pass_ends_line() const;
  // One line of "NA" fields, as many as the header has columns (at least one).
  std::string na_line() const;

  std::size_t header_mark_ = 0;
  std::size_t stats_mark_ = 0;
  int waiting_na_lines_ = 0;
};

#endif  // QND_SUMSTAT_SUMSTAT_H

// The engine's batch driver. main writes a run list ("qnd_run_<pid>.txt") that
// names a core directory, a command word and one or more projects; qndestart
// reads it and, for every project, opens the project's log in its result
// directory, seeds the random generator, reads the analysis settings and runs
// the project. Before the loop it opens the optional batch summary files that
// "glbstreams.txt" selects. The one Project of the process lives here from the
// first qndestart until delete_project.
#ifndef QND_DRIVER_BATCH_LOOP_H
#define QND_DRIVER_BATCH_LOOP_H

#include <array>
#include <fstream>
#include <memory>
#include <ostream>
#include <vector>

#include "text/my_string.h"

class Project;

// The batch summary files: one flag per analysis family that "glbstreams.txt"
// can name, and the files opened for the flags that are set. They stay open for
// the whole batch; the analyses that write their rows append to them.
class BatchSummaryFiles {
 public:
  static constexpr int kFlagCount = 15;

  struct Entry {
    const char* flag_word;           // searched in the upper-cased flags lines
    std::vector<const char*> files;  // opened in the summary directory
  };
  // The 15 flag words and their files, in the order of `flags`.
  static const std::array<Entry, kFlagCount>& table();

  // Whether a file of that name is open (for the analyses and for tests).
  bool is_open(const char* file_name) const;
  int open_count() const { return static_cast<int>(streams.size()); }

  std::array<bool, kFlagCount> flags{};
  std::vector<my_string> names;  // the open files, in opening order
  std::vector<std::unique_ptr<std::ofstream>> streams;
};

// Runs the batch described by the run list of this process; returns the data
// type of the last project read (as an integer). A project that cannot be run
// is noted in one line on notices (standard error for the first form; nullptr:
// nowhere).
int qndestart(char* coreDirectory);
int qndestart(char* coreDirectory, std::ostream* notices);

// Sets the flags of `summary` from directory + "glbstreams.txt": the first line
// is a title, each of the next 200 lines is upper-cased and searched for every
// flag word. A directory longer than 350 characters or a missing file sets none.
void read_global_flags(const char* directory, BatchSummaryFiles& summary);

// Points _AOS_ at the error reporter's log stream and opens, for appending in
// summaryDirectory, every batch summary file whose flag is set, each headed by
// the batch summary title.
void initialize_quendris_global_objects(BatchSummaryFiles& summary,
                                        const my_string& summaryDirectory);

// Closes and releases every batch summary file.
void close_all_global_streams(BatchSummaryFiles& summary);

// True when the project file can be opened for reading; logDirectory is then the
// project path without extension + ".res/", created if needed. Otherwise writes
// "error" to coreDirectory + "qnd_pro.txt" and returns false.
bool create_log_dir(const char* coreDirectory, const char* projectPath, my_string& logDirectory);

// The Project of the batch (created by qndestart), or nullptr.
Project* current_project();
// Deletes the Project of the batch.
void delete_project();

#endif  // QND_DRIVER_BATCH_LOOP_H

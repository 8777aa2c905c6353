// Runs of one project inside a host process (the Python module): the program's
// own batch loop, driven by a run list written into a directory the host
// chooses, so the host's working directory is neither changed nor written to.
// The process-wide values a run leaves behind (summary record, message
// counters, data type, allele database, ...) are put back first, so that a run
// gives what a fresh call of the program gives for the same files, whatever ran
// before it in the process.
#ifndef QND_DRIVER_IN_PROCESS_H
#define QND_DRIVER_IN_PROCESS_H

#include <string>

namespace in_process {

struct Request {
  std::string project;      // path of the project file
  std::string definitions;  // path of the statistic definition file
  std::string settings;     // path of the settings file
  // Directory of the run list, "randseed.txt", "qnd_pro.txt" and of the batch
  // summary files that its "glbstreams.txt" selects; empty: the working directory.
  std::string work_directory;
};

struct Outcome {
  bool ran = false;    // the project ran to its end
  std::string header;  // the header line the program would write, line feed included
  std::string values;  // the value line the program would write, line feed included
  std::string log;     // the log of a run that failed ("" when none was started)
};

// Runs the project as "qndsumstat project out 0 1" would in a working directory
// holding the given definition and settings files, numbers read and written in
// the classic locale whatever the host has set. One run at a time: the engine's
// state is process-wide, callers serialise.
Outcome run_project(const Request& request);

// Puts back every process-wide value that a run reads before setting it.
void reset_process_state();

}  // namespace in_process

#endif  // QND_DRIVER_IN_PROCESS_H

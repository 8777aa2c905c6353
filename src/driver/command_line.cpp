// The program entry. main reads the command line, writes the run list file that
// names the one project (or, with "@list", every project of the list), loads "ssdefs.txt" into
// SumStat, runs the batch loop, writes the collected summary statistics and removes the run list
// again.
#include "driver/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <vector>

#include "driver/batch_loop.h"
#include "globals.h"
#include "sumstat/sumstat.h"

namespace {

constexpr const char* kHelpLines[] = {
    "\n                        QNDSUMSTAT v 3.5.2.2 (02.08.15)",
    "\n                        =================================\n",
    "\n  QNDSUMSTAT is a modified version of Quendris for computing summary statistics",
    "\n  listed in the file named \"ssdefs.txt\", and reporting them in an output file.",
    "\n",
    "\n  Usage:",
    "\n     qndsumstat <project file name> <sum. stat. output file>",
    "\n                <[int] append output file> <[int] write header>",
    "\n                | run_silent\n",
    "\n",
    "\n  The parameter <project file name> needs to be put within quotes if ",
    "\n  it contains whitepaces",
    "\n",
    "\n  The parameter <[int] append output file> controls if the output file needs",
    "\n  to be overwritten (0) or appended (1).",
    "\n  A value of 0 will reset the output file.",
    "\n  Default value is 1.",
    "\n",
    "\n  The parameter <[int] write header> controls if a header with ",
    "\n  the names of the sum. stats. needs to be written",
    "\n    Possible values:",
    "\n      0: no, only computed summary statistics will be output",
    "\n      1: yes, header and statistics will be output",
    "\n      2, yes, only header will be output",
    "\n    Default value is 0.",
    "\n",
    "\n  run_silent: if present on the command line, qndsumstat will not output",
    "\n              computation progress in the console",
    "\n",
    "\n  Examples (replace qndsumstat by your executable version):",
    "\n    ./qndsumstat_32bit test.qnp outSS.txt 0 1",
    "\n       This will analyse the file 'test.qnp' and and write the summary",
    "\n       statistics in the file outSS.txt, which will be reset, and which will",
    "\n        beginwith a header line with the names of the summary statistics",
    "\n",
    "\n    qndsumstat test1.qnp outSS.txt 1 0",
    "\n       This will append summary statistics computed on the file test1.qnp",
    "\n       to the same output file outSS.txt, without writing a header line",
    "\n",
    "\n    qndsumstat test2.qnp outSS.txt 1 1",
    "\n       This will append summary statistics computed on the file test2.qnp",
    "\n       to the same output file outSS.txt, but this time including a",
    "\n        header line, with the names of the summary stats",
    "\n",
};

// The working directory, whatever its length; empty when it cannot be obtained.
std::string working_directory() {
  std::vector<char> buf(1000);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

// Releases what main and the batch loop hold, then removes the run list file.
void clean_up() {
  proj_file.clear();
  set_file.clear();
  QuendrisExeDirectory.clear();
  run_file.clear();
  delete_project();
  std::remove(getQndRunString().c_str());
}

}  // namespace

namespace cli {

int truncated_value(const char* text) {
  const double v = std::trunc(std::atof(text));
  if (!(v >= INT_MIN && v <= INT_MAX)) return INT_MIN;
  return static_cast<int>(v);
}

std::vector<std::string> read_project_list(std::istream& in) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  std::vector<std::string> projects;
  std::string line;
  while (std::getline(in, line)) {
    const size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos || line[first] == '#') continue;
    const size_t last = line.find_last_not_of(kBlanks);
    std::string path = line.substr(first, last - first + 1);
    if (path.find("./") != std::string::npos) path = normalise_project_name(path);
    if (path == "end" || path == "END") path.insert(0, "./");
    projects.push_back(std::move(path));
  }
  return projects;
}

std::string normalise_project_name(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t pos = 0;
  while (pos < name.size()) {
    const size_t slash = name.find('/', pos);
    const size_t end = slash == std::string_view::npos ? name.size() : slash + 1;
    const std::string_view part = name.substr(pos, end - pos);
    // A "./" component that is not the first one is dropped.
    if (!(part == "./" && pos > 0)) out += part;
    pos = end;
  }
  return out;
}

}  // namespace cli

void showHelp() {
  for (const char* line : kHelpLines) std::cout << line;
  std::cout << '\n' << std::flush;
}

my_string getQndRunString() {
  return my_string(("qnd_run_" + std::to_string(::getpid()) + ".txt").c_str());
}

void make_qnd_run_txt(my_string projectName) {
  make_qnd_run_txt(std::vector<std::string>{projectName.str()});
}

void make_qnd_run_txt(const std::vector<std::string>& projectNames) {
  std::string directory = working_directory();
  for (char& c : directory)
    if (c == '\\') c = '/';
  std::ofstream out(getQndRunString().str(), std::ios::trunc);
  if (!out) return;
  out << directory << '\n' << "use_interf_settings\n";
  for (const std::string& name : projectNames)
    out << name << '\n'
        << "0\n"
        << "0\n";
  out << "end\n";
}

int qnd_main(int argc, char** argv) {
  proj_file.clear();
  set_file.clear();
  run_file.clear();
  if (argc < 2) {
    showHelp();
    clean_up();
    return 0;
  }
  // Control words count wherever they stand (and still occupy their position).
  for (int i = 1; i < argc; ++i) {
    my_string word(argv[i]);
    word.Upper();
    if (word.contains("RUN_SILENT")) {
      silentQuendris = true;
      std::cout << "Running qndsumstat in silent mode ..." << '\n' << std::flush;
    } else if (word.contains("-HELP")) {
      showHelp();
      return 0;
    }
  }
  SumStat.defFileName = "ssdefs.txt";
  std::string project_name = argv[1];
  SumStat.batch_mode = !project_name.empty() && project_name[0] == '@';
  if (SumStat.batch_mode) {
    const std::string list_name = project_name.substr(1);
    std::ifstream list(list_name);
    if (!list) {
      std::cerr << "qndsumstat: error: cannot read the project list " << list_name << std::endl;
      clean_up();
      return 0;
    }
    make_qnd_run_txt(cli::read_project_list(list));
  } else {
    if (project_name.find("./") != std::string::npos)
      project_name = cli::normalise_project_name(project_name);
    make_qnd_run_txt(my_string(std::string_view(project_name)));
  }
  if (argc >= 3) SumStat.outFileName = argv[2];
  SumStat.appendOutput = argc <= 3 || cli::truncated_value(argv[3]) != 0;
  const int header_mode = argc <= 4 ? 0 : cli::truncated_value(argv[4]);
  SumStat.readDefSSFile(my_string(std::string_view(SumStat.defFileName)));
  SumStat.sumStatMode = true;
  char core_directory[1] = "";
  qndestart(core_directory);
  SumStat.writeToFile(header_mode);
  clean_up();
  return 0;
}

// The program entry: command line, run list file, definition file, batch loop
// and the final write of the summary statistics.
#ifndef QND_DRIVER_COMMAND_LINE_H
#define QND_DRIVER_COMMAND_LINE_H

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "text/my_string.h"

// The whole of main: always returns 0 (a calling script inspects the output file).
int qnd_main(int argc, char** argv);
// Writes the usage text to standard output.
void showHelp();
// Writes the run list file (getQndRunString()) naming projectName.
void make_qnd_run_txt(my_string projectName);
// Writes the run list file naming every project of a batch, in order.
void make_qnd_run_txt(const std::vector<std::string>& projectNames);
// "qnd_run_<process id>.txt".
my_string getQndRunString();

namespace cli {
// The argument read as by atof and truncated toward zero. Values outside the
// range of int (and not-a-number) give INT_MIN, which no mode accepts and which
// counts as "not 0".
int truncated_value(const char* text);
// Drops every "./" component except one at the very start ("a/./b" -> "a/b");
// ".." components and names such as "x./y" are left as they are, so the result
// names the same file as the input.
std::string normalise_project_name(std::string_view name);
// The project paths of a project list ("@file" on the command line): one per
// line, surrounding blanks and a carriage return removed; empty lines and lines
// whose first non-blank character is '#' are skipped. Each path is normalised
// as a single project name is; a path "end" or "END" becomes "./end" ("./END"),
// the same file, which the run list does not read as its end.
std::vector<std::string> read_project_list(std::istream& in);
}  // namespace cli

#endif  // QND_DRIVER_COMMAND_LINE_H

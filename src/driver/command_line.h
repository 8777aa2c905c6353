// The program entry: command line, run list file, definition file, batch loop
// and the final write of the summary statistics.
#ifndef QND_DRIVER_COMMAND_LINE_H
#define QND_DRIVER_COMMAND_LINE_H

#include <string>
#include <string_view>

#include "text/my_string.h"

// The whole of main: always returns 0 (a calling script inspects the output file).
int qnd_main(int argc, char** argv);
// Writes the usage text to standard output.
void showHelp();
// Writes the run list file (getQndRunString()) naming projectName.
void make_qnd_run_txt(my_string projectName);
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
}  // namespace cli

#endif  // QND_DRIVER_COMMAND_LINE_H

// The qndconvert command: observed data (FASTA, Genepop, VCF/BCF) or
// simulator output (ms format) to project files.
#ifndef QND_CONVERT_CONVERT_COMMAND_H
#define QND_CONVERT_CONVERT_COMMAND_H

#include <string>
#include <vector>

namespace convert {

// Runs the command with its words after the program name ("fasta", options,
// input). Returns the exit status: 0 on success, 1 on bad input or options,
// with the message on standard error.
int run_convert_command(const std::vector<std::string>& args);

}  // namespace convert

#endif  // QND_CONVERT_CONVERT_COMMAND_H

// The ms-format conversion as a command, shared by qndms2qnp and "qndconvert ms".
#ifndef QND_MS2QNP_MS_COMMAND_H
#define QND_MS2QNP_MS_COMMAND_H

#include <string>
#include <vector>

namespace ms2qnp {

// Runs the conversion with the words that follow the command (options and the
// input); program names the command in the usage text and in messages.
// Returns the exit status: 0 on success, 1 on bad input or options.
int run_ms_command(const std::vector<std::string>& args, const std::string& program);

}  // namespace ms2qnp

#endif  // QND_MS2QNP_MS_COMMAND_H

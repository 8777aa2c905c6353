// qndms2qnp: turns ms-format simulator output into project files, one per
// replicate, plus a project list for a batch call of qndsumstat ("@list").
//   qndms2qnp [--rflp] [--groups 2,3] [--prefix name] [input file | -]
#include <string>
#include <vector>

#include "ms2qnp/ms_command.h"

int main(int argc, char** argv) {
  return ms2qnp::run_ms_command(std::vector<std::string>(argv + 1, argv + argc), "qndms2qnp");
}

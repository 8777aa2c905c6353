// qndms2qnp: turns ms-format simulator output into project files, one per
// replicate, plus a project list for a batch call of qndsumstat ("@list").
//   qndms2qnp [--rflp] [--groups 2,3] [--prefix name] [input file | -]
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include "ms2qnp/ms_format.h"

namespace {

const char* const kUsage =
    "usage: qndms2qnp [--rflp] [--groups n1,n2,...] [--prefix name] [input file | -]\n"
    "  Writes name_<replicate>.qnp for every replicate of the ms-format input\n"
    "  (standard input when no file or \"-\" is given) and the list name_list.txt\n"
    "  of these projects for \"qndsumstat @name_list.txt ...\".\n"
    "  --rflp    write 0/1 states as RFLP data (default: DNA, two nucleotides per site)\n"
    "  --groups  group consecutive samples (populations of -I): 2,3 puts samples\n"
    "            1-2 in group 1 and 3-5 in group 2\n"
    "  --prefix  start of the output file names (default \"ms\")\n";

int fail(const std::string& message) {
  std::cerr << "qndms2qnp: error: " << message << '\n';
  return 1;
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  ms2qnp::ProjectOptions options;
  std::string prefix = "ms";
  std::string input = "-";
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--help" || arg == "-h") {
        std::cout << kUsage;
        return 0;
      } else if (arg == "--rflp") {
        options.encoding = ms2qnp::Encoding::Rflp;
      } else if ((arg == "--groups" || arg == "--prefix") && i + 1 < argc) {
        if (arg == "--groups") {
          options.group_sizes = ms2qnp::parse_group_sizes(argv[++i]);
        } else {
          prefix = argv[++i];
        }
      } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
        return fail("unknown option " + arg + "\n" + kUsage);
      } else {
        input = arg;
      }
    }
    ms2qnp::MsData data;
    if (input == "-") {
      data = ms2qnp::parse_ms(std::cin);
    } else {
      std::ifstream in(input);
      if (!in) return fail("cannot read " + input);
      data = ms2qnp::parse_ms(in);
    }
    std::ostringstream list;
    const int count = static_cast<int>(data.replicates.size());
    const int width = static_cast<int>(std::to_string(count).size());
    for (int r = 1; r <= count; ++r) {
      std::ostringstream name;
      name << prefix << '_' << std::setw(width) << std::setfill('0') << r << ".qnp";
      if (!write_text(name.str(), ms2qnp::to_project(data, r, options)))
        return fail("cannot write " + name.str());
      list << name.str() << '\n';
    }
    if (!write_text(prefix + "_list.txt", list.str()))
      return fail("cannot write " + prefix + "_list.txt");
    std::cout << count << " projects written, listed in " << prefix << "_list.txt\n";
  } catch (const ms2qnp::FormatError& e) {
    return fail((input == "-" ? std::string("standard input") : input) + ": " + e.what());
  }
  return 0;
}

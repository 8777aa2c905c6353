// Options, input and output files of the ms-format conversion: one project per
// replicate plus a project list for a batch call of qndsumstat ("@list").
#include "ms2qnp/ms_command.h"

#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "ms2qnp/ms_format.h"

namespace ms2qnp {
namespace {

std::string usage(const std::string& program) {
  return "usage: " + program +
         " [--rflp] [--groups n1,n2,...] [--prefix name] [input file | -]\n"
         "  Writes name_<replicate>.qnp for every replicate of the ms-format input\n"
         "  (standard input when no file or \"-\" is given) and the list name_list.txt\n"
         "  of these projects for \"qndsumstat @name_list.txt ...\".\n"
         "  --rflp    write 0/1 states as RFLP data (default: DNA, two nucleotides per site)\n"
         "  --groups  group consecutive samples (populations of -I): 2,3 puts samples\n"
         "            1-2 in group 1 and 3-5 in group 2\n"
         "  --prefix  start of the output file names (default \"ms\")\n";
}

}  // namespace

int run_ms_command(const std::vector<std::string>& args, const std::string& program) {
  const auto fail = [&program](const std::string& message) {
    std::cerr << program << ": error: " << message << '\n';
    return 1;
  };
  ProjectOptions options;
  std::string prefix = "ms";
  std::string input = "-";
  try {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "--help" || arg == "-h") {
        std::cout << usage(program);
        return 0;
      } else if (arg == "--rflp") {
        options.encoding = Encoding::Rflp;
      } else if ((arg == "--groups" || arg == "--prefix") && i + 1 < args.size()) {
        if (arg == "--groups") {
          options.group_sizes = parse_group_sizes(args[++i]);
        } else {
          prefix = args[++i];
        }
      } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
        return fail("unknown option " + arg + "\n" + usage(program));
      } else {
        input = arg;
      }
    }
    MsData data;
    if (input == "-") {
      data = parse_ms(std::cin);
    } else {
      std::ifstream in(input);
      if (!in) return fail("cannot read " + input);
      data = parse_ms(in);
    }
    std::ostringstream list;
    const int count = static_cast<int>(data.replicates.size());
    const int width = static_cast<int>(std::to_string(count).size());
    for (int r = 1; r <= count; ++r) {
      std::ostringstream name;
      name << prefix << '_' << std::setw(width) << std::setfill('0') << r << ".qnp";
      const std::string text = to_project(data, r, options);
      write_file_atomically(name.str(), [&text](std::ostream& out) { out << text; });
      list << name.str() << '\n';
    }
    write_file_atomically(prefix + "_list.txt", [&list](std::ostream& out) { out << list.str(); });
    std::cout << count << " projects written, listed in " << prefix << "_list.txt\n";
  } catch (const FormatError& e) {
    return fail((input == "-" ? std::string("standard input") : input) + ": " + e.what());
  } catch (const std::runtime_error& e) {
    return fail(e.what());
  }
  return 0;
}

}  // namespace ms2qnp

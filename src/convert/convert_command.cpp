// Options, reading, notices and the atomic write of one converted project.
#include "convert/convert_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "convert/fasta.h"
#include "convert/genepop.h"
#include "convert/sample_map.h"
#include "convert/vcf.h"
#include "ms2qnp/ms_command.h"
#include "ms2qnp/ms_format.h"

namespace convert {
namespace {

using ms2qnp::FormatError;

// Options that cannot be used: the usage text follows the message.
class UsageError : public FormatError {
 public:
  using FormatError::FormatError;
};

const char* const kUsage =
    "usage: qndconvert <format> [options] input\n"
    "  qndconvert fasta   [--popmap FILE] [--groups n1,n2,...] [-o out.qnp] input.fasta\n"
    "  qndconvert genepop [--popmap FILE] [--groups n1,n2,...] [-o out.qnp] input.gen\n"
    "  qndconvert vcf     --popmap FILE [--groups n1,n2,...] [--haploid] [-o out.qnp]\n"
    "                     input.vcf|input.vcf.gz|input.bcf\n"
    "  qndconvert ms      [--rflp] [--groups n1,n2,...] [--prefix name] [input | -]\n"
    "  --popmap   lines \"individual sample [group]\": the sample of each sequence or\n"
    "             individual, and optionally its group (fasta default: the name's\n"
    "             prefix before the first '_'; genepop default: each \"Pop\" section)\n"
    "  --groups   group consecutive samples: 2,3 puts samples 1-2 in group 1 and\n"
    "             3-5 in group 2\n"
    "  --haploid  vcf: each allele of a call is a haploid gene copy (default: diploid\n"
    "             individuals)\n"
    "  -o         the project to write (default: the input's name ending in .qnp)\n";

struct Options {
  std::string format;
  std::string popmap;
  std::vector<int> group_sizes;
  bool haploid = false;
  std::string output;
  std::string input;
};

Options parse_options(const std::vector<std::string>& args) {
  Options options;
  options.format = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "--popmap" || arg == "--groups" || arg == "-o") && i + 1 == args.size())
      throw UsageError("option " + arg + " needs a value");
    if (arg == "--popmap") {
      options.popmap = args[++i];
    } else if (arg == "--groups") {
      options.group_sizes = ms2qnp::parse_group_sizes(args[++i]);
    } else if (arg == "-o") {
      options.output = args[++i];
    } else if (arg == "--haploid" && options.format == "vcf") {
      options.haploid = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg + " for " + options.format);
    } else if (!options.input.empty()) {
      throw UsageError("more than one input: " + options.input + " and " + arg);
    } else {
      options.input = arg;
    }
  }
  if (options.input.empty()) throw UsageError("no input file");
  if (options.format == "vcf" && options.popmap.empty())
    throw UsageError("vcf needs --popmap FILE");
  if (options.output.empty()) {
    std::filesystem::path path(options.input);
    if (path.extension() == ".gz") path.replace_extension();
    options.output = path.replace_extension(".qnp").string();
  }
  if (options.output == options.input)
    throw FormatError("the output would replace the input: give another name with -o");
  return options;
}

// Runs read on the open file at path; its messages gain the file's name.
template <typename Read>
void read_file(const std::string& path, Read read) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FormatError(path + ": cannot be read");
  try {
    read(in);
  } catch (const FormatError& e) {
    throw FormatError(path + ": " + e.what());
  }
}

// A text for a quoted value or a comment: no double quote, '#', control
// character or bracket (a project line holding "[Structure]" starts that section).
std::string safe_text(std::string text) {
  for (char& c : text) {
    if (c == '"') c = '\'';
    if (c == '#') c = '_';
    if (c == '[') c = '(';
    if (c == ']') c = ')';
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  }
  return text;
}

void note(const std::string& text) { std::cerr << "qndconvert: note: " << text << '\n'; }

std::string plural(std::size_t count, const std::string& word, const std::string& words = "") {
  return std::to_string(count) + " " + (count == 1 ? word : words.empty() ? word + "s" : words);
}

void report_counts(const Options& options, const SampleAssigner& assign, const VcfCounts& vcf) {
  if (assign.skipped() > 0)
    note(plural(assign.skipped(), "individual") + " of " + options.input +
         " not in the population map: skipped");
  if (assign.unused_map_entries() > 0)
    note(plural(assign.unused_map_entries(), "individual") + " of " + options.popmap +
         " not found in " + options.input);
  if (vcf.multiallelic + vcf.other > 0)
    note("skipped " + plural(vcf.multiallelic, "multiallelic record") + " and " +
         plural(vcf.other, "other record") + " (indels, symbolic alleles, no ALT)");
}

std::string summary(const ms2qnp::SampleSet& set) {
  std::size_t units = 0;
  for (const ms2qnp::Sample& sample : set.samples) {
    units += sample.individuals.size();
    for (const auto& copy : sample.copies) units += static_cast<std::size_t>(copy.second);
  }
  const std::string& content = set.content(0);
  const std::size_t sites =
      set.kind == ms2qnp::DataKind::Microsat
          ? static_cast<std::size_t>(std::count(content.begin(), content.end(), ' ')) + 1
          : content.size();
  return plural(set.samples.size(), "sample") + ", " +
         (set.genotypic ? plural(units, "individual") : plural(units, "gene copy", "gene copies")) +
         ", " +
         (set.kind == ms2qnp::DataKind::Microsat ? plural(sites, "locus", "loci")
                                                 : plural(sites, "site"));
}

int convert(const Options& options) {
  PopMap map;
  if (!options.popmap.empty())
    read_file(options.popmap, [&map](std::istream& in) { map = read_popmap(in); });
  ms2qnp::SampleSet set;
  SampleAssigner assign(set, options.popmap.empty() ? nullptr : &map);
  VcfCounts vcf;
  if (options.format == "fasta") {
    read_file(options.input, [&](std::istream& in) { read_fasta(in, assign, set); });
    set.title = safe_text(std::filesystem::path(options.input).filename().string());
  } else if (options.format == "genepop") {
    read_file(options.input, [&](std::istream& in) { read_genepop(in, assign, set); });
    set.title = safe_text(set.title);
  } else {
    try {
      vcf = read_vcf(options.input, assign, options.haploid, set);
    } catch (const FormatError& e) {
      throw FormatError(options.input + ": " + e.what());
    }
    set.title = safe_text(std::filesystem::path(options.input).filename().string());
  }
  assign.finish(options.group_sizes);
  report_counts(options, assign, vcf);
  ms2qnp::Heading heading;
  heading.comment =
      "# Converted by qndconvert from " + safe_text(options.input) + " (" + options.format + ").\n";
  ms2qnp::write_file_atomically(
      options.output, [&](std::ostream& out) { ms2qnp::write_project(out, set, heading); });
  std::cout << "wrote " << options.output << ": " << summary(set) << '\n';
  return 0;
}

}  // namespace

int run_convert_command(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? std::cerr : std::cout) << kUsage;
    return args.empty() ? 1 : 0;
  }
  if (args[0] == "ms")
    return ms2qnp::run_ms_command(std::vector<std::string>(args.begin() + 1, args.end()),
                                  "qndconvert ms");
  try {
    if (args[0] != "fasta" && args[0] != "genepop" && args[0] != "vcf")
      throw UsageError("unknown format \"" + args[0] + "\": expected fasta, genepop, vcf or ms");
    return convert(parse_options(args));
  } catch (const UsageError& e) {
    std::cerr << "qndconvert: error: " << e.what() << '\n' << kUsage;
  } catch (const std::runtime_error& e) {
    std::cerr << "qndconvert: error: " << e.what() << '\n';
  }
  return 1;
}

}  // namespace convert

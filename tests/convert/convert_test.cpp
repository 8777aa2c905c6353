// End-to-end tests of qndconvert: conversions whose qndsumstat values are
// worked out by hand (good_cases.txt), failing inputs with their messages
// (bad_cases.txt), round trips of the example projects through FASTA and
// Genepop, one VCF in its three encodings, and the ms conversion.
#include <gtest/gtest.h>
#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver_test_util.h"

namespace {

using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

const std::string kTests = std::string(QND_TEST_DATA) + "/convert/";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome run(const TempDir& dir, const std::string& exe, const std::string& args) {
  const std::string command =
      "cd '" + dir.path() + "' && '" + exe + "' " + args + " > .out 2> .err";
  const int status = std::system(command.c_str());
  Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir.file(".out")),
                 read_file(dir.file(".err"))};
  std::filesystem::remove(dir.file(".out"));
  std::filesystem::remove(dir.file(".err"));
  return result;
}

// The data files and the example definition and settings files.
void fill(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(kTests + "data"))
    std::filesystem::copy_file(entry.path(), dir.file(entry.path().filename().string()));
  for (const char* name : {"ssdefs.txt", "qnd_run.qns"})
    std::filesystem::copy_file(std::string(QND_EXAMPLES) + "/" + name, dir.file(name));
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at - from));
    if (at == std::string::npos) return parts;
    from = at + separator.size();
  }
}

// The cases of a manifest: its lines that are not comments, split at " | ".
std::vector<std::vector<std::string>> manifest(const std::string& name) {
  std::ifstream in(kTests + name);
  std::vector<std::vector<std::string>> cases;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') cases.push_back(split(line, " | "));
  return cases;
}

bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// Column name -> value of a qndsumstat output of one header and one value line.
std::map<std::string, std::string> columns(const std::string& output) {
  const std::vector<std::string> lines = split(output, "\n");
  std::map<std::string, std::string> values;
  if (lines.size() < 2) return values;
  const std::vector<std::string> names = split(lines[0], "\t");
  const std::vector<std::string> numbers = split(lines[1], "\t");
  for (std::size_t i = 0; i < names.size() && i < numbers.size(); ++i)
    values[names[i]] = numbers[i];
  return values;
}

std::string statistics(const TempDir& dir, const std::string& project) {
  const std::string output = project + ".txt";
  const Outcome r = run(dir, QND_EXE, project + " " + output + " 0 1 run_silent");
  EXPECT_EQ(r.status, 0) << project;
  return read_file(dir.file(output));
}

}  // namespace

TEST(ConvertCases, ValuesWorkedOutByHand) {
  for (const auto& c : manifest("good_cases.txt")) {
    SCOPED_TRACE(c[0]);
    TempDir dir(false);
    fill(dir);
    const Outcome r = run(dir, QND_CONVERT_EXE, c[0] + " -o out.qnp");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto values = columns(statistics(dir, "out.qnp"));
    for (const std::string& expected : split(c[1], " ")) {
      const std::vector<std::string> pair = split(expected, "=");
      const auto found = values.find(pair[0]);
      ASSERT_NE(found, values.end()) << pair[0];
      EXPECT_EQ(found->second, pair[1]) << pair[0];
    }
    for (std::size_t i = 2; i < c.size(); ++i) EXPECT_TRUE(has_line(r.err, c[i])) << r.err;
  }
}

TEST(ConvertCases, BadInputGivesItsMessageStatusOneAndNoFile) {
  for (const auto& c : manifest("bad_cases.txt")) {
    SCOPED_TRACE(c[0]);
    ASSERT_EQ(c.size(), 3u);
    TempDir dir(false);
    fill(dir);
    const std::vector<std::string> before = driver_test::list_dir(dir.path());
    const Outcome r = run(dir, QND_CONVERT_EXE, c[0]);
    EXPECT_EQ(r.status, std::stoi(c[1]));
    EXPECT_TRUE(has_line(r.err, c[2])) << r.err;
    EXPECT_EQ(driver_test::list_dir(dir.path()), before);
  }
}

namespace {

// The data of an example project: its samples, their gene copies (haploid) or
// individuals (two copies each, alleles separated by blanks), and its groups.
struct Example {
  std::vector<std::string> samples;
  std::vector<std::pair<std::size_t, std::vector<std::string>>> units;  // sample, copies
  std::vector<std::vector<std::size_t>> groups;
};

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

std::string joined(const std::vector<std::string>& w, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < w.size(); ++i) text += (i > from ? " " : "") + w[i];
  return text;
}

// Reads the layout of the files in examples/ (a haplotype list, samples, groups
// of quoted names), not project files in general.
Example read_example(const std::string& path, bool genotypic) {
  Example example;
  std::map<std::string, std::string> defined;
  std::string block;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = words(line.substr(0, line.find('#')));
    if (w.empty()) continue;
    const std::vector<std::string> quoted = split(line, "\"");  // odd parts are quoted
    if (w[0].rfind("Group={", 0) == 0) {
      example.groups.emplace_back();
      block = "Group";
    }
    if (block == "Group") {
      for (std::size_t q = 1; q < quoted.size(); q += 2)
        for (std::size_t s = 0; s < example.samples.size(); ++s)
          if (example.samples[s] == quoted[q]) example.groups.back().push_back(s);
      if (line.find('}') != std::string::npos) block.clear();
    } else if (w[0] == "}") {
      block.clear();
    } else if (w[0].rfind("HaplList={", 0) == 0 || w[0].rfind("SampleData={", 0) == 0) {
      block = w[0];
    } else if (w[0].rfind("SampleName=", 0) == 0) {
      example.samples.push_back(quoted.at(1));
    } else if (block == "HaplList={") {
      defined[w[0]] = joined(w, 1);
    } else if (block == "SampleData={") {
      if (w.size() > 2) defined[w[0]] = joined(w, 2);
      std::vector<std::string> copies{defined[w[0]]};
      if (genotypic && std::getline(in, line)) copies.push_back(joined(words(line), 0));
      for (int i = 0; i < std::stoi(w[1]); ++i)
        example.units.emplace_back(example.samples.size() - 1, copies);
    }
  }
  return example;
}

}  // namespace

TEST(ConvertRoundTrip, DemoProjectThroughFastaGivesTheSameStatistics) {
  const std::string original = std::string(QND_EXAMPLES) + "/demo.qnp";
  const Example demo = read_example(original, false);
  ASSERT_EQ(demo.units.size(), 34u);  // the sample sizes of demo.qnp
  TempDir dir(false);
  fill(dir);
  std::filesystem::copy_file(original, dir.file("demo.qnp"));
  std::string fasta;
  std::string map;
  for (std::size_t u = 0; u < demo.units.size(); ++u) {
    const std::size_t s = demo.units[u].first;
    fasta += ">copy" + std::to_string(u) + "\n" + demo.units[u].second[0] + "\n";
    const std::size_t group = s < 2 ? 1 : 2;  // demo.qnp: samples 1-2 and 3-4
    map += "copy" + std::to_string(u) + " " + demo.samples[s] + " g" + std::to_string(group) + "\n";
  }
  write_file(dir.file("demo.fasta"), fasta);
  write_file(dir.file("demo_map.txt"), map);
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "fasta --popmap demo_map.txt -o back.qnp demo.fasta").status,
            0);
  const std::string expected = statistics(dir, "demo.qnp");
  EXPECT_EQ(statistics(dir, "back.qnp"), expected);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 2);  // header and values
}

TEST(ConvertRoundTrip, MicrosatProjectThroughGenepopGivesTheSameStatistics) {
  const std::string original = std::string(QND_EXAMPLES) + "/microsat.qnp";
  const Example micro = read_example(original, true);
  ASSERT_EQ(micro.units.size(), 17u);  // individuals of microsat.qnp, hi2_01 twice
  TempDir dir(false);
  fill(dir);
  std::filesystem::copy_file(original, dir.file("microsat.qnp"));
  std::string genepop = "microsat.qnp as Genepop\nloc1, loc2, loc3\n";
  for (std::size_t u = 0; u < micro.units.size(); ++u) {
    if (u == 0 || micro.units[u].first != micro.units[u - 1].first) genepop += "Pop\n";
    genepop += "ind" + std::to_string(u) + ",";
    const std::vector<std::string> a = words(micro.units[u].second[0]);
    const std::vector<std::string> b = words(micro.units[u].second[1]);
    for (std::size_t locus = 0; locus < a.size(); ++locus) {
      char genotype[16];
      std::snprintf(genotype, sizeof genotype, " %02d%02d", std::stoi(a[locus]),
                    std::stoi(b[locus]));
      genepop += genotype;
    }
    genepop += "\n";
  }
  write_file(dir.file("microsat.gen"), genepop);
  ASSERT_EQ(micro.groups.size(), 2u);
  const std::string groups =
      std::to_string(micro.groups[0].size()) + "," + std::to_string(micro.groups[1].size());
  const Outcome r =
      run(dir, QND_CONVERT_EXE, "genepop --groups " + groups + " -o back.qnp microsat.gen");
  ASSERT_EQ(r.status, 0) << r.err << genepop;
  EXPECT_EQ(statistics(dir, "back.qnp"), statistics(dir, "microsat.qnp"));
}

namespace {

// Rewrites a VCF with htslib in another encoding ("wz": bgzip VCF, "wb": BCF).
void recode(const std::string& from, const std::string& to, const char* mode) {
  htsFile* in = hts_open(from.c_str(), "r");
  bcf_hdr_t* header = bcf_hdr_read(in);
  htsFile* out = hts_open(to.c_str(), mode);
  EXPECT_EQ(bcf_hdr_write(out, header), 0);
  bcf1_t* record = bcf_init();
  while (bcf_read(in, header, record) == 0) EXPECT_EQ(bcf_write(out, header, record), 0);
  bcf_destroy(record);
  hts_close(out);
  bcf_hdr_destroy(header);
  hts_close(in);
}

// A project without its first three lines (comment, "[Profile]", title), which name the input.
std::string data_part(const std::string& project) {
  std::size_t at = 0;
  for (int i = 0; i < 3; ++i) at = project.find('\n', at) + 1;
  return project.substr(at);
}

}  // namespace

TEST(ConvertVcf, BgzipAndBcfGiveTheSameProjectAsPlainText) {
  TempDir dir(false);
  fill(dir);
  recode(dir.file("phased.vcf"), dir.file("phased.vcf.gz"), "wz");
  recode(dir.file("phased.vcf"), dir.file("phased.bcf"), "wb");
  for (const char* compressed : {"phased.vcf.gz", "phased.bcf"})  // both are bgzip blocks
    EXPECT_EQ(read_file(dir.file(compressed)).substr(0, 2), "\x1f\x8b") << compressed;
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt -o plain.qnp phased.vcf").status,
            0);
  // Without -o the output takes the input's name, .vcf.gz and all replaced by .qnp.
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt phased.vcf.gz").status, 0);
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt -o bcf.qnp phased.bcf").status, 0);
  const std::string plain = data_part(read_file(dir.file("plain.qnp")));
  EXPECT_NE(plain.find("GameticPhase=1"), std::string::npos);
  EXPECT_EQ(data_part(read_file(dir.file("phased.qnp"))), plain);
  EXPECT_EQ(data_part(read_file(dir.file("bcf.qnp"))), plain);
}

TEST(ConvertMs, WritesTheSameProjectsAsQndms2qnp) {
  TempDir dir(false);
  write_file(dir.file("sim.txt"),
             "ms 5 1 -t 2.0 -I 2 3 2 1.0\n1 2 3\n\n//\nsegsites: 2\npositions: 0.1 0.5\n"
             "01\n01\n11\n00\n10\n");
  ASSERT_EQ(run(dir, QND_MS2QNP_EXE, "--groups 2 --prefix a sim.txt").status, 0);
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "ms --groups 2 --prefix b sim.txt").status, 0);
  EXPECT_FALSE(read_file(dir.file("a_1.qnp")).empty());
  EXPECT_EQ(read_file(dir.file("b_1.qnp")), read_file(dir.file("a_1.qnp")));
  const Outcome bad = run(dir, QND_CONVERT_EXE, "ms --groups 3 --prefix c sim.txt");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "qndconvert ms: error: sim.txt: the groups hold 3 samples, the data 2\n");
}

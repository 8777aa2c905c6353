// End-to-end tests of qndconvert: conversions whose qndsumstat values are
// worked out by hand (good_cases.txt), failing inputs with their messages
// (bad_cases.txt), and one VCF in its three encodings. Round trips of the
// example projects and the ms conversion are cases of tests/cli/runs.txt.
#include <gtest/gtest.h>
#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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

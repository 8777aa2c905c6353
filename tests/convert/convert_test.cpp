// End-to-end tests of qndconvert: conversions whose qndsumstat values are
// worked out by hand (good_cases.txt), failing inputs with their messages
// (bad_cases.txt), and one VCF in its three encodings. Round trips of the
// example projects and the ms conversion are cases of tests/cli/runs.txt.
#include <gtest/gtest.h>
#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/driver_test_util.h"

namespace {

using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

const std::string kTests = std::string(QND_TEST_DATA) + "/convert/";

// Runs exe with args in dir; returns the exit status and standard error.
std::pair<int, std::string> run(const TempDir& dir, const std::string& exe,
                                const std::string& args) {
  const int status = std::system(
      ("cd '" + dir.path() + "' && '" + exe + "' " + args + " > /dev/null 2> .err").c_str());
  const std::string err = read_file(dir.file(".err"));
  std::filesystem::remove(dir.file(".err"));
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
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

bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// Good cases: arguments | columns | standard error lines; bad cases:
// arguments | status | a standard error line, and no file left behind.
TEST(ConvertCases, GoodInputGivesValuesWorkedOutByHandAndBadInputItsMessage) {
  for (const char* name : {"good_cases.txt", "bad_cases.txt"}) {
    const bool good = name[0] == 'g';
    std::ifstream in(kTests + name);
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      const std::vector<std::string> c = split(line, " | ");
      SCOPED_TRACE(line);
      TempDir dir(false);
      fill(dir);
      const std::vector<std::string> before = driver_test::list_dir(dir.path());
      const auto [status, err] = run(dir, QND_CONVERT_EXE, c[0] + (good ? " -o out.qnp" : ""));
      for (std::size_t i = 2; i < c.size(); ++i) EXPECT_TRUE(has_line(err, c[i])) << err;
      if (!good) {
        EXPECT_EQ(status, std::stoi(c[1]));
        EXPECT_EQ(driver_test::list_dir(dir.path()), before);
        continue;
      }
      ASSERT_EQ(status, 0) << err;
      ASSERT_EQ(run(dir, QND_EXE, "out.qnp out.txt 0 1 run_silent").first, 0);
      const std::vector<std::string> lines = split(read_file(dir.file("out.txt")), "\n");
      ASSERT_GE(lines.size(), 2u);
      const std::vector<std::string> names = split(lines[0], "\t"), values = split(lines[1], "\t");
      for (const std::string& expected : split(c[1], " ")) {
        const std::vector<std::string> pair = split(expected, "=");
        const auto at = std::find(names.begin(), names.end(), pair[0]);
        ASSERT_NE(at, names.end()) << pair[0];
        EXPECT_EQ(values[static_cast<std::size_t>(at - names.begin())], pair[1]) << pair[0];
      }
    }
  }
}

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

TEST(ConvertVcf, BgzipAndBcfGiveTheSameProjectAsPlainText) {
  TempDir dir(false);
  fill(dir);
  recode(dir.file("phased.vcf"), dir.file("phased.vcf.gz"), "wz");
  recode(dir.file("phased.vcf"), dir.file("phased.bcf"), "wb");
  for (const char* compressed : {"phased.vcf.gz", "phased.bcf"})  // both are bgzip blocks
    EXPECT_EQ(read_file(dir.file(compressed)).substr(0, 2), "\x1f\x8b") << compressed;
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt -o plain.qnp phased.vcf").first, 0);
  // Without -o the output takes the input's name, .vcf.gz and all replaced by .qnp.
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt phased.vcf.gz").first, 0);
  ASSERT_EQ(run(dir, QND_CONVERT_EXE, "vcf --popmap vcf_map.txt -o bcf.qnp phased.bcf").first, 0);
  const std::string plain = data_part(read_file(dir.file("plain.qnp")));
  EXPECT_NE(plain.find("GameticPhase=1"), std::string::npos);
  EXPECT_EQ(data_part(read_file(dir.file("phased.qnp"))), plain);
  EXPECT_EQ(data_part(read_file(dir.file("bcf.qnp"))), plain);
}

}  // namespace

// Fu's Fs through the whole program on distinct_haplotypes.qnp: 19 gene copies,
// 19 haplotypes, pi = 36/19 counted by hand in the file's header. The expected
// Fs = ln S' - ln(1 - S'), S' = P(K = 19 | theta = 36/19) = prod_{m=1}^{18}
// theta / (theta + m), was evaluated offline with exact rational arithmetic
// (ewens_reference.txt holds it too); S' is about 1e-13, where 1 - P(K < k)
// kept only a few of its digits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"

namespace {

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) out.push_back(field);
  return out;
}

std::string printed(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

}  // namespace

TEST(FuFsProgram, DistinctHaplotypesAtLowDiversityPrintTheExactValue) {
  qnd_test::TempDir dir;
  const std::string examples = QND_EXAMPLES;
  std::filesystem::copy_file(std::string(QND_TEST_DATA) + "/cli/distinct_haplotypes.qnp",
                             dir.file("star.qnp"));
  for (const std::string file : {"ssdefs.txt", "qnd_run.qns"})
    std::filesystem::copy_file(examples + "/" + file, dir.file(file));
  const std::string command = "cd '" + dir.path().string() + "' && '" + QND_EXE +
                              "' star.qnp out.txt 0 1 run_silent > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::istringstream out(qnd_test::read_file(dir.file("out.txt")));
  std::string header, values;
  std::getline(out, header);
  std::getline(out, values);
  const std::vector<std::string> names = fields(header), numbers = fields(values);
  ASSERT_EQ(names.size(), numbers.size());
  auto column = [&](const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return numbers[i];
    ADD_FAILURE() << "no column " << name;
    return std::string();
  };
  EXPECT_EQ(column("K_1"), "19");
  EXPECT_EQ(column("Pi_1"), printed(36.0 / 19.0));
  EXPECT_EQ(column("FS_1"), printed(-29.916267391820234984));  // -29.9163
}

// Many instances of qndsumstat started at once in one directory, as a script
// over simulated data sets does: each has its own run list, and every instance
// appends exactly one whole value line to the shared output file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "driver/driver_test_util.h"

namespace {

using driver_test::list_dir;
using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

constexpr int kInstances = 20;

}  // namespace

TEST(Concurrency, TwentyInstancesAppendTwentyWholeLines) {
  TempDir dir(false);
  const std::string examples = QND_EXAMPLES;
  std::filesystem::copy_file(examples + "/qnd_run.qns", dir.file("qnd_run.qns"));
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL GROUP_LEVEL MEAN_K SD_K\n");
  // One data set per instance, as simulated data sets are.
  for (int i = 1; i <= kInstances; ++i)
    std::filesystem::copy_file(examples + "/demo.qnp",
                               dir.file("sim_" + std::to_string(i) + ".qnp"));

  std::string script = "cd '" + dir.path() + "' && for i in $(seq 1 " + std::to_string(kInstances) +
                       "); do '" + QND_EXE +
                       "' sim_$i.qnp out.txt 1 0 run_silent > /dev/null 2>&1 & done; wait";
  ASSERT_EQ(std::system(script.c_str()), 0);

  const std::string output = read_file(dir.file("out.txt"));
  // Four tab-ended numeric fields per line, nothing else.
  const std::regex whole_line(R"(((-?[0-9.naif]+(e[-+][0-9]+)?)\t){4}\n)");
  std::size_t from = 0;
  int lines = 0;
  while (from < output.size()) {
    const std::size_t end = output.find('\n', from);
    ASSERT_NE(end, std::string::npos) << "unterminated last line";
    const std::string line = output.substr(from, end - from + 1);
    EXPECT_TRUE(std::regex_match(line, whole_line)) << "broken line: " << line;
    ++lines;
    from = end + 1;
  }
  EXPECT_EQ(lines, kInstances);

  for (const std::string& name : list_dir(dir.path()))
    EXPECT_NE(name.rfind("qnd_run_", 0), 0u) << name << " left behind";
  for (int i = 1; i <= kInstances; ++i) {
    const std::string log =
        read_file(dir.file("sim_" + std::to_string(i) + ".res/Quendris_log.txt"));
    EXPECT_NE(log.find("Successful run of sim_" + std::to_string(i) + ".qnp"), std::string::npos)
        << "instance " << i;
  }
}

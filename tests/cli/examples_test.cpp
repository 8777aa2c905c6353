// End-to-end runs of every project that has a ".expected" file beside it, in
// examples/ and in tests/cli/projects/, each in a temporary copy with the
// bundled ssdefs.txt and qnd_run.qns: one header and one value line of equal
// width, finite numbers only, a successful log, and the columns of the
// ".expected" file (header and value line, worked out by hand) to the six
// significant digits printed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using qnd_test::read_file;

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) out.push_back(field);
  return out;
}

// The first two lines that are not comments.
std::vector<std::string> data_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.empty() || line[0] != '#') lines.push_back(line);
  return lines;
}

TEST(ExampleProjects, EveryProjectGivesItsExpectedColumns) {
  int projects = 0;
  for (const std::string& folder :
       {std::string(QND_EXAMPLES), std::string(QND_TEST_DATA) + "/cli/projects"})
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() != ".expected") continue;
      const std::string name = entry.path().stem().string();
      SCOPED_TRACE(entry.path().string());
      ++projects;
      qnd_test::TempDir dir;
      fs::copy_file(folder + "/" + name + ".qnp", dir.file(name + ".qnp"));
      for (const char* file : {"ssdefs.txt", "qnd_run.qns"})
        fs::copy_file(std::string(QND_EXAMPLES) + "/" + file, dir.file(file));
      const std::string command = "cd '" + dir.path().string() + "' && '" + QND_EXE + "' " + name +
                                  ".qnp out.txt 0 1 run_silent > /dev/null 2>&1";
      ASSERT_EQ(std::system(command.c_str()), 0);
      const std::vector<std::string> lines = data_lines(read_file(dir.file("out.txt")));
      ASSERT_EQ(lines.size(), 2u);
      const std::vector<std::string> names = fields(lines[0]), values = fields(lines[1]);
      EXPECT_EQ(lines[0].back(), '\t');
      ASSERT_EQ(names.size(), values.size());
      // Every group column comes before the first sample column.
      for (size_t i = 1; i < names.size(); ++i)
        EXPECT_FALSE(names[i].rfind("gr_", 0) == 0 && names[i - 1].rfind("gr_", 0) != 0)
            << names[i];
      int non_zero = 0;
      for (const std::string& v : values) {
        char* end = nullptr;
        const double x = std::strtod(v.c_str(), &end);
        EXPECT_TRUE(!v.empty() && *end == '\0' && std::isfinite(x)) << "'" << v << "'";
        non_zero += x != 0.0 ? 1 : 0;
      }
      EXPECT_GT(non_zero, static_cast<int>(values.size()) / 2);
      const std::string log = read_file(dir.file(name + ".res/Quendris_log.txt"));
      EXPECT_NE(log.find("Successful run of"), std::string::npos);
      EXPECT_EQ(log.find("[ERROR"), std::string::npos);

      const std::vector<std::string> expected = data_lines(read_file(entry.path().string()));
      ASSERT_EQ(expected.size(), 2u);
      const std::vector<std::string> want_names = fields(expected[0]), want = fields(expected[1]);
      ASSERT_EQ(want_names.size(), want.size());
      for (size_t i = 0; i < want.size(); ++i) {
        size_t at = 0;
        while (at < names.size() && names[at] != want_names[i]) ++at;
        ASSERT_LT(at, names.size()) << "no column " << want_names[i];
        const double x = std::stod(want[i]);
        EXPECT_NEAR(std::stod(values[at]), x, 5e-6 * std::max(1.0, std::fabs(x))) << want_names[i];
      }
    }
  EXPECT_GE(projects, 9);
}

}  // namespace

// The cleaned copy of a project and of its external files, as the readers get
// it, against the line rules written out the long way.
#include "project/cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/temp_dir.h"
#include "project/line_input.h"

namespace fs = std::filesystem;
using qnd_test::read_file;
using qnd_test::write_file;

namespace {

// What a reader gets when it opens path: the copy that the clean-up serves, or
// the file; "<none>" when it cannot be opened.
std::string read_as_reader(const std::string& path) {
  qnd_input::InputFile file;
  if (!file.open(path)) return "<none>";
  std::stringstream content;
  content << file.stream().rdbuf();
  return content.str();
}

// Cut the comment, turn tabs, carriage returns and the separator into blanks,
// squeeze runs of blanks, trim the end.
std::string naive_clean(const std::string& line, char separator) {
  std::string out;
  for (char c : line.substr(0, line.find('#'))) {
    if (c == '\t' || c == '\r' || (separator != '\0' && c == separator)) c = ' ';
    if (c != ' ' || out.empty() || out.back() != ' ') out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Random lines over alphabet, the lengths given in turn; returns the content
// and sets expected to its cleaned form (empty lines dropped).
std::string random_lines(const std::string& alphabet, const std::vector<size_t>& lengths,
                         char separator, std::string& expected) {
  unsigned state = 99u;
  std::string content;
  for (const size_t length : lengths) {
    std::string line;
    while (line.size() < length) {
      state = state * 1103515245u + 12345u;
      line += alphabet[(state >> 16) % alphabet.size()];
    }
    content += line + "\n";
    const std::string cleaned = naive_clean(line, separator);
    if (!cleaned.empty()) expected += cleaned + "\n";
  }
  return content;
}

class Cleaner : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  // Cleans content as proj.qnp and returns the copy as the readers get it.
  std::string clean(const std::string& content, char separator = '\0') {
    write_file(path("proj.qnp"), content);
    EXPECT_EQ(cleaner_.execute(separator, path("proj.qnp").c_str()), 1);
    EXPECT_FALSE(fs::exists(cleaner_.get_clean_proj().str()));  // served, never written
    return read_as_reader(cleaner_.get_clean_proj().str());
  }
  qnd_test::TempDir dir_;
  cleaner cleaner_;
};

TEST_F(Cleaner, LinesFollowTheRulesForEverySeparatorAndLength) {
  // Blanks, tabs, carriage returns, comment marks, quotes and separator
  // candidates at every position of short lines and of lines far beyond ten
  // thousand characters.
  const std::string alphabet = std::string("ab \t\r#:\xE9\"", 9);
  for (char separator : {'\0', ':', ' ', 'a', '\xE9'}) {
    std::vector<size_t> lengths;
    for (size_t n = 0; n < 400; ++n) lengths.push_back(n % 30);
    std::string expected;
    const std::string content = random_lines(alphabet, lengths, separator, expected);
    EXPECT_EQ(clean(content, separator), expected) << int(separator);
  }
  std::string expected;
  const std::string content =
      random_lines("ACGT  \t\r:12", {10001, 10050, 3000000}, ':', expected) + "last  line";
  EXPECT_EQ(clean(content, ':'), expected + "last line\n");  // no line feed at the end
  std::string many;
  for (int i = 0; i < 6000000; ++i) many += "a\n";
  const std::string cleaned = clean(many);
  EXPECT_EQ(std::count(cleaned.begin(), cleaned.end(), '\n'), 6000000);
}

TEST_F(Cleaner, SeparatorKeyIsRewrittenOnlyWhenItIsTheSeparator) {
  EXPECT_EQ(clean("LocusSeparator=:\n1_1 1 12:14:16\n", ':'),
            "LocusSeparator=WHITESPACE\n1_1 1 12 14 16\n");
  EXPECT_EQ(clean("  locusseparator = :  # loci\n", ':'), "LocusSeparator=WHITESPACE\n");
  EXPECT_EQ(clean("LocusSeparator=NONE\n", ':'), "LocusSeparator=NONE\n");
  EXPECT_EQ(clean("LocusSeparator=:\n1_1 1 12:14:16\n", '\0'),
            "LocusSeparator=:\n1_1 1 12:14:16\n");
}

TEST_F(Cleaner, CopyLivesInTheResultDirectoryWhichStaysEmpty) {
  fs::create_directories(path("my.data/proj.v2.res"));
  write_file(path("my.data/proj.v2.res/proj.v2.qnp"), "stale content\n");
  write_file(path("my.data/proj.v2.qnp"), "[Profile]\n");
  cleaner c;
  EXPECT_EQ(c.execute('\0', path("my.data/proj.v2.qnp").c_str()), 1);
  EXPECT_EQ(c.get_orig_proj(), path("my.data/proj.v2.qnp").c_str());
  EXPECT_EQ(c.get_proj_dir(), path("my.data/proj.v2.res/").c_str());
  EXPECT_EQ(c.get_clean_proj(), path("my.data/proj.v2.res/proj.v2.qnp").c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()), "[Profile]\n");
  c.rm_clean_files();
  EXPECT_EQ(cleaner::serving(), nullptr);
  EXPECT_EQ(read_file(path("my.data/proj.v2.res/proj.v2.qnp")), "stale content\n");
  // A missing project gives no copy and no directory; a file in the way of the
  // directory gives a copy that cannot be read.
  cleaner missing;
  EXPECT_EQ(missing.execute('\0', path("absent.qnp").c_str()), 1);
  EXPECT_TRUE(missing.get_clean_proj().is_null());
  EXPECT_FALSE(fs::exists(path("absent.res")));
  write_file(path("p.res"), "in the way\n");
  write_file(path("p.qnp"), "[Data]\n");
  cleaner blocked;
  blocked.execute('\0', path("p.qnp").c_str());
  EXPECT_EQ(read_as_reader(blocked.get_clean_proj().str()), "<none>");
  EXPECT_EQ(read_file(path("p.res")), "in the way\n");
}

TEST_F(Cleaner, ExternalFilesAreCleanedBesideTheCopyAndNeverTouched) {
  fs::create_directories(path("proj.res"));
  write_file(path("proj.res/old.txt"), "left by an earlier run\n");
  write_file(path("dist.txt"), "# header comment\n\n1\t\t2   3\r\n   \nLocusSeparator=:\n");
  write_file(path("far.txt"), "x\ty\n");
  const std::string far = std::string(1500, 'A') + " EXTERN \"far.txt\"";
  EXPECT_EQ(
      clean("\tMatrixData =  EXTERN  \"dist.txt\"  # matrix\n" + far +
                "\nA= EXTERN \"nowhere.txt\"\nB= EXTERN \"\"\nC= EXTERN \"open\nD= EXTERN "
                "\"old.txt\"\n",
            ':'),
      " MatrixData = EXTERN \"dist.txt\"\n" + far +
          "\nA= EXTERN \"nowhere.txt\"\nB= EXTERN \"\"\nC= EXTERN \"open\nD= EXTERN \"old.txt\"\n");
  // Empty lines stay in an external file, whose separator key is not rewritten.
  EXPECT_EQ(read_as_reader(path("proj.res/dist.txt")), "\n\n1 2 3\n\nLocusSeparator=\n");
  EXPECT_EQ(read_as_reader(path("proj.res/far.txt")), "x y\n");
  EXPECT_EQ(read_as_reader(path("proj.res/nowhere.txt")), "<none>");
  // old.txt is not beside the project: the file of that name in the result
  // directory is not read in its place.
  EXPECT_EQ(read_as_reader(path("proj.res/old.txt")), "<none>");
  cleaner_.rm_clean_files();
  EXPECT_EQ(read_as_reader(path("proj.res/dist.txt")), "<none>");
  EXPECT_EQ(read_file(path("proj.res/old.txt")), "left by an earlier run\n");
  EXPECT_EQ(read_file(path("far.txt")), "x\ty\n");
}

TEST_F(Cleaner, ExternalCopiesStayInTheResultDirectoryAndDevicesAreNotRead) {
  // "../data.txt" next to a project in sub/ names data.txt here; a copy at
  // result directory + name would stand for sub/data.txt, a file of the user's.
  fs::create_directories(path("sub"));
  write_file(path("data.txt"), "h1\t1\n");
  write_file(path("sub/data.txt"), "the user's own file\n");
  write_file(path("sub/p.qnp"), "SampleData= EXTERN \"../data.txt\"\nX= EXTERN \"/dev/zero\"\n");
  cleaner c;
  c.execute('\0', path("sub/p.qnp").c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()),
            "SampleData= EXTERN \"extern1_.._data.txt\"\nX= EXTERN \"extern2__dev_zero\"\n");
  EXPECT_EQ(read_as_reader(path("sub/p.res/extern1_.._data.txt")), "h1 1\n");
  EXPECT_EQ(read_as_reader(path("sub/p.res/extern2__dev_zero")), "<none>");
  c.rm_clean_files();
  EXPECT_EQ(read_file(path("sub/data.txt")), "the user's own file\n");
  EXPECT_TRUE(fs::is_empty(path("sub/p.res")));
}

}  // namespace

#include "project/cleaner.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "project/line_input.h"

namespace fs = std::filesystem;

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

// The line rules written out the long way: cut the comment, turn tabs,
// carriage returns and the separator into blanks, squeeze runs of blanks,
// trim the end.
std::string naive_clean(const std::string& line, char separator) {
  const std::string before_comment = line.substr(0, line.find('#'));
  std::string blanked;
  for (char c : before_comment) {
    const bool blank = c == '\t' || c == '\r' || (separator != '\0' && c == separator);
    blanked += blank ? ' ' : c;
  }
  std::string squeezed;
  for (char c : blanked) {
    if (c == ' ' && !squeezed.empty() && squeezed.back() == ' ') continue;
    squeezed += c;
  }
  while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
  return squeezed;
}

// A long line of data with tabs, carriage returns, colons and blank runs,
// ending with a comment.
std::string messy_line(size_t length) {
  const std::string alphabet = "ACGT  \t\r:12";
  std::string line;
  line.reserve(length + 32);
  unsigned state = 12345u;
  while (line.size() < length) {
    state = state * 1103515245u + 12345u;
    line += alphabet[(state >> 16) % alphabet.size()];
  }
  line += " \t # tail comment\t with \"quotes\"";
  return line;
}

class CleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qnd_cleaner_XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static void write_file(const std::string& file, const std::string& content) {
    std::ofstream out(file, std::ios::binary);
    out << content;
  }
  static std::string read_file(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  // Writes the project, cleans it and returns the cleaned text as the readers
  // get it; nothing is written to disk for it.
  std::string clean_project(const std::string& content, char separator = '\0') {
    const std::string project = path("proj.qnp");
    write_file(project, content);
    cleaner c;
    EXPECT_EQ(c.execute(separator, project.c_str()), 1);
    EXPECT_FALSE(fs::exists(c.get_clean_proj().str()));
    return read_as_reader(c.get_clean_proj().str());
  }

  fs::path dir_;
};

}  // namespace

using CleanerLineRules = CleanerTest;

TEST_F(CleanerLineRules, SampleNameLineKeepsOneBlankEverywhere) {
  EXPECT_EQ(clean_project("\tSampleName=  \"pop  one\"  # first sample\n"),
            " SampleName= \"pop one\"\n");
}

TEST_F(CleanerLineRules, CommentAndBlankLinesAreDroppedFromProject) {
  EXPECT_EQ(clean_project("# a comment only\n   \t  \n\n[Profile]\n\t#indented comment\n"
                          "  Title=\"x\"\n"),
            "[Profile]\n Title=\"x\"\n");
}

TEST_F(CleanerLineRules, CarriageReturnsAndTabsBecomeBlanks) {
  EXPECT_EQ(clean_project("Title=\"x\"\r\nA\t\tB \t C\r\n"), "Title=\"x\"\nA B C\n");
}

TEST_F(CleanerLineRules, CommentInsideQuotesStillEndsTheLine) {
  EXPECT_EQ(clean_project("Title=\"a # b\"\n"), "Title=\"a\n");
}

TEST_F(CleanerLineRules, LastLineWithoutLineFeedIsKept) {
  EXPECT_EQ(clean_project("[Data]\n  last  line"), "[Data]\n last line\n");
}

TEST_F(CleanerLineRules, LinesBeyondTenThousandCharactersAreCleaned) {
  for (size_t length : {10001u, 10050u}) {
    const std::string line = messy_line(length);
    ASSERT_GT(line.size(), 10000u);
    const std::string expected = naive_clean(line, '\0');
    ASSERT_NE(expected, line);
    EXPECT_EQ(clean_project(line + "\n"), expected + "\n") << length;
  }
}

TEST_F(CleanerLineRules, ThreeMillionCharacterLineIsCleanedWhole) {
  const std::string line = messy_line(3000000);
  const std::string expected = naive_clean(line, ':');
  const std::string cleaned = clean_project("[Data]\n" + line + "\nEND\n", ':');
  EXPECT_EQ(cleaned, "[Data]\n" + expected + "\nEND\n");
  EXPECT_GT(expected.size(), 2000000u);
}

TEST_F(CleanerLineRules, SixMillionLinesAreAllKept) {
  std::string content;
  content.reserve(12000000);
  for (int i = 0; i < 6000000; ++i) content += "a\n";
  const std::string cleaned = clean_project(content);
  EXPECT_EQ(std::count(cleaned.begin(), cleaned.end(), '\n'), 6000000);
  EXPECT_EQ(cleaned, content);
}

TEST_F(CleanerLineRules, ShortRandomLinesMatchTheRulesForEverySeparator) {
  // Blanks, tabs, carriage returns, comment marks and separator candidates at
  // every position of lines up to a few blocks of eight bytes long.
  const std::string alphabet = std::string("ab \t\r#:\xE9\"", 9);
  for (char separator : {'\0', ':', ' ', 'a', '\xE9'}) {
    unsigned state = 99u;
    std::string content;
    std::string expected;
    for (int line_no = 0; line_no < 400; ++line_no) {
      std::string line;
      const size_t length = static_cast<size_t>(line_no % 30);
      while (line.size() < length) {
        state = state * 1103515245u + 12345u;
        line += alphabet[(state >> 16) % alphabet.size()];
      }
      content += line + "\n";
      const std::string cleaned = naive_clean(line, separator);
      if (!cleaned.empty()) expected += cleaned + "\n";
    }
    EXPECT_EQ(clean_project(content, separator), expected) << int(separator);
  }
}

using CleanerSeparator = CleanerTest;

TEST_F(CleanerSeparator, ColonBecomesBlankAndKeyIsRewritten) {
  EXPECT_EQ(clean_project("LocusSeparator=:\n1_1 1 12:14:16\n", ':'),
            "LocusSeparator=WHITESPACE\n1_1 1 12 14 16\n");
}

TEST_F(CleanerSeparator, KeyIsFoundWhateverItsCase) {
  EXPECT_EQ(clean_project("  locusseparator = :  # loci\n", ':'), "LocusSeparator=WHITESPACE\n");
}

TEST_F(CleanerSeparator, NoneKeyIsLeftAlone) {
  EXPECT_EQ(clean_project("LocusSeparator=NONE\n", ':'), "LocusSeparator=NONE\n");
}

TEST_F(CleanerSeparator, WithoutSeparatorDataAndKeyAreUntouched) {
  EXPECT_EQ(clean_project("LocusSeparator=:\n1_1 1 12:14:16\n", '\0'),
            "LocusSeparator=:\n1_1 1 12:14:16\n");
}

using CleanerPaths = CleanerTest;

TEST_F(CleanerPaths, CopyGoesIntoResultDirectoryNamedAfterProject) {
  fs::create_directory(dir_ / "my.data");
  const std::string project = path("my.data/proj.v2.qnp");
  write_file(project, "[Profile]\n");
  cleaner c;
  EXPECT_EQ(c.execute('\0', project.c_str()), 1);
  EXPECT_EQ(c.get_orig_proj(), project.c_str());
  EXPECT_EQ(c.get_proj_dir(), path("my.data/proj.v2.res/").c_str());
  EXPECT_EQ(c.get_clean_proj(), path("my.data/proj.v2.res/proj.v2.qnp").c_str());
  EXPECT_TRUE(fs::is_directory(dir_ / "my.data" / "proj.v2.res"));
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()), "[Profile]\n");
  // The copy is served from memory: the result directory stays empty.
  EXPECT_TRUE(fs::is_empty(dir_ / "my.data" / "proj.v2.res"));
}

TEST_F(CleanerPaths, FilesLyingInTheResultDirectoryAreNeitherReadNorTouched) {
  fs::create_directory(dir_ / "proj.res");
  write_file(path("proj.res/proj.qnp"), "stale content\n");
  write_file(path("proj.res/old.txt"), "left by an earlier run\n");
  cleaner c;
  write_file(path("proj.qnp"), "[Data]\nX= EXTERN \"old.txt\"\n");
  c.execute('\0', path("proj.qnp").c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()), "[Data]\nX= EXTERN \"old.txt\"\n");
  // old.txt is not next to the project: there is no copy, and the file of the
  // same name in the result directory is not read in its place.
  EXPECT_EQ(read_as_reader(path("proj.res/old.txt")), "<none>");
  c.rm_clean_files();
  EXPECT_EQ(read_file(path("proj.res/proj.qnp")), "stale content\n");
  EXPECT_EQ(read_file(path("proj.res/old.txt")), "left by an earlier run\n");
}

TEST_F(CleanerPaths, UnreadableProjectGivesNoCleanedFile) {
  cleaner c;
  const std::string missing = path("absent.qnp");
  EXPECT_EQ(c.execute('\0', missing.c_str()), 1);
  EXPECT_TRUE(c.get_clean_proj().is_null());
  EXPECT_EQ(c.get_orig_proj(), missing.c_str());
  EXPECT_FALSE(fs::exists(dir_ / "absent.res"));
  c.rm_clean_files();  // nothing to stop, must not fail
}

TEST_F(CleanerPaths, ResultDirectoryBlockedByAFileLeavesNoCopyToRead) {
  write_file(path("proj.res"), "in the way\n");
  write_file(path("proj.qnp"), "[Data]\n");
  cleaner c;
  c.execute('\0', path("proj.qnp").c_str());
  EXPECT_EQ(c.get_clean_proj(), path("proj.res/proj.qnp").c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()), "<none>");
  EXPECT_EQ(read_file(path("proj.res")), "in the way\n");
}

using CleanerExternalFiles = CleanerTest;

TEST_F(CleanerExternalFiles, ExternFileIsCleanedIntoResultDirectory) {
  write_file(path("dist.txt"), "# header comment\n\n1\t\t2   3\r\n   \nlast\n");
  const std::string project = path("proj.qnp");
  write_file(project, "[[DistanceMatrix]]\n\tMatrixData =  EXTERN  \"dist.txt\"  # matrix\n");
  cleaner c;
  c.execute('\0', project.c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()),
            "[[DistanceMatrix]]\n MatrixData = EXTERN \"dist.txt\"\n");
  // Empty lines are kept in an external file.
  EXPECT_EQ(read_as_reader(path("proj.res/dist.txt")), "\n\n1 2 3\n\nlast\n");
  EXPECT_FALSE(fs::exists(path("proj.res/dist.txt")));
}

TEST_F(CleanerExternalFiles, ExternFoundFarIntoALongLine) {
  write_file(path("far.txt"), "x\ty\n");
  const std::string line = std::string(1500, 'A') + " EXTERN \"far.txt\"";
  cleaner c;
  write_file(path("proj.qnp"), line + "\n");
  c.execute('\0', path("proj.qnp").c_str());
  EXPECT_EQ(read_as_reader(c.get_clean_proj().str()), line + "\n");
  EXPECT_EQ(read_as_reader(path("proj.res/far.txt")), "x y\n");
}

TEST_F(CleanerExternalFiles, ExternNamedRelativeToProjectNotWorkingDirectory) {
  fs::create_directory(dir_ / "sub");
  write_file(path("sub/hap.txt"), "h1\t1\n");
  const std::string project = path("sub/proj.qnp");
  write_file(project, "SampleData= EXTERN \"hap.txt\"\n");
  cleaner c;
  c.execute('\0', project.c_str());
  read_as_reader(c.get_clean_proj().str());
  EXPECT_EQ(read_as_reader(path("sub/proj.res/hap.txt")), "h1 1\n");
}

TEST_F(CleanerExternalFiles, MissingOrUnnamedExternIsSkipped) {
  EXPECT_EQ(clean_project("A= EXTERN \"nowhere.txt\"\nB= EXTERN \"\"\nC= EXTERN \"open\n"),
            "A= EXTERN \"nowhere.txt\"\nB= EXTERN \"\"\nC= EXTERN \"open\n");
  EXPECT_FALSE(fs::exists(dir_ / "proj.res" / "nowhere.txt"));
}

TEST_F(CleanerExternalFiles, StoppedCleanUpServesNoCopyAndLeavesSourcesAlone) {
  write_file(path("a.txt"), "1\n");
  const std::string project = path("proj.qnp");
  write_file(project, "X= EXTERN \"a.txt\"\n");
  cleaner c;
  c.execute('\0', project.c_str());
  read_as_reader(c.get_clean_proj().str());
  ASSERT_EQ(read_as_reader(path("proj.res/a.txt")), "1\n");
  c.rm_clean_files();
  EXPECT_EQ(cleaner::serving(), nullptr);
  EXPECT_EQ(read_as_reader(path("proj.res/a.txt")), "<none>");
  EXPECT_EQ(read_file(project), "X= EXTERN \"a.txt\"\n");
  EXPECT_EQ(read_file(path("a.txt")), "1\n");
  EXPECT_TRUE(fs::is_empty(dir_ / "proj.res"));
}

TEST_F(CleanerExternalFiles, ExternalFilesIgnoreTheSeparatorKey) {
  write_file(path("loci.txt"), "LocusSeparator=:\n1:2\n");
  cleaner c;
  write_file(path("proj.qnp"), "D= EXTERN \"loci.txt\"\n");
  c.execute(':', path("proj.qnp").c_str());
  read_as_reader(c.get_clean_proj().str());
  // The line rules apply (colon to blank) but the key is not rewritten.
  EXPECT_EQ(read_as_reader(path("proj.res/loci.txt")), "LocusSeparator=\n1 2\n");
}

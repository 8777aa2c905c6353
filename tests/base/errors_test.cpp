// Tests of the numbered diagnostics: the message table, the exact layout of a log
// line, the running counters (total and per kind, Debug sharing the error
// count), the reset by index -1, silence when no log is open, the Memory
// exception, and opening logs in append or truncate mode. Every test works on
// its own Errors object and log files in a temporary directory, and puts the
// message stream back as it found it.
#include "base/errors.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "globals.h"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::vector<std::string> read_lines(const std::string& path) {
  std::istringstream in(read_file(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

class ErrorsLog : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_stream_ = _AOS_;
    dir_ = std::filesystem::temp_directory_path() /
           ("qnd_errors_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    _AOS_ = saved_stream_;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string log_path(const std::string& name) const { return path(name); }
  void open_log() { err_.init_log_file(log_path("log.txt"), false); }
  // What the log file holds once the log has written out its text.
  std::string log_text() {
    err_.flush_log();
    return read_file(path("log.txt"));
  }
  std::vector<std::string> log_lines() {
    err_.flush_log();
    return read_lines(path("log.txt"));
  }

  Errors err_;

 private:
  std::ostream* saved_stream_ = nullptr;
  std::filesystem::path dir_;
};

using ErrorsLineFormat = ErrorsLog;
using ErrorsCounters = ErrorsLog;
using ErrorsWithoutLog = ErrorsLog;
using ErrorsLogFile = ErrorsLog;
using ErrorsMemory = ErrorsLog;

}  // namespace

// ------------------------------------------------------------- message table

TEST(ErrorsMessageTable, HoldsTwoHundredElevenTexts) {
  Errors err;
  ASSERT_EQ(err.messages.size(), 211u);
  for (int i = 0; i < 211; ++i) EXPECT_FALSE(err.messages[i].empty()) << "index " << i;
  EXPECT_EQ(E.messages.size(), 211u);
}

TEST(ErrorsMessageTable, TextsAtTheirIndices) {
  // Embedded quotes, trailing blanks, and texts that repeat at two indices (a
  // shifted table would break those pairs).
  const std::pair<int, const char*> cases[] = {
      {0, "not enough memory"},
      {1, "array out of bounds"},
      {13, "error while reading distance matrix"},
      {14, "no value assigned to \"MatrixSize\""},
      {22, "\"MatrixData\" section not found"},
      {24, "error while reading distance matrix"},
      {46, "invalid value assigned to \"StructureName\""},
      {56, "invalid value assigned to \"StructureName\""},
      {61, "section [Samples] must begin with \"SampleName\""},
      {74, "invalid value assigned to \"GenotypicData: setting to default\""},
      {105, "numerical error"},
      {126, "unable to open project file"},
      {145, "missing haplotype definition"},
      {146, "data already defined"},
      {159, "missing haplotype definition"},
      {160, "allele not found in DB"},
      {164, "a nucleotide is not found, impossible to apply Tajima-Nei correction "},
      {178, "negative S value, Fs cannot be computed "},
      {181, "given seed is too large, initializing ran3 with random seed "},
      {185, "Roundoff problem in lnsrch."},
      {187, "No molecular diversity within a sample while performing Fu's test"},
      {188, "missing '=' sign in keyword definition in project file"},
      {190, "bad value assigned to keyword in project file"},
      {195, "External definition of the \"Genetic Structure\" is not supported anymore in ver 3"},
      {207, "\"SampleName\" keyword not found"},
      {209, "Attempting to read a too long string "},
      {210, "Too many mutations during simulations"},
  };
  Errors err;
  for (const auto& [index, text] : cases) EXPECT_EQ(err.message(index), text) << "index " << index;
  EXPECT_EQ(E.message(126), "unable to open project file");
}

// --------------------------------------------------------------- line format

TEST_F(ErrorsLineFormat, EachKindHasItsTag) {
  open_log();
  err_.error(Warning, "Profile::read", 14);
  err_.error(Info, "Project::run", 17);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "   1 #[WARNING # 1] from function \"Profile::read\" : no value assigned to "
            "\"MatrixSize\"");
  EXPECT_EQ(lines[1],
            "   2 #[INFO # 1] from function \"Project::run\" : reading distance matrix in "
            "external file");
}

TEST_F(ErrorsLineFormat, TotalIsRightAlignedInFourCharacters) {
  open_log();
  for (int i = 0; i < 10000; ++i) err_.error(Info, "f", 105);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 10000u);
  EXPECT_EQ(lines[8].substr(0, 6), "   9 #");
  EXPECT_EQ(lines[9].substr(0, 6), "  10 #");
  EXPECT_EQ(lines[99].substr(0, 6), " 100 #");
  EXPECT_EQ(lines[998].substr(0, 6), " 999 #");
  EXPECT_EQ(lines[999], "1000 #[INFO # 1000] from function \"f\" : numerical error");
  EXPECT_EQ(lines[9999], "10000 #[INFO # 10000] from function \"f\" : numerical error");
}

TEST_F(ErrorsLineFormat, DebugPrintsTheFunctionNameAsTheText) {
  open_log();
  err_.error(Debug, "checkpoint reached in Project::run", 126);
  EXPECT_EQ(log_text(), "   1 #[DEBUG # 1] checkpoint reached in Project::run\n");
}

TEST_F(ErrorsLineFormat, FollowsOtherLogTextInOrder) {
  open_log();
  ASSERT_EQ(_AOS_, err_.log_stream());
  *_AOS_ << "Opening next project...\n";
  err_.error(Error, "F", 9);
  *_AOS_ << "Error during run of p.qnp\n";
  _AOS_->flush();
  EXPECT_EQ(log_text(),
            "Opening next project...\n"
            "   1 #[ERROR # 1] from function \"F\" : invalid stream\n"
            "Error during run of p.qnp\n");
}

// ------------------------------------------------------------------ counters

TEST_F(ErrorsCounters, TwoWarningsThenAnError) {
  open_log();
  err_.error(Warning, "a", 29);
  err_.error(Warning, "b", 65);
  err_.error(Error, "c", 126);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "   1 #[WARNING # 1] from function \"a\" : warning, no labels defined for distance "
            "matrix");
  EXPECT_EQ(lines[1],
            "   2 #[WARNING # 2] from function \"b\" : two samples have the same name: renaming "
            "second sample");
  EXPECT_EQ(lines[2], "   3 #[ERROR # 1] from function \"c\" : unable to open project file");
}

TEST_F(ErrorsCounters, EachKindCountsOnItsOwn) {
  open_log();
  err_.error(Info, "i", 105);
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  err_.error(Info, "i", 105);
  err_.error(Error, "e", 105);
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  err_.error(Warning, "w", 105);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 17), "   1 #[INFO # 1] ");
  EXPECT_EQ(lines[1].substr(0, 19), "   2 #[MEMORY # 1] ");
  EXPECT_EQ(lines[2].substr(0, 17), "   3 #[INFO # 2] ");
  EXPECT_EQ(lines[3].substr(0, 18), "   4 #[ERROR # 1] ");
  EXPECT_EQ(lines[4].substr(0, 19), "   5 #[MEMORY # 2] ");
  EXPECT_EQ(lines[5].substr(0, 20), "   6 #[WARNING # 1] ");
}

TEST_F(ErrorsCounters, DebugSharesTheErrorCount) {
  open_log();
  err_.error(Error, "f", 126);
  err_.error(Debug, "tracing f", 0);
  err_.error(Error, "g", 0);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "   1 #[ERROR # 1] from function \"f\" : unable to open project file");
  EXPECT_EQ(lines[1], "   2 #[DEBUG # 2] tracing f");
  EXPECT_EQ(lines[2], "   3 #[ERROR # 3] from function \"g\" : not enough memory");
}

TEST_F(ErrorsCounters, UnknownKindIsReportedAsAnError) {
  open_log();
  err_.error(Error, "f", 1);
  err_.error(static_cast<ErrorType>(7), "g", 1);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "   2 #[ERROR # 2] from function \"g\" : array out of bounds");
}

TEST_F(ErrorsCounters, IndexMinusOneResetsEveryCountAndWritesNothing) {
  open_log();
  err_.error(Warning, "w", 1);
  err_.error(Error, "e", 1);
  err_.error(Info, "i", 1);
  err_.error(Debug, "d", 1);
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  const std::string before = log_text();
  err_.error(Warning, "reset", -1);
  EXPECT_EQ(log_text(), before);
  err_.error(Info, "i", 1);
  err_.error(Warning, "w", 1);
  err_.error(Error, "e", 1);
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[5].substr(0, 17), "   1 #[INFO # 1] ");
  EXPECT_EQ(lines[6].substr(0, 20), "   2 #[WARNING # 1] ");
  EXPECT_EQ(lines[7].substr(0, 18), "   3 #[ERROR # 1] ");
  EXPECT_EQ(lines[8].substr(0, 19), "   4 #[MEMORY # 1] ");
}

TEST_F(ErrorsCounters, RunOnAcrossLogFiles) {
  err_.init_log_file(log_path("first.txt"), false);
  err_.error(Error, "f", 126);
  err_.init_log_file(log_path("second.txt"), false);
  err_.error(Error, "f", 126);
  err_.flush_log();
  EXPECT_EQ(read_file(path("first.txt")),
            "   1 #[ERROR # 1] from function \"f\" : unable to open project file\n");
  EXPECT_EQ(read_file(path("second.txt")),
            "   2 #[ERROR # 2] from function \"f\" : unable to open project file\n");
}

// --------------------------------------------------------------- no open log

TEST_F(ErrorsWithoutLog, WritesNothingAndKeepsTheCounters) {
  std::ostringstream capture;
  _AOS_ = &capture;
  EXPECT_EQ(err_.logOpen, 0);
  err_.error(Error, "f", 126);
  err_.error(Warning, "f", 126);
  EXPECT_NO_THROW(err_.error(Memory, "f", 0));
  err_.error(Debug, "f", 0);
  EXPECT_TRUE(capture.str().empty());
  err_.init_log_file(log_path("log.txt"), false);
  err_.error(Warning, "f", 126);
  err_.error(Error, "f", 126);
  const std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 20), "   1 #[WARNING # 1] ");
  EXPECT_EQ(lines[1].substr(0, 18), "   2 #[ERROR # 1] ");
}

TEST_F(ErrorsWithoutLog, LogThatCannotBeCreatedDropsEverything) {
  open_log();
  err_.error(Warning, "f", 29);
  err_.init_log_file(log_path("missing_dir/sub/log.txt"), false);
  EXPECT_EQ(err_.logOpen, 0);
  err_.error(Warning, "f", 29);
  err_.error(Warning, "f", -1);  // no log: not even the reset happens
  err_.init_log_file(log_path("again.txt"), false);
  EXPECT_EQ(err_.logOpen, 1);
  err_.error(Warning, "f", 29);
  EXPECT_FALSE(std::filesystem::exists(path("missing_dir")));
  err_.flush_log();
  EXPECT_EQ(read_file(path("again.txt")),
            "   2 #[WARNING # 2] from function \"f\" : warning, no labels defined for distance "
            "matrix\n");
}

// ------------------------------------------------------------------ log file

TEST_F(ErrorsLogFile, TruncateReplacesExistingContent) {
  write_file(path("log.txt"), "old line\n");
  open_log();
  EXPECT_EQ(err_.logOpen, 1);
  EXPECT_EQ(err_.logPath, log_path("log.txt"));
  EXPECT_EQ(_AOS_, err_.log_stream());
  err_.error(Error, "F", 126);
  EXPECT_EQ(log_text(), "   1 #[ERROR # 1] from function \"F\" : unable to open project file\n");
}

TEST_F(ErrorsLogFile, AppendKeepsExistingContent) {
  write_file(path("log.txt"), "old line\n");
  err_.init_log_file(log_path("log.txt"), true);
  EXPECT_EQ(err_.logOpen, 1);
  err_.error(Error, "F", 126);
  EXPECT_EQ(log_text(),
            "old line\n   1 #[ERROR # 1] from function \"F\" : unable to open project file\n");
}

TEST_F(ErrorsLogFile, BothModesCreateAMissingFile) {
  err_.init_log_file(log_path("a.txt"), true);
  EXPECT_EQ(err_.logOpen, 1);
  err_.init_log_file(log_path("b.txt"), false);
  EXPECT_EQ(err_.logOpen, 1);
  EXPECT_TRUE(std::filesystem::exists(path("a.txt")));
  EXPECT_TRUE(std::filesystem::exists(path("b.txt")));
}

TEST_F(ErrorsLogFile, ClosedLogReceivesNothingMore) {
  open_log();
  err_.error(Error, "F", 126);
  std::ostream* stream = _AOS_;
  err_.CloseLog_file();
  EXPECT_EQ(_AOS_, stream);  // the stream stays designated
  err_.error(Error, "F", 126);
  *_AOS_ << "lost\n";
  EXPECT_EQ(log_text(), "   1 #[ERROR # 1] from function \"F\" : unable to open project file\n");
}

// -------------------------------------------------------------------- memory

TEST_F(ErrorsMemory, ThrowsAfterWritingTheLine) {
  open_log();
  bool thrown = false;
  try {
    err_.error(Memory, "TAlleleDB::InsertAllPos", 0);
  } catch (ExceptionType e) {
    thrown = true;
    EXPECT_EQ(static_cast<int>(e), 0);
  }
  EXPECT_TRUE(thrown);
  EXPECT_EQ(log_text(),
            "   1 #[MEMORY # 1] from function \"TAlleleDB::InsertAllPos\" : not enough memory\n");
}

// ------------------------------------------------------------- the one buffer

TEST_F(ErrorsLogFile, TextAcrossAndBeyondTheBlockArrivesWholeAndInOrder) {
  open_log();
  std::string expected;
  // One byte, a block minus one, a block and a half at once, flushes between,
  // a numbered line, and many short lines each flushed.
  for (const std::string& text : {std::string("a"), std::string(LogBuffer::kCapacity - 1, 'b'),
                                  std::string(3 * LogBuffer::kCapacity / 2, 'c')}) {
    *_AOS_ << text << std::flush;
    expected += text;
  }
  err_.error(Warning, "f", 29);
  expected += "   1 #[WARNING # 1] from function \"f\" : " + err_.message(29) + "\n";
  for (int i = 0; i < 20000; ++i) {
    *_AOS_ << i << std::endl;
    expected += std::to_string(i) + "\n";
  }
  err_.CloseLog_file();
  EXPECT_EQ(log_text(), expected);
}

// The log of the program (E) is written out however the process ends: by exit
// (as when a core array cannot be had) and by an exception that nothing catches.
TEST_F(ErrorsLogFile, ExitAndUncaughtExceptionStillWriteTheLog) {
  const std::string tail = "] from function \"g\" : not enough memory\n";
  const std::string text = std::string(3 * LogBuffer::kCapacity / 2, 'x') + "last line\n";
  EXPECT_EXIT(
      {
        E.init_log_file(path("exit.txt"), false);
        *_AOS_ << text << std::flush;
        E.error(Info, "g", 0);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_DEATH(
      {
        E.init_log_file(path("abort.txt"), false);
        *_AOS_ << text;
        [] () noexcept { E.error(Memory, "g", 0); }();  // throws where nothing may catch
      },
      "");
  for (const char* name : {"exit.txt", "abort.txt"}) {
    const std::string log = read_file(path(name));
    ASSERT_GT(log.size(), text.size() + tail.size()) << name;
    EXPECT_EQ(log.substr(0, text.size()), text) << name;
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << name;
  }
}

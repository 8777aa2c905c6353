// The numbered diagnostics: the message table (messages.txt), the layout of a
// log line, the counters (total and per kind, Debug sharing the error count),
// the reset by index -1, silence without an open log, the Memory exception, the
// log's append and truncate modes, and a log written out however the process ends.
#include "base/errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/case_table.h"
#include "cli/temp_dir.h"
#include "globals.h"

using qnd_test::read_file;

namespace {

class ErrorsLog : public ::testing::Test {
 protected:
  void TearDown() override { _AOS_ = saved_stream_; }
  std::string path(const std::string& name) const { return dir_.file(name); }
  std::vector<std::string> lines(const std::string& name = "log.txt") {
    err_.flush_log();
    std::istringstream in(read_file(path(name)));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  qnd_test::TempDir dir_;
  Errors err_;
  std::ostream* saved_stream_ = _AOS_;
};

}  // namespace

TEST(ErrorsMessageTable, TwoHundredElevenTextsAtTheirIndices) {
  Errors err;
  ASSERT_EQ(err.messages.size(), 211u);
  for (int i = 0; i < 211; ++i) EXPECT_FALSE(err.messages[i].empty()) << "index " << i;
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("base/messages.txt")) {
    EXPECT_EQ(err.message(std::atoi(row[0].c_str())), row[1]) << "messages.txt line " << row.line;
    EXPECT_EQ(E.message(std::atoi(row[0].c_str())), row[1]) << "messages.txt line " << row.line;
  }
}

TEST_F(ErrorsLog, LinesCountEveryKindAndResetAtMinusOne) {
  err_.init_log_file(path("log.txt"), false);
  EXPECT_EQ(_AOS_, err_.log_stream());
  *_AOS_ << "text before\n";
  err_.error(Warning, "Profile::read", 14);
  err_.error(Info, "Project::run", 17);
  err_.error(Error, "c", 126);
  err_.error(Debug, "checkpoint in f", 126);  // the function name is the text
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  err_.error(static_cast<ErrorType>(7), "g", 1);  // unknown kind: an error
  err_.error(Warning, "reset", -1);               // writes nothing
  err_.error(Info, "i", 105);
  err_.error(Debug, "d", 1);
  EXPECT_THROW(err_.error(Memory, "m", 0), ExceptionType);
  const std::vector<std::string> expected = {
      "text before",
      "   1 #[WARNING # 1] from function \"Profile::read\" : no value assigned to \"MatrixSize\"",
      "   2 #[INFO # 1] from function \"Project::run\" : reading distance matrix in external file",
      "   3 #[ERROR # 1] from function \"c\" : unable to open project file",
      "   4 #[DEBUG # 2] checkpoint in f",
      "   5 #[MEMORY # 1] from function \"m\" : not enough memory",
      "   6 #[ERROR # 3] from function \"g\" : array out of bounds",
      "   1 #[INFO # 1] from function \"i\" : numerical error",
      "   2 #[DEBUG # 1] d",
      "   3 #[MEMORY # 1] from function \"m\" : not enough memory"};
  EXPECT_EQ(lines(), expected);
}

TEST_F(ErrorsLog, TotalIsRightAlignedInFourCharacters) {
  err_.init_log_file(path("log.txt"), false);
  for (int i = 0; i < 10000; ++i) err_.error(Info, "f", 105);
  const std::vector<std::string> all = lines();
  ASSERT_EQ(all.size(), 10000u);
  for (const int n : {9, 10, 100, 999})
    EXPECT_EQ(all[n - 1].substr(0, 6),
              std::string(4 - std::to_string(n).size(), ' ') + std::to_string(n) + " #");
  EXPECT_EQ(all[9999], "10000 #[INFO # 10000] from function \"f\" : numerical error");
}

TEST_F(ErrorsLog, WithoutAnOpenLogNothingIsWrittenOrCounted) {
  std::ostringstream capture;
  _AOS_ = &capture;
  EXPECT_EQ(err_.logOpen, 0);
  err_.error(Error, "f", 126);
  EXPECT_NO_THROW(err_.error(Memory, "f", 0));
  EXPECT_TRUE(capture.str().empty());
  err_.init_log_file(path("first.txt"), false);
  err_.error(Error, "f", 29);
  err_.init_log_file(path("missing_dir/sub/log.txt"), false);
  EXPECT_EQ(err_.logOpen, 0);
  err_.error(Warning, "f", -1);  // no log: not even the reset happens
  err_.error(Error, "f", 29);
  err_.init_log_file(path("log.txt"), false);  // the counters run on
  err_.error(Warning, "f", 126);
  err_.error(Error, "f", 126);
  EXPECT_EQ(lines("first.txt"),
            std::vector<std::string>{"   1 #[ERROR # 1] from function \"f\" : warning, no labels "
                                     "defined for distance matrix"});
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "   2 #[WARNING # 1] from function \"f\" : unable to open project file",
                         "   3 #[ERROR # 2] from function \"f\" : unable to open project file"}));
  EXPECT_FALSE(std::filesystem::exists(path("missing_dir")));
}

TEST_F(ErrorsLog, TruncateOrAppendAndNothingAfterClosing) {
  const std::string line = "   1 #[ERROR # 1] from function \"F\" : unable to open project file\n";
  for (const bool append : {false, true}) {
    qnd_test::write_file(path("log.txt"), "old line\n");
    Errors err;
    err.init_log_file(path("log.txt"), append);
    EXPECT_EQ(err.logOpen, 1);
    EXPECT_EQ(err.logPath, path("log.txt"));
    err.error(Error, "F", 126);
    err.CloseLog_file();
    err.error(Error, "F", 126);
    *_AOS_ << "lost\n";
    EXPECT_EQ(read_file(path("log.txt")), (append ? "old line\n" : "") + line) << append;
  }
  err_.init_log_file(path("new.txt"), true);  // a missing file is created
  EXPECT_EQ(err_.logOpen, 1);
}

TEST_F(ErrorsLog, TextAcrossAndBeyondTheBufferArrivesWholeAndInOrder) {
  err_.init_log_file(path("log.txt"), false);
  std::string expected;
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
  EXPECT_TRUE(read_file(path("log.txt")) == expected);  // no dump of long texts on failure
}

// The program's log (E) is written out however the process ends: by exit and by
// an exception that nothing catches.
TEST_F(ErrorsLog, ExitAndUncaughtExceptionStillWriteTheLog) {
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
        []() noexcept { E.error(Memory, "g", 0); }();  // throws where nothing may catch
      },
      "");
  for (const char* name : {"exit.txt", "abort.txt"}) {
    const std::string log = read_file(path(name));
    ASSERT_GT(log.size(), text.size() + tail.size()) << name;
    EXPECT_EQ(log.substr(0, text.size()), text) << name;
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << name;
  }
}

// The numbered diagnostics: the message table (messages.txt), the layout of a
// log line, the counters (total and per kind, Debug sharing the error count),
// the reset by index -1, silence without an open log, the Memory exception, the
// log's append and truncate modes, and a log written out however the process ends.
#include "base/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "base/case_table.h"
#include "cli/temp_dir.h"
#include "globals.h"

using qnd_test::read_file;

namespace {

class ErrorsLog : public ::testing::Test {
 protected:
  void TearDown() override { _AOS_ = saved_stream_; }
  std::string path(const std::string& name) const { return dir_.file(name); }

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

TEST_F(ErrorsLog, ScriptsOfTheCaseTable) {
  const std::map<std::string, ErrorType> kinds = {{"Warning", Warning}, {"Error", Error},
                                                  {"Info", Info},       {"Debug", Debug},
                                                  {"Memory", Memory},   {"Unknown", ErrorType(7)}};
  std::ostringstream discarded;
  std::unique_ptr<Errors> err;
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("base/errors_log.txt")) {
    SCOPED_TRACE(testing::Message() << "errors_log.txt line " << row.line);
    const std::string& command = row[0];
    if (command == "new") err = std::make_unique<Errors>(), _AOS_ = &discarded;
    if (command == "open") err->init_log_file(path(row[1]), row[2] == "1");
    if (command == "close") err->CloseLog_file();
    if (command == "write") qnd_test::write_file(path(row[1]), row[2]);
    if (command == "text") *_AOS_ << row[1] << std::flush;
    if (command == "expect") err->flush_log();
    bool threw = false;
    try {
      if (command == "error")
        err->error(kinds.at(row[1]), row[2].c_str(), std::atoi(row[3].c_str()));
    } catch (ExceptionType) {
      threw = true;
    }
    EXPECT_EQ(threw, command == "error" && row.fields.size() > 4);
    EXPECT_TRUE(command != "logopen" || err->logOpen == std::atoi(row[1].c_str()));
    EXPECT_TRUE(command != "expect" || read_file(path(row[1])) == row[2])
        << read_file(path(row[1]));
    EXPECT_TRUE(command != "absent" || !std::filesystem::exists(path(row[1])));
  }
  err->CloseLog_file();
}

TEST_F(ErrorsLog, TotalIsRightAlignedInFourCharacters) {
  err_.init_log_file(path("log.txt"), false);
  std::string expected;
  for (int i = 1; i <= 10000; ++i) {
    err_.error(Info, "f", 105);
    const std::string n = std::to_string(i);
    expected += std::string(std::max(0, 4 - static_cast<int>(n.size())), ' ') + n + " #[INFO # " +
                n + "] from function \"f\" : numerical error\n";
  }
  err_.flush_log();
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

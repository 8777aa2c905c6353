// Line-level lexical rules of the project file: comments, keyword view, equal
// sign, quoted and unquoted texts, numbers, and the exact log text and error
// number of every diagnostic.
#include "text/keyword_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/errors.h"
#include "globals.h"

namespace {

namespace fs = std::filesystem;

// Opens a fresh log in a temporary directory and reads it back.
class KeywordLog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qnd_kw_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    E.init_log_file((dir_ / "log.txt").string(), false);
    E.error(Info, "", -1);
  }
  void TearDown() override {
    E.CloseLog_file();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string log_text() const {
    E.flush_log();
    std::ifstream in(dir_ / "log.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // The numbered line that E writes for the first error of a fresh log.
  static std::string first_error(const char* context, const char* table_text) {
    return std::string("   1 #[ERROR # 1] from function \"") + context + "\" : " + table_text +
           "\n";
  }

  fs::path dir_;
};

class EqualSign : public KeywordLog {};
class UnquotedText : public KeywordLog {};
class QuotedText : public KeywordLog {};
class NumberValue : public KeywordLog {};

constexpr const char* kBadValueText = "bad value assigned to keyword in project file";

// ---------------------------------------------------------------- comments

TEST(PoundSignComment, CutsFromFirstPoundSign) {
  my_string line("NbSamples=3 # three samples # more");
  clearLineAfterPoundSign(line);
  EXPECT_EQ(line, "NbSamples=3 ");
}

TEST(PoundSignComment, LineWithoutPoundSignUnchanged) {
  my_string line("DataType=DNA");
  clearLineAfterPoundSign(line);
  EXPECT_EQ(line, "DataType=DNA");
}

TEST(PoundSignComment, CommentOnlyLinesCarryNoKeyword) {
  for (const char* text : {"# NbSamples=3", "   \t# NbSamples=3", "#"}) {
    my_string line(text);
    my_string view = keyword_view(line);
    clearLineAfterPoundSign(line);
    clearLineAfterPoundSign(view);
    EXPECT_FALSE(view.contains("NBSAMPLES")) << text;
    EXPECT_FALSE(line.contains('=')) << text;
  }
}

TEST(PoundSignComment, PoundSignAsLastByte) {
  my_string line("Title=x#");
  clearLineAfterPoundSign(line);
  EXPECT_EQ(line, "Title=x");
}

// ------------------------------------------------------------ keyword view

TEST(KeywordView, AnyCaseMixIsRecognisedAndValueKeepsCase) {
  for (const char* text : {"datatype=Dna", "DATATYPE=Dna", "DaTaTyPe=Dna"}) {
    const my_string line(text);
    const my_string view = keyword_view(line);
    EXPECT_TRUE(view.contains("DATATYPE")) << text;
    my_string value;
    EXPECT_EQ(getUnQuotedString(line, value, "DataType", 1), 1);
    EXPECT_EQ(value, "Dna");
    EXPECT_EQ(line, text);  // the line itself is not changed
  }
}

TEST(KeywordView, OnlyAsciiLettersAreUpperCased) {
  const my_string line("a1_[b]\xE9z");
  EXPECT_EQ(keyword_view(line), "A1_[B]\xE9Z");
}

TEST(KeywordView, SectionHeadersMatchWithBrackets) {
  EXPECT_TRUE(keyword_view(my_string("  [profile]")).contains("[PROFILE]"));
  EXPECT_TRUE(keyword_view(my_string("[[Samples]]")).contains("[SAMPLES]"));
  EXPECT_FALSE(keyword_view(my_string("Profile")).contains("[PROFILE]"));
}

// ------------------------------------------------------------- equal sign

TEST_F(EqualSign, EqualSignPositionIsReturned) {
  EXPECT_EQ(checkForPresenceOfEqualSign(my_string("NbSamples = 3"), "NbSamples", 4), 10);
  EXPECT_EQ(checkForPresenceOfEqualSign(my_string("a=b=c"), "a", 4), 1);
  EXPECT_EQ(log_text(), "");
}

TEST_F(EqualSign, MissingEqualSignReports188WithKeyAsWritten) {
  EXPECT_EQ(checkForPresenceOfEqualSign(my_string("NbSamples 3"), "NbSamples", 17), 0);
  EXPECT_EQ(log_text(),
            first_error("checkForPresenceOfEqualSign(...)",
                        "missing '=' sign in keyword definition in project file") +
                "\tProject file, Line #17 : Missing equal sign after keyword 'NbSamples'\n");
}

// --------------------------------------------------------- unquoted texts

TEST_F(UnquotedText, IsEverythingAfterFirstEqualSign) {
  my_string value("old");
  EXPECT_EQ(getUnQuotedString(my_string("Title = my = title "), value, "Title", 1), 1);
  EXPECT_EQ(value, " my = title ");
  EXPECT_EQ(getUnQuotedString(my_string("Title="), value, "Title", 2), 1);
  EXPECT_EQ(value, "");
  EXPECT_EQ(getUnQuotedString(my_string("no sign here"), value, "Title", 3), 1);
  EXPECT_EQ(value, "no sign here");
  EXPECT_EQ(log_text(), "");
}

TEST_F(UnquotedText, OfAnyLengthIsKeptWhole) {
  const std::string long_value(my_string::MAX + 10, 'A');
  my_string line;
  line.assign_unbounded("Data=" + long_value);
  my_string value;
  EXPECT_EQ(getUnQuotedString(line, value, "Data", 1), 1);
  EXPECT_EQ(value.str(), long_value);
}

// ----------------------------------------------------------- quoted texts

TEST_F(QuotedText, DoubleQuotedTextIsTakenBetweenQuotes) {
  my_string value;
  EXPECT_EQ(getQuotedString(my_string("Title = \"My Title\" trailing"), value, "Title", 1), 1);
  EXPECT_EQ(value, "My Title");
  EXPECT_EQ(getQuotedString(my_string("Title=\"\""), value, "Title", 2), 1);
  EXPECT_EQ(value, "");
  EXPECT_EQ(log_text(), "");
}

TEST_F(QuotedText, SingleQuotesAcceptedWhenNoDoubleQuoteFollows) {
  my_string value;
  EXPECT_EQ(getQuotedString(my_string("Title='it is'"), value, "Title", 1), 1);
  EXPECT_EQ(value, "it is");
  EXPECT_EQ(log_text(), "");
}

TEST_F(QuotedText, DoubleQuoteWinsOverEarlierSingleQuote) {
  my_string value;
  EXPECT_EQ(getQuotedString(my_string("Title= x'y \"a'b\""), value, "Title", 1), 1);
  EXPECT_EQ(value, "a'b");
}

TEST_F(QuotedText, QuoteInKeyPartIsNotTheOpeningQuote) {
  my_string value;
  EXPECT_EQ(getQuotedString(my_string("Ti\"tle=\"abc\""), value, "Title", 1), 1);
  EXPECT_EQ(value, "abc");
}

TEST_F(QuotedText, NoOpenQuoteReports190) {
  my_string value;
  EXPECT_EQ(getQuotedString(my_string("Title=abc"), value, "Title", 9), 0);
  EXPECT_EQ(log_text(), first_error("readStringContent(...)", kBadValueText) +
                            "\tProject file, Line #9 : No open quote after keyword 'Title'\n");
}

TEST_F(QuotedText, PoundSignInsideQuotesLeavesQuoteUnclosed) {
  my_string line("Title=\"A#1\"");
  clearLineAfterPoundSign(line);
  my_string value;
  EXPECT_EQ(getQuotedString(line, value, "Title", 12), 0);
  EXPECT_EQ(value, "A");
  EXPECT_EQ(log_text(), first_error("readStringContent(...)", kBadValueText) +
                            "\tProject file, Line #12 : Opened quote not closed after keyword "
                            "'Title'. Unable to assign value to key...\n");
}

// ---------------------------------------------------------------- numbers

TEST_F(NumberValue, NumbersInDecimalAndExponentForms) {
  struct Case {
    const char* line;
    double expected;
  };
  const Case cases[] = {{"NbSamples=3", 3.0}, {"X=  -2.5", -2.5},
                        {"X=1e-3", 0.001},    {"X=\t.5", 0.5},
                        {"X=+7", 7.0},        {"X=1.25E2", 125.0},
                        {"X=0", 0.0},         {"X=1.7976931348623157e308", 1.7976931348623157e308}};
  for (const Case& c : cases) {
    double value = -99;
    EXPECT_EQ(getValue(my_string(c.line), value, "X", 1), 1) << c.line;
    EXPECT_EQ(value, c.expected) << c.line;
  }
  EXPECT_EQ(log_text(), "");
}

TEST_F(NumberValue, TrailingBlankFailsAndStillStoresNumber) {
  double value = 0;
  EXPECT_EQ(getValue(my_string("NbSamples=3 "), value, "NbSamples", 5), 0);
  EXPECT_EQ(value, 3.0);
  EXPECT_EQ(log_text(), first_error("readStringContent(...)", kBadValueText) +
                            "\tProject file, Line #5 : Bad value after keyword 'NbSamples'\n");
}

TEST_F(NumberValue, BlankBeforeCommentFails) {
  my_string line("NbSamples=3 # three");
  clearLineAfterPoundSign(line);
  double value = 0;
  EXPECT_EQ(getValue(line, value, "NbSamples", 6), 0);
  EXPECT_EQ(value, 3.0);
}

TEST_F(NumberValue, BadNumbersFail) {
  // Trailing text of any kind, no number at all, and values that are not finite.
  for (const char* text : {"X=3x", "X=3,5", "X=abc", "X=", "X=  ", "X=1e999", "X=-1e999", "X=inf",
                           "X=nan", "X=-INFINITY"}) {
    double value = 0;
    EXPECT_EQ(getValue(my_string(text), value, "X", 1), 0) << text;
  }
  // Each failure writes one numbered line and one diagnostic.
  const std::string log = log_text();
  size_t count = 0;
  for (size_t p = log.find("Bad value after keyword 'X'"); p != std::string::npos;
       p = log.find("Bad value after keyword 'X'", p + 1))
    ++count;
  EXPECT_EQ(count, 10u);
  EXPECT_NE(log.find("  10 #[ERROR # 10] from function \"readStringContent(...)\""),
            std::string::npos);
}

TEST_F(NumberValue, TooLargeNumberStoresInfinityAndFails) {
  double value = 0;
  EXPECT_EQ(getValue(my_string("X=2e308"), value, "X", 3), 0);
  EXPECT_TRUE(std::isinf(value));
}

}  // namespace

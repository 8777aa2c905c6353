// The line rules of the project file on the cases of keyword_cases.txt: each
// call's result, the value it gives and the log text it writes.
#include "text/keyword_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/case_table.h"
#include "base/errors.h"
#include "cli/temp_dir.h"
#include "globals.h"

TEST(KeywordReader, EveryRuleOnTheCaseTable) {
  const qnd_test::TempDir dir;
  const std::string log = dir.file("log.txt");
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("text/keyword_cases.txt")) {
    SCOPED_TRACE(testing::Message() << "keyword_cases.txt line " << row.line);
    E.init_log_file(log, false);
    E.error(Info, "", -1);  // counters from zero
    std::string fn = row[0];
    my_string line;
    line.assign_unbounded(std::string(row[1]));  // lines of any length
    if (fn.back() == '#') {
      clearLineAfterPoundSign(line);
      fn.pop_back();
    }
    const my_string given = line;
    const char* key = row[2].c_str();
    const int line_no = std::atoi(row[3].c_str());
    my_string text("old");
    double number = -99;
    int result = 0;
    if (fn == "comment") clearLineAfterPoundSign(text = line);
    if (fn == "view") text = keyword_view(line);
    if (fn == "equal") result = checkForPresenceOfEqualSign(line, key, line_no);
    if (fn == "unquoted") result = getUnQuotedString(line, text, key, line_no);
    if (fn == "quoted") result = getQuotedString(line, text, key, line_no);
    if (fn == "value") result = getValue(line, number, key, line_no);
    EXPECT_EQ(line, given) << "the line itself is not changed";
    EXPECT_EQ(row[4] == "-" ? "-" : std::to_string(result), row[4]);
    const bool check = row[5] != "*" && row[5] != "-";
    EXPECT_TRUE(!check || fn != "value" || number == std::strtod(row[5].c_str(), nullptr))
        << number;
    EXPECT_TRUE(!check || fn == "value" || text.str() == row[5]) << text.str();
    E.flush_log();
    EXPECT_EQ(qnd_test::read_file(log), row[6]);
  }
  E.CloseLog_file();
}

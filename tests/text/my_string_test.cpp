// my_string: every operation on the cases of my_string_cases.txt, and the
// length limit of construction, assignment, appending and concatenation.
#include "text/my_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/case_table.h"

namespace {

using Edit = void (*)(my_string&);
#define QND_EDIT(f) {#f, [](my_string& s) { s.f(); }},
// clang-format off
const std::map<std::string, Edit> kEdits = {
    QND_EDIT(Upper) QND_EDIT(to_upper) QND_EDIT(Lower) QND_EDIT(to_lower) QND_EDIT(remove_blanks)
    QND_EDIT(remove_eol_and_lf) QND_EDIT(rm_path) QND_EDIT(extract_path) QND_EDIT(remove_extension)
    QND_EDIT(reverse_string) QND_EDIT(convert_to_slash) QND_EDIT(convert_to_html_slash)
    QND_EDIT(convert_to_underline) QND_EDIT(convert_blank_to_html_blank)};
// clang-format on
#undef QND_EDIT

// One read of a stream operation into s; its result as the case table writes it.
std::string read_once(const std::string& op, std::istream& in, my_string& s) {
  if (op == "read_line") s.read_line(in);
  if (op == "read_to_delim") s.read_to_delim(in);
  if (op.size() == 14) s.read_to_delim(in, op.back());  // read_to_delim; or read_to_delim,
  if (op == "read_token") s.read_token(in);
  if (op == ">>") in >> s;
  if (op.rfind("GetNextQuota", 0) != 0) return s.str();
  const int found = s.GetNextQuota(in);  // "GetNextQuota?": the result alone
  const std::string text = std::to_string(found) + (op.back() == '?' ? "" : " " + s.str());
  s.clear();
  return text;
}

// The results of one operation, as many as the case expects.
std::vector<std::string> run(const std::string& op, const std::string& in, const std::string& arg,
                             size_t results) {
  my_string s{std::string_view(in)};
  const my_string a{std::string_view(arg)};
  const char c = arg.empty() ? '\0' : arg[0];
  if (kEdits.count(op)) return {(kEdits.at(op)(s), s.str())};
  if (op == "convert_blank_to_underline") return {s.convert_blank_to_underline().str(), s.str()};
  if (op == "remove") {
    char* end = nullptr;
    const long pos = std::strtol(arg.c_str(), &end, 10);
    s.remove(static_cast<int>(pos), static_cast<int>(std::strtol(end, nullptr, 10)));
    return {s.str()};
  }
  if (op == "removes") return {std::to_string(s.removes(a)), s.str()};
  if (op == "contains") return {std::to_string(s.contains(a) && s.contains(arg.c_str()))};
  if (op == "contains_char") return {std::to_string(s.contains(c))};
  if (op == "find") return {std::to_string(s.find_first_of(c)), std::to_string(s.find_last_of(c))};
  if (op == "rfind") return {std::to_string(s.rfind(a))};
  if (op == "extract_before") return {s.extract_before(c).str()};
  if (op == "extract_after") return {s.extract_after(c).str()};
  if (op == "int") return {(s = std::atoi(in.c_str()), s.str())};
  if (op == "double") return {(s = std::strtod(in.c_str(), nullptr), s.str())};
  if (op == "concat") return {(s + a).str(), (s + arg.c_str()).str()};
  if (op == "char") return {(s = c, s.str())};
  if (op == "construct") return {my_string(in.c_str()).str()};
  if (op == "assign") return {(s = arg.c_str(), s.str())};
  if (op == "append") {
    my_string t = s;
    t += arg.c_str();
    return {((s += a) += "", s += '\0', s.str()), t.str()};  // NUL is ignored
  }
  if (op == "append_chars") {
    for (const char ch : arg) s += ch;
    return {s.str()};
  }
  if (op == "strtok_right") {
    std::string text = in;
    my_strtok_right(text.data(), c);
    return {text.c_str()};
  }
  std::vector<std::string> out;
  if (op == "extract_sub_str") {
    while (out.size() < results) {
      out.push_back(s.extract_sub_str(c).str());
      out.push_back(s.str());
    }
    return out;
  }
  std::istringstream stream(in);
  s = a;
  while (out.size() + 1 < results) out.push_back(read_once(op, stream, s));
  std::ostringstream rest;
  rest << stream.rdbuf();
  out.push_back(rest.str());
  return out;
}

}  // namespace

TEST(MyString, EveryOperationOnTheCaseTable) {
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("text/my_string_cases.txt")) {
    SCOPED_TRACE(testing::Message() << "my_string_cases.txt line " << row.line);
    const std::vector<std::string> expected(row.fields.begin() + 3, row.fields.end());
    const std::vector<std::string> got = run(row[0], row[1], row[2], expected.size());
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(expected[i] == "*" ? "*" : got[i], expected[i]) << "result " << i;
  }
}

TEST(MyString, HugeNumbersAndFailedStreams) {
  my_string s;
  s = 1e300;  // 301 integer digits, the point and six decimals
  EXPECT_EQ(s.length(), 308);
  std::istringstream in("abc");
  in.setstate(std::ios::failbit);  // a failed stream gives an empty string
  s.read_to_delim(in, ';');
  EXPECT_TRUE(s.is_null());
  s = "old";
  s.read_to_delim(in);
  EXPECT_EQ(s.GetNextQuota(in) + s.length(), 0);
}

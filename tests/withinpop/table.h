// Test helper: the rows of a data file of cases, and the check of "name=values"
// (or "<", ">") expectations against named fields of the object under test. Values are
// comma-separated arithmetic expressions (+ - * /, parentheses, sqrt, log, exp,
// inf), held to 1e-12 of max(1, |value|) unless "~tolerance" follows them.
#ifndef QND_TESTS_WITHINPOP_TABLE_H
#define QND_TESTS_WITHINPOP_TABLE_H

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace qnd_table {

struct Row {
  int line = 0;
  std::string text;
  std::vector<std::string> tokens;  // blank-separated, up to "log=" which takes the rest
  std::string log;                  // text the log must contain, when given
};

// The rows of tests/<name>: blank lines and lines starting with '#' are skipped.
inline std::vector<Row> read_rows(const std::string& name) {
  std::ifstream in(std::string(QND_TEST_DATA) + "/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<Row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (text.empty() || text[0] == '#') continue;
    const size_t log = text.find(" log=");
    Row row{line, text, {}, log == std::string::npos ? "" : text.substr(log + 5)};
    std::istringstream fields(text.substr(0, log));
    for (std::string t; fields >> t;) row.tokens.push_back(t);
    rows.push_back(row);
  }
  return rows;
}

// Runs run_row on every row of tests/<name>, of which there must be at least
// min_rows, naming the file, line and text of a row that fails.
template <class F>
void each_row(const std::string& name, size_t min_rows, F run_row) {
  const std::vector<Row> rows = read_rows(name);
  EXPECT_GE(rows.size(), min_rows) << name;
  for (const Row& row : rows) {
    SCOPED_TRACE(name + " line " + std::to_string(row.line) + ": " + row.text);
    run_row(row);
  }
}

inline double eval_sum(const char*& p);
inline double eval_atom(const char*& p) {
  if (*p == '(') {
    const double v = eval_sum(++p);
    ++p;
    return v;
  }
  if (*p == '-') return -eval_atom(++p);
  if (std::isalpha(static_cast<unsigned char>(*p))) {
    std::string f;
    while (std::isalpha(static_cast<unsigned char>(*p))) f += *p++;
    if (f == "inf") return HUGE_VAL;
    const double v = eval_atom(p);
    return f == "sqrt" ? std::sqrt(v) : f == "log" ? std::log(v) : f == "exp" ? std::exp(v) : NAN;
  }
  char* end = nullptr;
  const double v = std::strtod(p, &end);
  p = end;
  return v;
}
inline double eval_product(const char*& p) {
  double v = eval_atom(p);
  while (*p == '*' || *p == '/') v = *p++ == '*' ? v * eval_atom(p) : v / eval_atom(p);
  return v;
}
inline double eval_sum(const char*& p) {
  double v = eval_product(p);
  while (*p == '+' || *p == '-') v = *p++ == '+' ? v + eval_product(p) : v - eval_product(p);
  return v;
}
inline double eval(const std::string& text) {
  const char* p = text.c_str();
  const double v = eval_sum(p);
  EXPECT_EQ(*p, '\0') << "bad expression " << text;
  return v;
}

// "a,b,c" as values; "-" is the empty list.
inline std::vector<double> eval_list(const std::string& text) {
  std::vector<double> v;
  std::istringstream in(text == "-" ? "" : text);
  for (std::string part; std::getline(in, part, ',');) v.push_back(eval(part));
  return v;
}

using Fields = std::map<std::string, std::function<std::vector<double>()>>;

template <class V>
std::vector<double> list(const V& v) {
  return std::vector<double>(v.begin(), v.end());
}
template <class T>
std::vector<double> values_of(const T& x) {
  if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>)
    return {static_cast<double>(x)};
  else
    return list(x);
}
// A field reading x (a number or a list) when the row is checked.
template <class T>
std::function<std::vector<double>()> field(const T& x) {
  return [&x] { return values_of(x); };
}
template <class T>
std::function<std::vector<double>()> field(const T&&) = delete;  // would outlive its value

// Adds a field per blank-separated name in names, reading the matching x.
template <class... T>
void add_fields(Fields& f, const std::string& names, const T&... x) {
  std::istringstream in(names);
  std::string name;
  ((in >> name, f[name] = field(x)), ...);
}

// Checks every token "name=values[~tolerance]" (or "name<values", "name>values")
// from index `from` on.
inline void expect_fields(const std::vector<std::string>& tokens, size_t from, const Fields& f) {
  for (size_t i = from; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const size_t op = t.find_first_of("=<>"), tilde = t.find('~');
    const auto field = f.find(t.substr(0, op));
    if (op == std::string::npos || field == f.end()) ADD_FAILURE() << "unknown field " << t;
    if (op == std::string::npos || field == f.end()) continue;
    const std::vector<double> want = eval_list(t.substr(op + 1, tilde - op - 1));
    const double tol = tilde == std::string::npos ? -1 : eval(t.substr(tilde + 1));
    const std::vector<double> got = field->second();
    ASSERT_EQ(got.size(), want.size()) << t;
    for (size_t k = 0; k < got.size(); ++k) {
      if (t[op] != '=') {
        EXPECT_TRUE(t[op] == '<' ? got[k] < want[k] : got[k] > want[k]) << t << " got " << got[k];
      } else if (got[k] != want[k]) {
        EXPECT_NEAR(got[k], want[k], tol >= 0 ? tol : 1e-12 * std::fmax(1, std::fabs(want[k])))
            << t << " [" << k << "]";
      }
    }
  }
}

}  // namespace qnd_table

#endif  // QND_TESTS_WITHINPOP_TABLE_H

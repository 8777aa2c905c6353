// Rows of a case table: a text file beside the tests, one case a line, fields
// separated by tabs. Lines that are empty or start with '#' are skipped. In a
// field, \t \n \r \\ and \xHH stand for a tab, line feed, carriage return,
// backslash and any byte, so that cases can hold every byte value; \{N} repeats
// the byte before it to N bytes in all, for long texts.
#ifndef QND_TESTS_BASE_CASE_TABLE_H
#define QND_TESTS_BASE_CASE_TABLE_H

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace qnd_test {

struct CaseRow {
  int line = 0;                     // line number in the file, for failure reports
  std::vector<std::string> fields;  // escapes decoded
  const std::string& operator[](size_t i) const { return fields.at(i); }
};

inline std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (c == '{') {  // \{N}: the byte before, N times in all
      const size_t close = text.find('}', i);
      out.append(std::stoul(text.substr(i + 1, close - i - 1)) - 1, out.back());
      i = close;
    } else {
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
  }
  return out;
}

// The rows of QND_TEST_DATA/<name>; a missing or empty file fails the test.
inline std::vector<CaseRow> read_cases(const std::string& name) {
  std::ifstream in(std::string(QND_TEST_DATA) + "/" + name, std::ios::binary);
  std::vector<CaseRow> rows;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    CaseRow row{number, {}};
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      row.fields.push_back(unescape(line.substr(start, tab - start)));
    row.fields.push_back(unescape(line.substr(start)));
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << "no cases in " << name;
  return rows;
}

}  // namespace qnd_test

#endif  // QND_TESTS_BASE_CASE_TABLE_H

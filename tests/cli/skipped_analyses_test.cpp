// Analyses whose values no keyword prints are skipped: one table-driven test
// over the cases of skipped_analyses.txt. Each case is checked against a run
// of the same project and settings with every keyword selected, in which every
// analysis runs: the same columns must hold the same values, the skipped
// analyses must say so in the log and leave no section there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"

namespace {

using qnd_test::read_file;
using qnd_test::TempDir;
using qnd_test::write_file;

struct Case {
  std::string project, keywords, settings;
  std::set<std::string> skipped;
  int line = 0;
};

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream row(line);
  for (std::string f; std::getline(row, f, '|');) out.push_back(f);
  return out;
}

// The file: column and analysis tables, then the cases, four fields separated
// by '|' ("-" for none).
struct Table {
  std::map<std::string, std::string> keyword;  // column name -> keyword; "" -> every keyword
  std::map<std::string, std::vector<std::string>> analyses;
  std::vector<Case> cases;
};

Table read_table() {
  std::ifstream in(std::string(QND_TEST_DATA) + "/cli/skipped_analyses.txt");
  Table t;
  int line_no = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_no;
    const std::vector<std::string> w = words(line);
    if (w.empty() || w[0][0] == '#') continue;
    std::vector<std::string> f = fields(line);
    if (w[0] == "column") {
      t.keyword[w[1]] = w[2];
      t.keyword[""] += w[2] + " ";
    } else if (w[0] == "analysis") {
      for (size_t i = 1; i < f.size(); ++i)
        t.analyses[w[1]].push_back(f[i].substr(1, f[i].size() - (i + 1 < f.size() ? 2 : 1)));
    } else {
      EXPECT_EQ(f.size(), 4u) << "line " << line_no;
      f.resize(4);
      const auto field = [&](int i) {
        return words(f[i]) == std::vector<std::string>{"-"} ? std::string() : f[i];
      };
      Case c{words(f[0])[0], f[1], field(2), {}, line_no};
      for (const std::string& a : words(field(3))) c.skipped.insert(a);
      t.cases.push_back(c);
    }
  }
  return t;
}

// examples/qnd_run.qns with the given keys replaced ("perms0" stands for no
// permutation and no simulation).
std::string settings_text(std::string changes) {
  const std::string perms0 = "NumPermutationsAMOVA=0 NumPermutationsFST=0 NumSimulFuTest=0";
  if (changes.find("perms0") != std::string::npos)
    changes.replace(changes.find("perms0"), 6, perms0);
  std::string text = read_file(std::string(QND_EXAMPLES) + "/qnd_run.qns");
  for (const std::string& change : words(changes)) {
    const size_t key = text.find("\n" + change.substr(0, change.find('=') + 1));
    EXPECT_NE(key, std::string::npos) << change;
    if (key != std::string::npos) text.replace(key + 1, text.find('\n', key + 1) - key - 1, change);
  }
  return text;
}

struct Output {
  std::vector<std::string> names;
  std::vector<std::string> values;
  std::string log;
};

Output run(const std::string& project, const std::string& keywords, const std::string& settings) {
  TempDir dir;
  std::filesystem::copy_file(std::string(QND_EXAMPLES) + "/" + project + ".qnp",
                             dir.file(project + ".qnp"));
  write_file(dir.file("qnd_run.qns"), settings);
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL GROUP_LEVEL\n" + keywords + "\n");
  const std::string command = "cd '" + dir.path().string() + "' && '" + QND_EXE + "' " + project +
                              ".qnp out.txt 0 1 run_silent > /dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::istringstream out(read_file(dir.file("out.txt")));
  std::string header, values;
  std::getline(out, header);
  std::getline(out, values);
  Output r;
  r.names = words(header);
  r.values = words(values);
  EXPECT_EQ(r.names.size(), r.values.size());
  r.log = read_file(dir.file(project + ".res/Quendris_log.txt"));
  return r;
}

// The keyword that prints a column.
std::string keyword_of(const Table& t, std::string name) {
  if (name.compare(0, 3, "gr_") == 0) name.erase(0, 3);
  std::smatch m;
  if (std::regex_match(name, m, std::regex(R"((FST|PI|DMUSQ)_\d+_\d+)"))) {
    name = m[1].str() + "_i_j";
  } else if (std::regex_match(name, m, std::regex(R"((.*_)\d+)"))) {
    name = m[1].str();
  }
  const auto at = t.keyword.find(name);
  return at == t.keyword.end() ? "unknown column " + name : at->second;
}

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(SkippedAnalyses, UnprintedAnalysesDoNotRunAndPrintedValuesStayTheSame) {
  const Table table = read_table();
  const std::vector<Case>& cases = table.cases;
  ASSERT_GE(cases.size(), 10u);
  ASSERT_EQ(table.analyses.size(), 7u);
  std::map<std::string, Output> references;
  for (const Case& c : cases) {
    SCOPED_TRACE("skipped_analyses.txt line " + std::to_string(c.line));
    const std::string settings = settings_text(c.settings);
    const std::string key = c.project + "|" + c.settings;
    if (references.count(key) == 0)
      references[key] = run(c.project, table.keyword.at(""), settings);
    const Output& all = references[key];
    const Output one = run(c.project, c.keywords, settings);

    ASSERT_TRUE(has(one.log, "Successful run of")) << one.log;
    // The columns of the case are those of the full run whose keyword the
    // case selects, in the same order and with the same values.
    const std::vector<std::string> selected = words(c.keywords);
    std::vector<std::string> names, values;
    for (size_t i = 0; i < all.names.size() && i < all.values.size(); ++i) {
      const std::string keyword = keyword_of(table, all.names[i]);
      ASSERT_EQ(keyword.find("unknown"), std::string::npos) << keyword;
      if (std::find(selected.begin(), selected.end(), keyword) == selected.end()) continue;
      names.push_back(all.names[i]);
      values.push_back(all.values[i]);
    }
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(one.names, names);
    EXPECT_EQ(one.values, values);
    for (const auto& [analysis, texts] : table.analyses) {
      const bool skipped = c.skipped.count(analysis) > 0;
      EXPECT_EQ(has(one.log, texts[0]), skipped) << analysis;
      // More keywords never skip more (data of some types print no value of
      // some analyses, whatever the keywords).
      if (!skipped) {
        EXPECT_FALSE(has(all.log, texts[0])) << analysis;
      }
      for (size_t t = 1; t < texts.size() && skipped; ++t)
        EXPECT_FALSE(has(one.log, texts[t])) << analysis << ": " << texts[t];
    }
  }
}

}  // namespace

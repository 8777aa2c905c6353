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

// The log line of a skipped analysis holds the first text; the log section of
// the analysis, when it runs, holds one of the others.
const std::map<std::string, std::vector<std::string>> kAnalyses = {
    {"LD", {"!!!Linkage disequilibrium (TaskNumber 16)", "Testing linkage disequilibrium"}},
    {"TAJIMA",
     {"!!!Tajima's test (TaskNumber 64)", "Tajima's test of selective neutrality",
      "Tajima's test is not possible"}},
    {"FU",
     {"!!!Fu's Fs test (TaskNumber 16384)", "Fu's FS test of selective neutrality",
      "Fu's Fs test is not possible"}},
    {"MOLECULAR", {"!!!Molecular diversity (TaskNumber 2)"}},
    {"STANDARD", {"!!!Standard diversity indices (TaskNumber 1)"}},
    {"STRUCTURE", {"!!!Genetic structure: AMOVA, pairwise comparisons", "Computing F statistics"}},
    {"DMUSQ", {"!!!(delta mu)^2 (ComputeDeltaMuSqr)", "(delta mu)^2 distances"}},
};

// Column names (without "gr_" and without their index) and the keyword that
// prints them, from the column table of the value line.
const char* const kColumnKeywords =
    "K_ ALL_K Ksd_ ALLSD_K mean_K MEAN_K sd_K SD_K tot_K TOT_K H_ ALL_H Hsd_ ALLSD_H mean_H MEAN_H "
    "sd_H SD_H tot_H TOT_H S_ ALL_S Ssd_ ALLSD_S prS_ PRIVATE_S mean_S MEAN_S sd_S SD_S tot_S TOT_S "
    "D_ ALL_TAJIMAD Dsd_ ALLSD_TAJIMAD mean_D MEAN_TAJIMAD sd_D SD_TAJIMAD FS_ ALL_FUFS "
    "FSsd_ ALLSD_FUFS mean_FS MEAN_FUFS sd_FS SD_FUFS Pi_ ALL_PI mean_Pi MEAN_PI sd_Pi SD_PI "
    "GW_ ALL_GW GWsd_ ALLSD_GW mean_GW MEAN_GW sd_GW SD_GW tot_GW TOT_GW NGW_ ALL_NGW "
    "NGWsd_ ALLSD_NGW mean_NGW MEAN_NGW sd_NGW SD_NGW R_ ALL_RANGE Rsd_ ALLSD_RANGE "
    "mean_R MEAN_RANGE sd_R SD_RANGE tot_R TOT_RANGE mean_D'_ MEAN_ALL_DPRIME "
    "mean_R2_ MEAN_ALL_R2 adj_D'_ ALL_ADJ_DPRIME adj_R2_ ALL_ADJ_R2 mean_adj_D'_ MEAN_ADJ_DPRIME "
    "mean_adj_R2_ MEAN_ADJ_R2 flank_D'_ FLANK_DPRIME flank_R2_ FLANK_R2 FIS GLOBAL_FSTAT "
    "FST GLOBAL_FSTAT FCT GLOBAL_FSTAT FSC GLOBAL_FSTAT FIT GLOBAL_FSTAT FST_i_j PAIRWISE_FST "
    "PI_i_j PAIRWISE_PI DMUSQ_i_j PAIRWISE_DMUSQR";

// The keyword that prints a column; every keyword of the table with an empty
// name.
std::string keyword_of(std::string name) {
  static const std::map<std::string, std::string> table = [] {
    std::map<std::string, std::string> t;
    std::istringstream in(kColumnKeywords);
    for (std::string column, keyword; in >> column >> keyword;) {
      t[column] = keyword;
      t[""] += keyword + " ";
    }
    return t;
  }();
  if (name.compare(0, 3, "gr_") == 0) name.erase(0, 3);
  std::smatch m;
  if (std::regex_match(name, m, std::regex(R"((FST|PI|DMUSQ)_\d+_\d+)"))) {
    name = m[1].str() + "_i_j";
  } else if (std::regex_match(name, m, std::regex(R"((.*_)\d+)"))) {
    name = m[1].str();
  }
  const auto at = table.find(name);
  return at == table.end() ? "unknown column " + name : at->second;
}

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

// The cases: four fields separated by '|'; "-" for none.
std::vector<Case> read_cases() {
  std::ifstream in(std::string(QND_TEST_DATA) + "/cli/skipped_analyses.txt");
  std::vector<Case> cases;
  int line_no = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_no;
    if (words(line).empty() || words(line)[0][0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string f; std::getline(row, f, '|');) fields.push_back(f);
    EXPECT_EQ(fields.size(), 4u) << "line " << line_no;
    fields.resize(4);
    const auto field = [&](int i) {
      return words(fields[i]) == std::vector<std::string>{"-"} ? std::string() : fields[i];
    };
    Case c{words(fields[0])[0], fields[1], field(2), {}, line_no};
    for (const std::string& a : words(field(3))) c.skipped.insert(a);
    cases.push_back(c);
  }
  return cases;
}

// examples/qnd_run.qns with the given keys replaced ("perms0" stands for no
// permutation and no simulation).
std::string settings_text(std::string changes) {
  const std::string perms0 = "NumPermutationsAMOVA=0 NumPermutationsFST=0 NumSimulFuTest=0";
  if (changes.find("perms0") != std::string::npos) changes.replace(changes.find("perms0"), 6, perms0);
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

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(SkippedAnalyses, UnprintedAnalysesDoNotRunAndPrintedValuesStayTheSame) {
  const std::vector<Case> cases = read_cases();
  ASSERT_GE(cases.size(), 10u);
  std::map<std::string, Output> references;
  for (const Case& c : cases) {
    SCOPED_TRACE("skipped_analyses.txt line " + std::to_string(c.line));
    const std::string settings = settings_text(c.settings);
    const std::string key = c.project + "|" + c.settings;
    if (references.count(key) == 0) references[key] = run(c.project, keyword_of(""), settings);
    const Output& all = references[key];
    const Output one = run(c.project, c.keywords, settings);

    ASSERT_TRUE(has(one.log, "Successful run of")) << one.log;
    // The columns of the case are those of the full run whose keyword the
    // case selects, in the same order and with the same values.
    const std::vector<std::string> selected = words(c.keywords);
    std::vector<std::string> names, values;
    for (size_t i = 0; i < all.names.size() && i < all.values.size(); ++i) {
      const std::string keyword = keyword_of(all.names[i]);
      ASSERT_EQ(keyword.find("unknown"), std::string::npos) << keyword;
      if (std::find(selected.begin(), selected.end(), keyword) == selected.end()) continue;
      names.push_back(all.names[i]);
      values.push_back(all.values[i]);
    }
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(one.names, names);
    EXPECT_EQ(one.values, values);
    for (const auto& [analysis, texts] : kAnalyses) {
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

// Reading whole project files: every case of corpus/manifest.txt opens one
// file of corpus/ and checks the result, the numbered messages, the log text
// and what the project holds afterwards. Each file is read in a child process
// whose address space is capped (not under AddressSanitizer, which reserves
// far more up front), so that a reader that allocated by a declared size
// rather than by the file's content fails its case instead of the machine.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/case_table.h"
#include "base/errors.h"
#include "cli/temp_dir.h"
#include "globals.h"
#include "model/project.h"

namespace {

const std::string kCorpus = std::string(QND_TEST_DATA) + "/project/corpus/";

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text)
    out += c == '\t' ? std::string("\\t") : c == '\0' ? "\\0" : std::string(1, c);
  return out + "\"";
}

std::string number(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", x);
  return buf;
}

// What the project holds after reading, one item a line.
std::string describe(const Project& p) {
  const char* const types[] = {"DNA", "RFLP", "MICROSAT", "STANDARD", "FREQUENCY"};
  const ProfileSettings& f = p.profile;
  std::ostringstream o;
  o << "Title=" << f.Title.str() << "\nNbSamples=" << f.NbSamples
    << "\nDataType=" << types[ProfileSettings::DataType] << "\nGenotypicData=" << f.GenotypicData
    << "\nGameticPhase=" << f.GameticPhase
    << "\nLocusSeparator=" << quoted(std::string(1, ProfileSettings::LocusSeparator))
    << "\nMissingData=" << quoted(std::string(1, f.MissingData))
    << "\nRecessiveData=" << f.RecessiveData << "\nRecessiveAllele=" << f.RecessiveAllele.str()
    << "\nFrequency=" << f.Frequency << "\nFrequencyThreshold=" << number(f.FrequencyThreshold)
    << "\nEpsilonValue=" << number(f.EpsilonValue) << "\nsamples=" << p.samples.size() << "\n";
  for (int s = 0; s < static_cast<int>(p.samples.size()); ++s) {
    const Population& pop = *p.samples.pops[s];
    o << "sample " << pop.index << " " << pop.name.str() << " size=" << number(pop.sample_size)
      << " lines=" << pop.line_count << " haps=" << pop.num_haplotypes() << "\n";
    for (int i = 0; i < pop.num_haplotypes(); ++i)
      o << "hap " << s << " " << pop.haplotypes[i]->hap->name.str() << " "
        << pop.haplotypes[i]->count << " " << quoted(pop.haplotypes[i]->hap->content) << "\n";
    for (int i = 0; i < pop.num_individuals(); ++i) {
      const TPhenotype& t = *pop.individuals[i];
      o << "ind " << s << " " << t.id.str() << " " << number(t.count) << " " << quoted(t.copy1)
        << " " << quoted(t.copy2) << "\n";
    }
  }
  for (int h = 0; h < p.haplotypes.size(); ++h)
    o << "list " << p.haplotypes[h]->name.str() << " total=" << p.haplotypes[h]->total << " "
      << quoted(p.haplotypes[h]->content) << "\n";
  const Structure& st = p.structure;
  o << "structure " << quoted(st.name.is_null() ? "" : st.name.str()) << " groups=" << st.NbGroups
    << " placed=" << st.NbSamples << "\n";
  for (size_t g = 0; g < st.groups.size(); ++g) {
    o << "group " << g << ":";
    for (const Population* pop : *st.groups[g]) o << " " << pop->name.str();
    o << "\n";
  }
  const DistMat& m = p.distmat;
  for (int i = 0; i < m.size && m.matrix.size() == static_cast<size_t>(m.size) * m.size; ++i) {
    o << "row " << m.labels[static_cast<size_t>(i)].str() << ":";
    for (int j = 0; j < m.size; ++j) {
      const double cell = m.matrix[static_cast<size_t>(i) * m.size + j];
      o << " " << number(cell) << (cell == m.tri(i, j) ? "" : "(tri differs)");
    }
    o << "\n";
  }
  return o.str();
}

struct Reading {
  int result = -1;  // -1: the child did not end normally
  std::string log, state;
};

// Reads path in a capped child; with settings, then reads them and checks the
// selected analyses against the data. The log and the description come back
// through files of dir.
Reading read_project(const std::string& path, const qnd_test::TempDir& dir,
                     const std::string& settings_text = "") {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit cap{1UL << 30, 1UL << 30};
    if (!qnd_test::kAddressSanitizer) ::setrlimit(RLIMIT_AS, &cap);
    std::ostringstream log;
    _AOS_ = &log;
    E.logOpen = 1;
    // Values no file sets by default, so that a key that is not applied shows.
    ProfileSettings::DataType = DNA;
    ProfileSettings::LocusSeparator = 'x';
    auto project = std::make_unique<Project>();
    project->project_path = path.c_str();
    const int result = project->newOpen();
    std::string checked;
    if (!settings_text.empty()) {
      qnd_test::write_file(dir.file("settings.qns"), settings_text);
      settings& s = project->s;
      s.read_settings(my_string(dir.file("settings.qns").c_str()));
      const int ok = project->make_run_possible();
      checked = "checked=" + std::to_string(ok) + "\nTaskNumber=" + std::to_string(s.TaskNumber) +
                "\nStepsLD=" + std::to_string(s.MarkovChainDememorisationStepsLD) +
                "\nStepsHW=" + std::to_string(s.MarkovChainDememorisationStepsHW) +
                "\nComputeDistanceMatrixAMOVA=" + std::to_string(s.ComputeDistanceMatrixAMOVA) +
                "\nComputeConventionalFST=" + std::to_string(s.ComputeConventionalFST) +
                "\nPrint=" + std::to_string(s.PrintHaplDistMat) +
                std::to_string(s.PrintMinSpannNetworkPop) +
                "\npseudo=" + std::to_string(project->pseudo_haplotypes_built) + "\n";
    }
    qnd_test::write_file(dir.file("log"), log.str());
    qnd_test::write_file(dir.file("state"), describe(*project) + checked);
    ::_exit(result);
  }
  int status = 0;
  Reading r;
  if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.result = WEXITSTATUS(status);
  r.log = qnd_test::read_file(dir.file("log"));
  r.state = "\n" + qnd_test::read_file(dir.file("state"));
  return r;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

struct Case {
  int line = 0;
  std::string file;
  std::vector<std::pair<std::string, std::string>> checks;  // key, value
};

std::vector<Case> read_manifest() {
  std::ifstream in(kCorpus + "manifest.txt");
  std::vector<Case> cases;
  int line_no = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_no;
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "file") {
      cases.push_back(Case{line_no, value, {}});
    } else {
      EXPECT_FALSE(cases.empty()) << "manifest line " << line_no;
      if (!cases.empty()) cases.back().checks.emplace_back(key, qnd_test::unescape(value));
    }
  }
  return cases;
}

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Runs the checks of one case on one reading of the value each.
void check(const Case& c, const Reading& r, const std::string& each = "") {
  size_t after = 0;  // where the last "log" match ended, for "next"
  for (auto [key, value] : c.checks) {
    for (size_t at; !each.empty() && (at = value.find("@@")) != std::string::npos;)
      value.replace(at, 2, each);
    SCOPED_TRACE(key + " " + value);
    if (key == "result") {
      EXPECT_EQ(r.result, std::stoi(value)) << r.log;
    } else if (key == "error") {
      // "error N": message N logged; "error N=K": exactly K times; "error !N": never.
      const bool absent = value[0] == '!';
      const size_t eq = value.find('=');
      const int n = std::stoi(value.substr(absent ? 1 : 0));
      const int times = count(r.log, "\" : " + E.message(n) + "\n");
      if (absent)
        EXPECT_EQ(times, 0);
      else if (eq != std::string::npos)
        EXPECT_EQ(times, std::stoi(value.substr(eq + 1))) << r.log;
      else
        EXPECT_GT(times, 0) << r.log;
    } else if (key == "log" || key == "next") {
      const size_t at = r.log.find(value, key == "next" ? after : 0);
      EXPECT_NE(at, std::string::npos) << r.log;
      if (at != std::string::npos) after = at + value.size();
    } else if (key == "nolog") {
      EXPECT_EQ(r.log.find(value), std::string::npos) << r.log;
    } else if (key == "state") {
      EXPECT_NE(r.state.find("\n" + value), std::string::npos) << r.state;
    } else if (key == "nostate") {
      EXPECT_EQ(r.state.find("\n" + value), std::string::npos) << r.state;
    } else if (key != "each" && key != "settings") {
      ADD_FAILURE() << "unknown key";
    }
  }
}

TEST(ProjectCorpus, EveryFileReadsAsTheManifestSays) {
  const std::vector<Case> cases = read_manifest();
  ASSERT_GT(cases.size(), 50u);
  for (const Case& c : cases) {
    SCOPED_TRACE("manifest line " + std::to_string(c.line) + ": " + c.file);
    qnd_test::TempDir dir;
    // "each A|B|...": the file is a template, read once with each value in place of "@@".
    // "settings LINE": a line of the settings file for the check of the analyses.
    std::vector<std::string> values;
    std::string settings;
    for (const auto& [key, value] : c.checks) {
      if (key == "each") values = split(value, '|');
      if (key == "settings") settings += value + "\n";
    }
    if (values.empty()) {
      check(c, read_project(kCorpus + c.file, dir, settings));
      continue;
    }
    const std::string text = qnd_test::read_file(kCorpus + c.file);
    ASSERT_NE(text.find("@@"), std::string::npos);
    for (const std::string& v : values) {
      SCOPED_TRACE("value \"" + v + "\"");
      std::string filled = text;
      for (size_t at; (at = filled.find("@@")) != std::string::npos;) filled.replace(at, 2, v);
      qnd_test::write_file(dir.file("project.qnp"), filled);
      check(c, read_project(dir.file("project.qnp"), dir), v);
    }
  }
}

}  // namespace

namespace {

// Lines far beyond any buffer: a sequence of a million bases, and 300,000
// comment lines read by the pass itself before 300,000 haplotype lines read by
// the samples reader.
TEST(ProjectCorpus, LongLinesAndManyLinesAreReadWhole) {
  qnd_test::TempDir dir;
  std::string sequence;
  for (int i = 0; i < 1000000; ++i) sequence += "ACGT"[(i * 7 + i / 3) % 4];
  qnd_test::write_file(dir.file("long.qnp"),
                       "[Profile]\nNbSamples=1\nDataType=DNA\nGenotypicData=0\n"
                       "LocusSeparator=NONE\n[Data]\n[[Samples]]\nSampleName=\"p\"\nSampleSize=2\n"
                       "SampleData={\nh1 2 " +
                           sequence + "\n}\n");
  Reading r = read_project(dir.file("long.qnp"), dir);
  EXPECT_EQ(r.result, 1);
  EXPECT_NE(r.state.find("\nhap 0 h1 2 \"" + sequence + "\"\n"), std::string::npos);
  std::string text =
      "[Profile]\nNbSamples=1\nDataType=STANDARD\nGenotypicData=0\n"
      "LocusSeparator=WHITESPACE\nMissingData='?'\n";
  for (int i = 0; i < 300000; ++i) text += "# filler\n";
  text += "[Data]\n[[Samples]]\nSampleName=\"big\"\nSampleSize=300000\nSampleData={\n";
  for (int i = 0; i < 300000; ++i)
    text += "h" + std::to_string(i) + " 1 " + std::to_string(i) + "\n";
  qnd_test::write_file(dir.file("many.qnp"), text + "}\n");
  r = read_project(dir.file("many.qnp"), dir);
  EXPECT_EQ(r.result, 1);
  EXPECT_NE(r.state.find("\nsample 0 big size=300000 lines=300000 haps=300000\n"), std::string::npos);
  EXPECT_NE(r.state.find("\nhap 0 h299999 1 \" 299999\"\n"), std::string::npos);
  EXPECT_EQ(r.log.find(E.message(141)), std::string::npos);
}

}  // namespace

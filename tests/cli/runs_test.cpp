// End-to-end runs of the program as users and scripts call it, one table-driven
// test over the cases of runs.txt (its header describes the keys): each case
// sets up a fresh temporary directory, runs commands there and checks the exit
// status, the standard streams and the files left behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using qnd_test::read_file;

std::string unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
    } else if (text[++i] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i] == 't' ? '\t' : text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
    }
  }
  return out;
}

struct Step {
  int line;
  std::string key, arg, text;  // "key arg text": arg is the first word
};

// Cases and named set-ups, each a list of steps.
void read_runs(std::vector<std::vector<Step>>& cases,
               std::map<std::string, std::vector<Step>>& setups) {
  std::ifstream in(std::string(QND_TEST_DATA) + "/cli/runs.txt");
  std::vector<Step>* current = nullptr;
  int line_no = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_no;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    Step s{line_no, "", "", ""};
    words >> s.key >> s.arg;
    std::getline(words >> std::ws, s.text);
    s.text = unescaped(s.text);
    if (s.key == "case") current = &cases.emplace_back();
    if (s.key == "setup") current = &setups[s.arg];
    if (current != nullptr) current->push_back(s);
  }
}

std::string source(const std::string& from) {
  return from.rfind("examples/", 0) == 0 ? std::string(QND_EXAMPLES) + from.substr(8)
                                         : std::string(QND_TEST_DATA) + "/" + from;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CaseRun {
 public:
  explicit CaseRun(const std::map<std::string, std::vector<Step>>& setups) : setups_(setups) {}

  void step(Step s) {
    for (size_t at; (at = s.text.find("$DIR")) != std::string::npos;)
      s.text.replace(at, 4, dir_.path().string());
    SCOPED_TRACE("runs.txt line " + std::to_string(s.line) + ": " + s.key + " " + s.arg);
    const std::string file = dir_.file(s.arg);
    const std::string both = unescaped(s.arg) + (s.text.empty() ? "" : " " + s.text);
    if (s.key == "use") {
      for (const Step& u : setups_.at(s.arg)) step(u);
    } else if (s.key == "file") {
      qnd_test::write_file(file, s.text);
    } else if (s.key == "copy") {
      fs::copy_file(source(s.arg), dir_.file(s.text), fs::copy_options::overwrite_existing);
    } else if (s.key == "mkdir") {
      fs::create_directories(file);
    } else if (s.key == "edit") {  // edit FILE FROM => TO
      std::string text = read_file(file);
      const size_t arrow = s.text.find(" => "), at = text.find(s.text.substr(0, arrow));
      ASSERT_NE(at, std::string::npos);
      qnd_test::write_file(file, text.replace(at, arrow, s.text.substr(arrow + 4)));
    } else if (s.key == "run" || s.key == "sh") {
      std::string command = s.key == "run" ? "\"$QND\" " + both : both;
      const int status = std::system(
          ("cd '" + dir_.path().string() + "' && QND='" + QND_EXE + "' MS2QNP='" + QND_MS2QNP_EXE +
           "' CONVERT='" + QND_CONVERT_EXE + "' && { " + command + " ; } > .stdout 2> .stderr")
              .c_str());
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      out_ = read_file(dir_.file(".stdout"));
      err_ = read_file(dir_.file(".stderr"));
      fs::remove(dir_.file(".stdout"));
      fs::remove(dir_.file(".stderr"));
    } else if (s.key == "status") {
      EXPECT_EQ(status_, std::stoi(s.arg));
    } else if (s.key == "stdout" || s.key == "stderr") {
      EXPECT_EQ(s.key == "stdout" ? out_ : err_, both);
    } else if (s.key == "stdout-file") {
      EXPECT_EQ(out_, s.text + read_file(source(s.arg)));
    } else if (s.key == "content") {
      EXPECT_EQ(read_file(file), s.text);
    } else if (s.key == "has" || s.key == "next") {
      if (s.key == "has") from_ = 0;
      const std::string text = read_file(file);
      const size_t at = text.find(s.text, from_);
      EXPECT_NE(at, std::string::npos) << text;
      from_ = at == std::string::npos ? text.size() : at + s.text.size();
    } else if (s.key == "hasnt") {
      EXPECT_EQ(read_file(file).find(s.text), std::string::npos) << read_file(file);
    } else if (s.key == "ends") {
      const std::string text = read_file(file);
      EXPECT_TRUE(text.size() >= s.text.size() &&
                  text.substr(text.size() - s.text.size()) == s.text)
          << text;
    } else if (s.key == "exists" || s.key == "absent") {
      EXPECT_EQ(fs::exists(file), s.key == "exists");
    } else if (s.key == "ls") {  // the sorted names in a directory ("." for the case's own)
      std::vector<std::string> names;
      for (const auto& e : fs::directory_iterator(file))
        names.push_back(e.path().filename().string());
      std::sort(names.begin(), names.end());
      std::string listed;
      for (const std::string& n : names) listed += (listed.empty() ? "" : " ") + n;
      EXPECT_EQ(listed, s.text);
    } else if (s.key == "lines") {  // lines FILE N REGEX: N whole lines, each matching
      const std::string text = read_file(file);
      EXPECT_TRUE(text.empty() || text.back() == '\n') << "partial last line";
      const std::vector<std::string> lines = lines_of(text);
      const size_t blank = s.text.find(' ');
      if (s.text.substr(0, blank) != "*") {
        EXPECT_EQ(lines.size(), std::stoul(s.text.substr(0, blank)));
      }
      const std::regex re(blank == std::string::npos ? ".*" : s.text.substr(blank + 1));
      for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, re)) << l;
    } else if (s.key == "aligned") {
      const std::vector<std::string> lines = lines_of(read_file(file));
      const size_t skip = std::stoul(s.text);
      ASSERT_LT(skip, lines.size());
      for (size_t i = skip; i < lines.size(); ++i)
        EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'),
                  std::count(lines[skip].begin(), lines[skip].end(), '\t'))
            << lines[i];
    } else if (s.key == "same") {
      EXPECT_EQ(read_file(file), read_file(dir_.file(s.text)));
    } else if (s.key == "norunlist") {
      for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_FALSE(
            std::regex_match(e.path().filename().string(), std::regex("qnd_run_[0-9]+\\.txt")));
    } else if (s.key != "case" && s.key != "setup" && s.key != "noasan") {
      ADD_FAILURE() << "unknown key";
    }
  }

 private:
  const std::map<std::string, std::vector<Step>>& setups_;
  qnd_test::TempDir dir_;
  int status_ = -1;
  std::string out_, err_;
  size_t from_ = 0;
};

TEST(Runs, EveryCaseOfTheTable) {
  std::vector<std::vector<Step>> cases;
  std::map<std::string, std::vector<Step>> setups;
  read_runs(cases, setups);
  ASSERT_GT(cases.size(), 40u);
  for (const std::vector<Step>& c : cases) {
    SCOPED_TRACE("case of line " + std::to_string(c[0].line) + ": " + c[0].arg + " " + c[0].text);
    if (qnd_test::kAddressSanitizer &&
        std::any_of(c.begin(), c.end(), [](const Step& s) { return s.key == "noasan"; }))
      continue;
    CaseRun run(setups);
    for (const Step& s : c) run.step(s);
  }
}

}  // namespace

// Temporary directories and log access for the project reader tests.
#include "project/project_test_util.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/errors.h"
#include "globals.h"

namespace qnd_reader_test {

void ProjectFileTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qnd_reader_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
  saved_log_ = _AOS_;
  saved_log_open_ = E.logOpen;
  saved_type_ = ProfileSettings::DataType;
  saved_separator_ = ProfileSettings::LocusSeparator;
  _AOS_ = &log_;
  E.logOpen = 1;
  ProfileSettings::DataType = DataTypeDefault;
  ProfileSettings::LocusSeparator = '\0';
  project_ = std::make_unique<Project>();
}

void ProjectFileTest::TearDown() {
  project_.reset();
  _AOS_ = saved_log_;
  E.logOpen = saved_log_open_;
  ProfileSettings::DataType = saved_type_;
  ProfileSettings::LocusSeparator = saved_separator_;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string ProjectFileTest::write_file(const std::string& name, const std::string& text) {
  const std::string path = dir_ + name;
  std::ofstream out(path, std::ios::binary);
  out << text;
  return path;
}

int ProjectFileTest::open_text(const std::string& text) {
  return open_path(write_file("project.qnp", text));
}

int ProjectFileTest::open_path(const std::string& path) {
  project_->project_path = path.c_str();
  return project_->newOpen();
}

int ProjectFileTest::count_logged(int number) const {
  const std::string needle = "\" : " + E.message(number) + "\n";
  const std::string log = log_text();
  int n = 0;
  for (size_t pos = log.find(needle); pos != std::string::npos; pos = log.find(needle, pos + 1))
    ++n;
  return n;
}

bool ProjectFileTest::logged(int number) const { return count_logged(number) > 0; }

std::string profile_header(const std::string& data_type, int nb_samples, const std::string& extra,
                           int genotypic) {
  std::string text = "[Profile]\n  Title=\"test\"\n  NbSamples=" + std::to_string(nb_samples) +
                     "\n  DataType=" + data_type +
                     "\n  GenotypicData=" + std::to_string(genotypic) +
                     "\n  LocusSeparator=WHITESPACE\n  MissingData='?'\n";
  if (genotypic) text += "  GameticPhase=0\n";
  text += extra;
  text += "[Data]\n[[Samples]]\n";
  return text;
}

}  // namespace qnd_reader_test

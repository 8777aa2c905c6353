// Test helpers of the run driver and the converters: a fresh temporary
// directory that is the working directory for the lifetime of the object
// (each test runs in its own process under ctest), and small file helpers.
#ifndef QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H
#define QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/temp_dir.h"
#include "project/log_capture.h"

namespace driver_test {

using qnd_project_test::LogCapture;
using qnd_test::read_file;
using qnd_test::write_file;

class TempDir {
 public:
  explicit TempDir(bool enter = true)
      : previous_(std::filesystem::current_path()), entered_(enter) {
    if (enter) std::filesystem::current_path(dir_.path());
  }
  ~TempDir() {
    if (entered_) std::filesystem::current_path(previous_);
  }
  std::string path() const { return dir_.path().string(); }
  std::string file(const std::string& name) const { return dir_.file(name); }

 private:
  std::filesystem::path previous_;
  bool entered_;
  qnd_test::TempDir dir_;
};

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// Names of the entries of a directory, sorted.
inline std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace driver_test

#endif  // QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H

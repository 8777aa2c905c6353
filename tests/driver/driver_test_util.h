// Test helpers of the run driver: a fresh temporary directory that is the
// working directory for the lifetime of the object, a captured log, and small
// file helpers.
#ifndef QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H
#define QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../project/log_capture.h"
#include "base/errors.h"
#include "globals.h"

namespace driver_test {

// A new directory under the system's temporary directory; removed with all its
// contents at the end. With enter = true it is also the working directory
// meanwhile (each test runs in its own process under ctest).
class TempDir {
 public:
  explicit TempDir(bool enter = true) : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "qnd_driver_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) std::abort();
    path_ = buffer.data();
    if (enter) std::filesystem::current_path(path_);
    entered_ = enter;
  }
  ~TempDir() {
    if (entered_) std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::filesystem::path previous_;
  std::string path_;
  bool entered_ = false;
};

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// Names of the entries of a directory, sorted.
inline std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// True when every piece occurs in text, each after the one before.
inline bool in_order(const std::string& text, const std::vector<std::string>& pieces,
                     std::string* missing = nullptr) {
  std::size_t from = 0;
  for (const std::string& piece : pieces) {
    const std::size_t at = text.find(piece, from);
    if (at == std::string::npos) {
      if (missing != nullptr) *missing = piece;
      return false;
    }
    from = at + piece.size();
  }
  return true;
}

// Number of tab-ended fields of a text.
inline int fields_count(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\t'));
}

// Sends the log to a string and opens E for the lifetime of the object.
using qnd_project_test::LogCapture;

}  // namespace driver_test

#endif  // QND_TESTS_DRIVER_DRIVER_TEST_UTIL_H

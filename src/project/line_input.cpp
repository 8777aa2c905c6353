// Line input for the project readers.
#include "project/line_input.h"

#include <filesystem>
#include <system_error>

namespace qnd_input {

bool read_line(std::istream& in, my_string& line) {
  std::string text;
  if (!std::getline(in, text)) {
    line.clear();
    return false;
  }
  if (!text.empty() && text.back() == '\r') text.pop_back();
  line.assign_unbounded(std::move(text));
  return true;
}

my_string upper(const my_string& line) {
  my_string view = line;
  view.to_upper();
  return view;
}

std::string resolve_external(const my_string& name, const my_string& directory) {
  if (!name.is_null() && name[0] == '/') return name.str();
  return directory.str() + name.str();
}

bool open_for_reading(std::ifstream& in, const std::string& path) {
  // Only a regular file can be read to its end: a directory reads nothing, and
  // a device such as /dev/zero or a pipe that never ends would grow one line
  // until memory runs out, or wait forever.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  in.open(path, std::ios::in);
  return in.is_open();
}

my_string directory_of(const my_string& path) {
  my_string dir = path;
  dir.extract_path();
  return dir;
}

long elapsed_ms(std::clock_t start) {
  return static_cast<long>((std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
}

}  // namespace qnd_input

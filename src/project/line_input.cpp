// Line input for the project readers.
#include "project/line_input.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "project/cleaner.h"

namespace qnd_input {

bool read_line(std::istream& in, my_string& line) {
  std::string& text = line.unbounded_text();  // a line reused keeps its room
  if (!std::getline(in, text)) {
    text.clear();
    return false;
  }
  if (!text.empty() && text.back() == '\r') text.pop_back();
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

bool InputFile::open(const std::string& path) {
  buffer_.reset();
  in_.rdbuf(nullptr);
  if (cleaner* run = cleaner::serving(); run != nullptr && run->owns_path(path)) {
    // A copy of the run, or nothing: never a file that happens to lie there.
    buffer_ = run->open_copy(path);
  } else {
    // Only a regular file can be read to its end: a directory reads nothing,
    // and a device such as /dev/zero or a pipe that never ends would grow one
    // line until memory runs out, or wait forever.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
      auto file = std::make_unique<std::filebuf>();
      if (file->open(path, std::ios::in) != nullptr) buffer_ = std::move(file);
    }
  }
  in_.rdbuf(buffer_.get());  // a null buffer leaves the stream failed
  return buffer_ != nullptr;
}

void stop_reading(std::istream& in) { in.setstate(std::ios::badbit); }

my_string directory_of(const my_string& path) {
  my_string dir = path;
  dir.extract_path();
  return dir;
}

long elapsed_ms(std::clock_t start) {
  return static_cast<long>((std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
}

}  // namespace qnd_input

// Line input shared by the reading pass of a project file and its samples
// reader: reading one whole line (a carriage return before the line feed is
// dropped, so files written with CR-LF line ends read like any other), the
// keyword view, external file names and elapsed times for progress messages.
#ifndef QND_PROJECT_LINE_INPUT_H
#define QND_PROJECT_LINE_INPUT_H

#include <ctime>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

#include "text/my_string.h"

namespace qnd_input {

// Reads the next line into line. False when the stream had no more line.
bool read_line(std::istream& in, my_string& line);

// The line with its ASCII letters upper-cased.
my_string upper(const my_string& line);

// A file name as written after "EXTERN": absolute when it starts with '/',
// otherwise taken relative to directory (which ends with '/' or is empty).
std::string resolve_external(const my_string& name, const my_string& directory);

// A file opened for the readers: the cleaned copy of the current run when path
// names one (cleaner.h), otherwise the regular file at path.
class InputFile {
 public:
  InputFile() : in_(nullptr) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False (and the stream fails every read) when path names no copy of the
  // current run and no regular file that can be read: missing, unreadable, a
  // directory or a device.
  bool open(const std::string& path);
  std::istream& stream() { return in_; }

 private:
  std::unique_ptr<std::streambuf> buffer_;
  std::istream in_;
};

// Ends the reading of a stream: every later read fails.
void stop_reading(std::istream& in);

// The directory part of a path, with its final '/', or empty.
my_string directory_of(const my_string& path);

// Milliseconds of processor time since start.
long elapsed_ms(std::clock_t start);

}  // namespace qnd_input

#endif  // QND_PROJECT_LINE_INPUT_H

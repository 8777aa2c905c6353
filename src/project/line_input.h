// Line input shared by the reading pass of a project file and its samples
// reader: reading one whole line (a carriage return before the line feed is
// dropped, so files written with CR-LF line ends read like any other), the
// keyword view, external file names and elapsed times for progress messages.
#ifndef QND_PROJECT_LINE_INPUT_H
#define QND_PROJECT_LINE_INPUT_H

#include <ctime>
#include <fstream>
#include <istream>
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

// Opens path for reading; false (and in not open) when it is missing, cannot be
// read or is a directory.
bool open_for_reading(std::ifstream& in, const std::string& path);

// The directory part of a path, with its final '/', or empty.
my_string directory_of(const my_string& path);

// Milliseconds of processor time since start.
long elapsed_ms(std::clock_t start);

}  // namespace qnd_input

#endif  // QND_PROJECT_LINE_INPUT_H

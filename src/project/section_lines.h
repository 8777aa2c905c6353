// Line handling shared by the readers of the haplotype list, the distance matrix
// and the genetic structure: reading one physical line, cutting its comment and
// closing brace, and the upper-cased view in which keywords are searched.
#ifndef QND_PROJECT_SECTION_LINES_H
#define QND_PROJECT_SECTION_LINES_H

#include <istream>
#include <string>
#include <string_view>

namespace qnd_reader {

// Reads the next physical line into line (any length) and counts it. A carriage
// return left by a file written with CR LF line ends is dropped. Returns false at
// the end of the stream, when nothing was read.
bool next_line(std::istream& in, std::string& line, int& lineNo);

// Cuts line at its first '#' (a comment runs to the end of the line).
void cut_comment(std::string& line);

// Cuts line at its first '}' and returns true when it held one.
bool cut_closing_brace(std::string& line);

// A copy of text with its ASCII letters upper-cased.
std::string upper_view(std::string_view text);

// Whether the upper-cased view starts a section that ends the current block.
bool is_new_section(std::string_view view);

}  // namespace qnd_reader

#endif  // QND_PROJECT_SECTION_LINES_H

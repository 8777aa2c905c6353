// Line handling shared by the section readers.
#include "project/section_lines.h"

namespace qnd_reader {

bool next_line(std::istream& in, std::string& line, int& lineNo) {
  if (!std::getline(in, line)) return false;
  ++lineNo;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void cut_comment(std::string& line) {
  const size_t pos = line.find('#');
  if (pos != std::string::npos) line.erase(pos);
}

bool cut_closing_brace(std::string& line) {
  const size_t pos = line.find('}');
  if (pos == std::string::npos) return false;
  line.erase(pos);
  return true;
}

std::string upper_view(std::string_view text) {
  std::string view(text);
  for (char& c : view)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return view;
}

bool is_new_section(std::string_view view) {
  return view.find("[SAMPLES]") != std::string_view::npos ||
         view.find("[STRUCTURE]") != std::string_view::npos ||
         view.find("[MANTEL]") != std::string_view::npos;
}

}  // namespace qnd_reader

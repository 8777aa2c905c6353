// Keyword, quoted-text, unquoted-text and number extraction for one line of a
// project file, with the line-numbered diagnostics of each failure.
#include "text/keyword_reader.h"

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "globals.h"

namespace {

constexpr const char* kValueContext = "readStringContent(...)";
constexpr int kMissingEqualSign = 188;
constexpr int kBadValue = 190;

// The text after the first '=' of the line; the whole line when it has none.
std::string_view text_after_equal_sign(const my_string& line) {
  const std::string_view text = line.view();
  const size_t eq = text.find('=');
  return eq == std::string_view::npos ? text : text.substr(eq + 1);
}

// Writes "\tProject file, Line #<n> : <what>'<key><tail>" to the log.
void write_line_diagnostic(int lineNo, const char* what, const char* key, const char* tail) {
  *_AOS_ << "\tProject file, Line #" << lineNo << " : " << what << key << tail;
  _AOS_->flush();
}

}  // namespace

void clearLineAfterPoundSign(my_string& line) {
  const int pound = line.find_first_of('#');
  if (pound >= 0) line.remove(pound, line.length() - pound);
}

my_string keyword_view(const my_string& line) {
  my_string view = line;
  view.to_upper();
  return view;
}

int checkForPresenceOfEqualSign(const my_string& line, const char* key, int lineNo) {
  const int eq = line.find_first_of('=');
  if (eq >= 0) return eq;
  E.error(Error, "checkForPresenceOfEqualSign(...)", kMissingEqualSign);
  write_line_diagnostic(lineNo, "Missing equal sign after keyword '", key, "'\n");
  return 0;
}

int getUnQuotedString(const my_string& line, my_string& value, const char* /*key*/,
                      int /*lineNo*/) {
  value.assign_unbounded(std::string(text_after_equal_sign(line)));
  return 1;
}

int getQuotedString(const my_string& line, my_string& value, const char* key, int lineNo) {
  const std::string_view rest = text_after_equal_sign(line);
  char quote = '\0';
  if (rest.find('"') != std::string_view::npos) {
    quote = '"';
  } else if (rest.find('\'') != std::string_view::npos) {
    quote = '\'';
  } else {
    value.clear();
    E.error(Error, kValueContext, kBadValue);
    write_line_diagnostic(lineNo, "No open quote after keyword '", key, "'\n");
    return 0;
  }
  // The opening quote is searched after the '=', so a quote character inside
  // the key part of the line can never be taken for it.
  const std::string_view after_open = rest.substr(rest.find(quote) + 1);
  const size_t close = after_open.find(quote);
  if (close != std::string_view::npos) {
    value.assign_unbounded(std::string(after_open.substr(0, close)));
    return 1;
  }
  value.assign_unbounded(std::string(after_open));
  E.error(Error, kValueContext, kBadValue);
  write_line_diagnostic(lineNo, "Opened quote not closed after keyword '", key,
                        "'. Unable to assign value to key...\n");
  return 0;
}

int getValue(const my_string& line, double& value, const char* key, int lineNo) {
  const std::string text(text_after_equal_sign(line));
  const char* begin = text.c_str();
  char* end = nullptr;
  value = std::strtod(begin, &end);
  // The number must take the whole text (no blank, comment remainder or other
  // trailing byte), must exist at all (an empty value is not 0) and be finite.
  const bool converted = end != begin;
  const bool whole = end == begin + text.size();
  if (converted && whole && std::isfinite(value)) return 1;
  E.error(Error, kValueContext, kBadValue);
  write_line_diagnostic(lineNo, "Bad value after keyword '", key, "'\n");
  return 0;
}

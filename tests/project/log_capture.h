// Test helper: points the message stream and the numbered-message object at a
// string for the life of the object, so that tests can read back what a reader
// wrote to the log.
#ifndef QND_TESTS_PROJECT_LOG_CAPTURE_H
#define QND_TESTS_PROJECT_LOG_CAPTURE_H

#include <ostream>
#include <sstream>
#include <string>

#include "base/errors.h"
#include "globals.h"
#include "model/profile.h"

namespace qnd_project_test {

class LogCapture {
 public:
  // Message numbers start again from 1, whatever earlier tests reported.
  LogCapture() : saved_stream_(_AOS_), saved_open_(E.logOpen) {
    _AOS_ = &out_;
    E.logOpen = 1;
    E.error(Warning, "", -1);
  }
  ~LogCapture() {
    _AOS_ = saved_stream_;
    E.logOpen = saved_open_;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return out_.str(); }
  bool contains(const std::string& piece) const { return text().find(piece) != std::string::npos; }

  // Whether a numbered message of that kind ("ERROR", "WARNING", ...) with that
  // context and message number was written.
  bool has_numbered(const std::string& kind, const std::string& context, int number) const {
    const std::string log = text();
    const std::string tail =
        "] from function \"" + context + "\" : " + E.message(number) + "\n";
    for (size_t pos = log.find(tail); pos != std::string::npos; pos = log.find(tail, pos + 1)) {
      const size_t line_start = log.rfind('\n', pos);
      const size_t from = line_start == std::string::npos ? 0 : line_start + 1;
      const size_t tag = log.find(" #[" + kind + " # ", from);
      if (tag != std::string::npos && tag < pos) return true;
    }
    return false;
  }
  // Whether any numbered message of that kind was written.
  bool has_kind(const std::string& kind) const { return contains(" #[" + kind + " # "); }

 private:
  std::ostream* saved_stream_;
  int saved_open_;
  std::ostringstream out_;
};

// Sets the class-wide data type and locus separator for one test and restores them.
class DataTypeScope {
 public:
  DataTypeScope(TDataType type, char separator)
      : saved_type_(ProfileSettings::DataType), saved_separator_(ProfileSettings::LocusSeparator) {
    ProfileSettings::DataType = type;
    ProfileSettings::LocusSeparator = separator;
  }
  ~DataTypeScope() {
    ProfileSettings::DataType = saved_type_;
    ProfileSettings::LocusSeparator = saved_separator_;
  }
  DataTypeScope(const DataTypeScope&) = delete;
  DataTypeScope& operator=(const DataTypeScope&) = delete;

 private:
  TDataType saved_type_;
  char saved_separator_;
};

}  // namespace qnd_project_test

#endif  // QND_TESTS_PROJECT_LOG_CAPTURE_H

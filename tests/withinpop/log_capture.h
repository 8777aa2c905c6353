// Test helper: points the log stream at a string and opens E's output for the
// lifetime of the object, so that tests can read the messages and diagnostics.
#ifndef QND_TESTS_WITHINPOP_LOG_CAPTURE_H
#define QND_TESTS_WITHINPOP_LOG_CAPTURE_H

#include <sstream>
#include <string>

#include "driver/errors.h"
#include "globals.h"

class LogCapture {
 public:
  LogCapture() : saved_stream_(_AOS_), saved_open_(E.logOpen) {
    _AOS_ = &out_;
    E.logOpen = 1;
  }
  ~LogCapture() {
    _AOS_ = saved_stream_;
    E.logOpen = saved_open_;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::ostream* saved_stream_;
  int saved_open_;
};

#endif  // QND_TESTS_WITHINPOP_LOG_CAPTURE_H

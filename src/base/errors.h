// Numbered diagnostics and the per-project log. Every message of the program
// goes through the one Errors object E: a fixed table of 211 texts, running
// counters that number the messages, and the log file that _AOS_ designates.
// This header needs only the standard library, so every layer of the program
// may report through it.
#ifndef QND_BASE_ERRORS_H
#define QND_BASE_ERRORS_H

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

enum ErrorType { Warning = 0, Error = 1, Memory = 2, Info = 3, Debug = 4 };

// Thrown after a Memory message; abandons the computation in progress.
enum ExceptionType { MemoryException = 0 };

class Errors {
 public:
  static constexpr int kMessageCount = 211;

  Errors();
  Errors(const Errors&) = delete;
  Errors& operator=(const Errors&) = delete;

  // Writes one numbered line to the log (nothing when no log is open).
  // messageIndex -1 resets every counter to 1 and writes nothing.
  void error(ErrorType kind, std::string_view functionName, int messageIndex);
  // Opens (append or truncate) a new log file and points _AOS_ at it.
  void init_log_file(const std::string& path, bool append);
  void CloseLog_file();

  const std::string& message(int index) const;

  int logOpen = 0;
  std::unique_ptr<std::ofstream> logStream;
  std::string logPath;
  std::vector<std::string> messages;

  int total_count = 1;
  int warning_count = 1;
  int error_count = 1;
  int info_count = 1;
  int memory_count = 1;
};

#endif  // QND_BASE_ERRORS_H

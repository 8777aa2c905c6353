// Numbered diagnostics and the per-project log. Every message of the program
// goes through the one Errors object E: a fixed table of 211 texts, running
// counters that number the messages, and the log file that _AOS_ designates.
// This header needs only the standard library, so every layer of the program
// may report through it.
//
// The log is written through one buffer: text collects in memory and goes to
// the file in a few large writes (when the buffer is full, when the log is
// closed or replaced, and when the process ends, by exit, by an uncaught
// exception or by returning from main). A flush asked for by the code that
// writes to the log does not write, so a run that flushes after every line
// still costs a few system calls.
#ifndef QND_BASE_ERRORS_H
#define QND_BASE_ERRORS_H

#include <cstdio>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

enum ErrorType { Warning = 0, Error = 1, Memory = 2, Info = 3, Debug = 4 };

// Thrown after a Memory message; abandons the computation in progress.
enum ExceptionType { MemoryException = 0 };

// The stream buffer of a log file: a fixed block of memory (no allocation
// while text is written, so a run that has run out of memory can still log)
// emptied into the file when full and on drain().
class LogBuffer : public std::streambuf {
 public:
  static constexpr std::size_t kCapacity = 1 << 16;

  LogBuffer();
  ~LogBuffer() override;
  LogBuffer(const LogBuffer&) = delete;
  LogBuffer& operator=(const LogBuffer&) = delete;

  // Creates or truncates (append: extends) the file; false when it cannot.
  bool open(const std::string& path, bool append);
  // Writes what is pending; the file stays open.
  void drain();
  // Writes what is pending and closes the file; later text is dropped.
  void close();
  bool is_open() const { return file_ != nullptr; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  // Deferred: the text is written by drain, close or a full buffer.
  int sync() override { return is_open() ? 0 : -1; }

 private:
  void write_out(const char* data, std::size_t size);

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> block_;
};

class Errors {
 public:
  static constexpr int kMessageCount = 211;

  Errors();
  ~Errors();
  Errors(const Errors&) = delete;
  Errors& operator=(const Errors&) = delete;

  // Writes one numbered line to the log (nothing when no log is open).
  // messageIndex -1 resets every counter to 1 and writes nothing.
  void error(ErrorType kind, std::string_view functionName, int messageIndex);
  // Opens (append or truncate) a new log file and points _AOS_ at it; the
  // previous log, if any, is written out and closed first.
  void init_log_file(const std::string& path, bool append);
  // Writes out and closes the current log file (the stream stays designated;
  // what is written to it afterwards is dropped).
  void CloseLog_file();
  // Writes out what the log holds so far without closing it.
  void flush_log();
  // The stream of the current log file, or nullptr before the first one.
  std::ostream* log_stream() const { return logStream.get(); }

  const std::string& message(int index) const;

  int logOpen = 0;
  std::string logPath;
  std::vector<std::string> messages;

  int total_count = 1;
  int warning_count = 1;
  int error_count = 1;
  int info_count = 1;
  int memory_count = 1;

 private:
  std::unique_ptr<LogBuffer> logBuffer;
  std::unique_ptr<std::ostream> logStream;
};

#endif  // QND_BASE_ERRORS_H

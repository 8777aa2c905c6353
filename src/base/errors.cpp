// Numbered diagnostics written to the current project's log.
#include "base/errors.h"

#include <iomanip>

#include "globals.h"

namespace qnd_errors_detail {
extern const char* const kMessages[Errors::kMessageCount];
}

Errors::Errors() : messages(std::begin(qnd_errors_detail::kMessages), std::end(qnd_errors_detail::kMessages)) {}

const std::string& Errors::message(int index) const {
  static const std::string unknown("unknown message");
  if (index < 0 || static_cast<size_t>(index) >= messages.size()) return unknown;
  return messages[static_cast<size_t>(index)];
}

void Errors::error(ErrorType kind, std::string_view functionName, int messageIndex) {
  if (!logOpen) return;
  if (messageIndex == -1) {
    total_count = warning_count = error_count = info_count = memory_count = 1;
    return;
  }
  std::ostream& out = *_AOS_;
  out << std::setw(4) << total_count++ << std::setw(0);
  const char* tag = nullptr;
  int* counter = nullptr;
  switch (kind) {
    case Warning:
      tag = " #[WARNING # ";
      counter = &warning_count;
      break;
    case Memory:
      tag = " #[MEMORY # ";
      counter = &memory_count;
      break;
    case Info:
      tag = " #[INFO # ";
      counter = &info_count;
      break;
    case Debug:
      tag = " #[DEBUG # ";
      counter = &error_count;
      break;
    case Error:
    default:
      tag = " #[ERROR # ";
      counter = &error_count;
      break;
  }
  out << tag << (*counter)++ << "] ";
  if (kind == Debug) {
    out << functionName;
  } else {
    out << "from function \"" << functionName << "\" : " << message(messageIndex);
  }
  out << '\n';
  out.flush();
  if (kind == Memory) throw MemoryException;
}

void Errors::init_log_file(const std::string& path, bool append) {
  logStream.reset();
  auto mode = std::ios::out | (append ? std::ios::app : std::ios::trunc);
  logStream = std::make_unique<std::ofstream>(path, mode);
  logOpen = logStream->is_open() ? 1 : 0;
  logPath = path;
  _AOS_ = logStream.get();
}

void Errors::CloseLog_file() {
  if (logStream) logStream->close();
}

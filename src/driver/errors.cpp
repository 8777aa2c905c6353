// Numbered diagnostics written to the current project's log.
#include "driver/errors.h"

#include <iomanip>

#include "globals.h"

namespace qnd_errors_detail {
extern const char* const kMessages[Errors::kMessageCount];
}

Errors::Errors() {
  for (const char* text : qnd_errors_detail::kMessages) messages.Add(my_string(text));
}

const my_string& Errors::message(int index) const {
  static const my_string unknown("unknown message");
  if (index < 0 || index >= messages.GetItemsInContainer()) return unknown;
  return messages[index];
}

void Errors::error(ErrorType kind, const my_string& functionName, int messageIndex) {
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

void Errors::init_log_file(const my_string& path, bool append) {
  logStream.reset();
  auto mode = std::ios::out | (append ? std::ios::app : std::ios::trunc);
  logStream = std::make_unique<std::ofstream>(path.c_str(), mode);
  logOpen = logStream->is_open() ? 1 : 0;
  logPath = path;
  _AOS_ = logStream.get();
}

void Errors::CloseLog_file() {
  if (logStream) logStream->close();
}

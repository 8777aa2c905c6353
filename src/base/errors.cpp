// Numbered diagnostics written to the current project's log, and the buffer
// that collects the log's text until it is written out.
#include "base/errors.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iomanip>

#include "base/number_text.h"
#include "globals.h"

namespace qnd_errors_detail {
extern const char* const kMessages[Errors::kMessageCount];
}

namespace {

// The log buffers holding a file open. An uncaught exception ends the process
// without running destructors, so the terminate handler writes them out first.
// The list itself is never destroyed: the log of E is closed by E's destructor
// at exit, after function-local statics may already be gone.
std::vector<LogBuffer*>& open_buffers() {
  static auto* buffers = new std::vector<LogBuffer*>;
  return *buffers;
}

std::terminate_handler g_previous_terminate = nullptr;

void write_logs_then_terminate() {
  for (LogBuffer* buffer : open_buffers()) buffer->drain();
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

void install_terminate_handler() {
  static const bool installed = [] {
    g_previous_terminate = std::set_terminate(write_logs_then_terminate);
    return true;
  }();
  (void)installed;
}

}  // namespace

LogBuffer::LogBuffer() : block_(new char[kCapacity]) {}

LogBuffer::~LogBuffer() { close(); }

bool LogBuffer::open(const std::string& path, bool append) {
  close();
  file_ = std::fopen(path.c_str(), append ? "a" : "w");
  if (file_ == nullptr) return false;
  // The block below is the only buffer: each drain is one write.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  setp(block_.get(), block_.get() + kCapacity);
  install_terminate_handler();
  open_buffers().push_back(this);
  return true;
}

void LogBuffer::write_out(const char* data, std::size_t size) {
  if (file_ != nullptr && size > 0) std::fwrite(data, 1, size, file_);
}

void LogBuffer::drain() {
  if (file_ == nullptr) return;
  write_out(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(block_.get(), block_.get() + kCapacity);
}

void LogBuffer::close() {
  if (file_ == nullptr) return;
  drain();
  std::fclose(file_);
  file_ = nullptr;
  setp(nullptr, nullptr);
  auto& buffers = open_buffers();
  buffers.erase(std::remove(buffers.begin(), buffers.end(), this), buffers.end());
}

LogBuffer::int_type LogBuffer::overflow(int_type c) {
  if (file_ == nullptr) return traits_type::eof();
  drain();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize LogBuffer::xsputn(const char* s, std::streamsize n) {
  if (file_ == nullptr) return 0;
  const auto size = static_cast<std::size_t>(n);
  if (size <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), s, size);
    pbump(static_cast<int>(size));
    return n;
  }
  // Text larger than the room left: what is pending goes first, then the text
  // is kept when it fits into the empty block, else written as it is.
  drain();
  if (size < kCapacity) {
    std::memcpy(pptr(), s, size);
    pbump(static_cast<int>(size));
  } else {
    write_out(s, size);
  }
  return n;
}

Errors::Errors() : messages(std::begin(qnd_errors_detail::kMessages), std::end(qnd_errors_detail::kMessages)) {}

Errors::~Errors() {
  // The process ends: whatever the log still holds goes to its file.
  CloseLog_file();
}

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
  CloseLog_file();
  logStream.reset();
  logBuffer = std::make_unique<LogBuffer>();
  logOpen = logBuffer->open(path, append) ? 1 : 0;
  logStream = std::make_unique<std::ostream>(logBuffer.get());
  // The log holds many numbers; the locale prints them as the classic one
  // does, only faster.
  logStream->imbue(qnd_number::fast_number_locale());
  if (!logOpen) logStream->setstate(std::ios::badbit);
  logPath = path;
  _AOS_ = logStream.get();
}

void Errors::CloseLog_file() {
  if (logBuffer) logBuffer->close();
}

void Errors::flush_log() {
  if (logBuffer) logBuffer->drain();
}

// The project clean-up: the copies are streams that clean their source one
// line at a time, over a reused line buffer, as the readers ask for text.
#include "project/cleaner.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "text/byte_table.h"

namespace {

constexpr int kProjectFile = 0;
constexpr int kExternalFile = 1;
constexpr size_t kStreamBufferSize = 1 << 16;

// Byte classes of the line rules; kPlain bytes are copied as they are.
enum LineClass : std::uint8_t { kPlain = 0, kBlank = 1, kComment = 2 };

// Blanks, tabs, carriage returns and the separator (when there is one) count
// as blanks; '#' ends the line unless it is the separator itself.
qnd_text::ByteTable line_classes(char separator) {
  qnd_text::ByteTable classes{};
  classes[static_cast<unsigned char>('#')] = kComment;
  classes[static_cast<unsigned char>(' ')] = kBlank;
  classes[static_cast<unsigned char>('\t')] = kBlank;
  classes[static_cast<unsigned char>('\r')] = kBlank;
  if (separator != '\0') classes[static_cast<unsigned char>(separator)] = kBlank;
  return classes;
}

bool is_absolute(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  return path.size() > 1 && path[1] == ':';  // drive letter
}

// True when result directory + name would not name a plain file of the result
// directory itself: a name with a directory part, a drive, or "." / "..".
bool leaves_directory(std::string_view name) {
  return name.find_first_of("/\\:") != std::string_view::npos || name == "." || name == "..";
}

// Only a regular file is read: a device or a pipe named as an external file
// (/dev/zero, /dev/stdin) would never end.
bool is_regular_file(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// The result directory, created when missing; false when there is none and
// none can be made (a file of that name is in the way, or no permission).
bool make_result_directory(const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0) return S_ISDIR(info.st_mode);
  if (::mkdir(path, 0777) == 0) return true;
  // Made meanwhile by another run of the project, or a file is in the way.
  return errno == EEXIST && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

cleaner* g_serving = nullptr;

// The line rules in place, in one pass: bytes marked as blanks count as
// blanks, '#' ends the line, a run of blanks becomes one blank (a leading run
// included) and trailing blanks go. Runs of plain bytes are found by memchr and
// moved whole; only blanks and the comment mark are looked at singly.
void clean_line(std::string& line, const qnd_text::ByteTable& classes, char separator) {
  const std::string_view text(line);
  char* const out = line.data();
  // The bytes that the rules act on; runs of other bytes are copied whole.
  char marked[] = {' ', '\t', '\r', '#', separator};
  qnd_text::ByteSetFinder rule_bytes(text, std::string_view(marked, separator != '\0' ? 5 : 4));
  size_t written = 0;
  size_t read = 0;
  bool last_was_blank = false;
  while (read < text.size()) {
    const size_t run_end = rule_bytes.next(read);
    if (run_end > read) {
      if (written != read) {
        // Short runs (tokens of sizes or names) byte by byte, long ones whole;
        // the copy moves bytes towards the start, so it is safe in place.
        if (run_end - read < 32) {
          for (size_t i = read; i < run_end; ++i) out[written + (i - read)] = out[i];
        } else {
          std::memmove(out + written, out + read, run_end - read);
        }
      }
      written += run_end - read;
      last_was_blank = false;
      read = run_end;
      if (read == text.size()) break;
    }
    if (qnd_text::class_of(classes, text[read]) == kComment) break;
    if (!last_was_blank) out[written++] = ' ';
    last_was_blank = true;
    ++read;
  }
  while (written > 0 && line[written - 1] == ' ') --written;
  line.resize(written);
}

}  // namespace

// The copy of one source file: each underflow reads the next source line,
// applies the line rules (and, in the project file, the external-file and
// separator rules), and offers the cleaned line with its line feed. Empty
// lines of the project file are passed over.
class CleanedCopy : public std::streambuf {
 public:
  CleanedCopy(cleaner& owner, int kind)
      : owner_(owner), kind_(kind), classes_(line_classes(owner.separator_)) {}

  bool open(const char* source) {
    if (!is_regular_file(source)) return false;
    in_.rdbuf()->pubsetbuf(buffer_.get(), static_cast<std::streamsize>(kStreamBufferSize));
    in_.open(source, std::ios::in | std::ios::binary);
    return in_.is_open();
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    while (std::getline(in_, line_)) {
      clean_line(line_, classes_, owner_.separator_);
      if (kind_ == kProjectFile) {
        owner_.line_has_external(line_);
        owner_.line_locus_sep(line_);
        if (line_.empty()) continue;
      }
      line_.push_back('\n');
      setg(line_.data(), line_.data(), line_.data() + line_.size());
      return traits_type::to_int_type(line_[0]);
    }
    setg(nullptr, nullptr, nullptr);
    return traits_type::eof();
  }

 private:
  cleaner& owner_;
  int kind_;
  qnd_text::ByteTable classes_;
  // Left uninitialised: the stream fills it, and clearing it would cost more
  // than cleaning a small project.
  std::unique_ptr<char[]> buffer_{new char[kStreamBufferSize]};
  std::ifstream in_;
  std::string line_;  // reused for every line, so its capacity is allocated once
};

cleaner::cleaner() : source_files_(10, 10), cleaned_files_(10, 10), file_kinds_(10, 10) {}

cleaner::~cleaner() { rm_clean_files(); }

cleaner* cleaner::serving() { return g_serving; }

int cleaner::execute(char separator, const char* projectPath) {
  source_path_ = projectPath != nullptr ? projectPath : "";
  separator_ = separator;
  source_files_.Flush();
  cleaned_files_.Flush();
  file_kinds_.Flush();
  copies_available_ = false;
  prepared_.reset();
  if (g_serving == this) g_serving = nullptr;
  auto copy = std::make_unique<CleanedCopy>(*this, kProjectFile);
  if (!copy->open(source_path_.c_str())) return 1;
  prepared_ = std::move(copy);
  source_files_.Add(my_string(std::string_view(source_path_)));
  file_kinds_.Add(kProjectFile);

  my_string path{std::string_view(source_path_)};
  path.remove_extension();
  result_dir_ = path + ".res/";
  const size_t last_separator = source_path_.find_last_of("/\\");
  project_dir_ = last_separator == std::string::npos ? std::string()
                                                     : source_path_.substr(0, last_separator + 1);
  // Without a result directory there is nowhere to keep the copies: the
  // readers then find no project to read, and say so.
  copies_available_ = make_result_directory(result_dir_.c_str());

  my_string file_name{std::string_view(source_path_)};
  file_name.rm_path();
  cleaned_files_.Add(result_dir_ + file_name);
  g_serving = this;
  return 1;
}

my_string cleaner::get_clean_proj() const {
  if (cleaned_files_.GetItemsInContainer() == 0) return my_string();
  return cleaned_files_[0];
}

my_string cleaner::get_orig_proj() const { return my_string(std::string_view(source_path_)); }

my_string cleaner::get_proj_dir() const { return result_dir_; }

void cleaner::rm_clean_files() {
  prepared_.reset();
  if (g_serving == this) g_serving = nullptr;
}

bool cleaner::owns_path(std::string_view path) const {
  if (cleaned_files_.GetItemsInContainer() == 0) return false;
  const std::string_view dir = result_dir_.view();
  return path.size() >= dir.size() && path.substr(0, dir.size()) == dir;
}

std::unique_ptr<std::streambuf> cleaner::open_copy(std::string_view path) {
  if (!copies_available_) return nullptr;
  // The latest registration of a name wins, as the latest copy written would.
  for (int i = cleaned_files_.GetItemsInContainer() - 1; i >= 0; --i) {
    if (cleaned_files_[i].view() != path) continue;
    if (i == 0 && prepared_) return std::move(prepared_);
    auto copy = std::make_unique<CleanedCopy>(*this, file_kinds_[i]);
    if (!copy->open(source_files_[i].c_str())) return nullptr;
    return copy;
  }
  return nullptr;
}

// A line naming an external file ("EXTERN" followed by a quoted name) adds
// that file to the copies; its copy lies in the result directory, where the
// readers look for it next to the cleaned project. The line is kept as it is.
void cleaner::line_has_external(std::string& line) {
  if (line.find("EXTERN") == std::string::npos) return;
  const size_t open_quote = line.find('"');
  if (open_quote == std::string::npos) return;
  const size_t close_quote = line.find('"', open_quote + 1);
  if (close_quote == std::string::npos) return;
  const std::string name = line.substr(open_quote + 1, close_quote - open_quote - 1);
  if (name.empty()) return;
  // A relative name is written relative to the project file, wherever the
  // program runs from.
  const std::string source = is_absolute(name) ? name : project_dir_ + name;
  std::string copy_name = name;
  if (leaves_directory(name)) {
    // result directory + "../x" (or an absolute or nested name) would name a
    // file outside the result directory. Such a copy gets a flat name of its
    // own in the result directory, and the line of the cleaned project names
    // that copy instead.
    copy_name = "extern" + std::to_string(source_files_.GetItemsInContainer()) + "_" + name;
    for (char& c : copy_name)
      if (c == '/' || c == '\\' || c == ':') c = '_';
    line.replace(open_quote + 1, name.size(), copy_name);
  }
  source_files_.Add(my_string(std::string_view(source)));
  cleaned_files_.Add(result_dir_ + copy_name.c_str());
  file_kinds_.Add(kExternalFile);
}

// With a locus separator in force, its characters have become blanks in the
// data, so the key that names it is rewritten to say that blanks separate the
// loci.
void cleaner::line_locus_sep(std::string& line) const {
  if (separator_ == '\0') return;
  if (qnd_text::contains_upper(line, "LOCUSSEPARATOR") &&
      !qnd_text::contains_upper(line, "NONE")) {
    line = "LocusSeparator=WHITESPACE";
  }
}

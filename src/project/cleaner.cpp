// The project clean-up: one pass per line over a reused buffer, so that
// projects of tens of megabytes with lines of a million characters are copied
// at the speed of the disk.
#include "project/cleaner.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
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

// A pair of file streams with large buffers for the line-by-line copy.
struct CopyStreams {
  // Left uninitialised: the streams fill them, and clearing two megabytes
  // would cost more than cleaning a small project.
  std::unique_ptr<char[]> in_buffer{new char[kStreamBufferSize]};
  std::unique_ptr<char[]> out_buffer{new char[kStreamBufferSize]};
  std::ifstream in;
  std::ofstream out;

  bool open_source(const char* path) {
    // Only a regular file is copied: a device or a pipe named as an external
    // file (/dev/zero, /dev/stdin) would never end.
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    in.rdbuf()->pubsetbuf(in_buffer.get(), static_cast<std::streamsize>(kStreamBufferSize));
    in.open(path, std::ios::in | std::ios::binary);
    return in.is_open();
  }
  // A copy that cannot be created is written to nowhere: the reader that opens
  // it later reports the missing file.
  void open_copy(const char* path) {
    out.rdbuf()->pubsetbuf(out_buffer.get(), static_cast<std::streamsize>(kStreamBufferSize));
    out.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  }
  void write_line(const std::string& line) {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.put('\n');
  }
};

}  // namespace

cleaner::cleaner() : source_files_(10, 10), cleaned_files_(10, 10), file_kinds_(10, 10) {}

int cleaner::execute(char separator, const char* projectPath) {
  source_path_ = projectPath != nullptr ? projectPath : "";
  separator_ = separator;
  line_classes_ = line_classes(separator);
  source_files_.Flush();
  cleaned_files_.Flush();
  file_kinds_.Flush();
  source_files_.Add(my_string(std::string_view(source_path_)));
  file_kinds_.Add(kProjectFile);
  // External files are appended while the project is cleaned, so this loop
  // reaches them after it.
  for (int i = 0; i < source_files_.GetItemsInContainer(); ++i) {
    if (file_kinds_[i] == kProjectFile) {
      clean_proj_file(i);
    } else {
      clean_haplo_file(i);
    }
  }
  return 1;
}

my_string cleaner::get_clean_proj() const {
  if (cleaned_files_.GetItemsInContainer() == 0) return my_string();
  return cleaned_files_[0];
}

my_string cleaner::get_orig_proj() const { return my_string(std::string_view(source_path_)); }

my_string cleaner::get_proj_dir() const { return result_dir_; }

void cleaner::rm_clean_files() {
  for (const my_string& path : cleaned_files_) std::remove(path.c_str());
  // Removes the directory of this process's copies once it is empty.
  if (!work_dir_.is_null() && work_dir_ != result_dir_) ::rmdir(work_dir_.c_str());
}

int cleaner::clean_proj_file(int file_index) {
  CopyStreams streams;
  if (!streams.open_source(source_files_[file_index].c_str())) return 0;

  my_string path{std::string_view(source_path_)};
  path.remove_extension();
  result_dir_ = path + ".res/";
  const size_t last_separator = source_path_.find_last_of("/\\");
  project_dir_ = last_separator == std::string::npos ? std::string()
                                                     : source_path_.substr(0, last_separator + 1);
  mkdir(result_dir_.c_str(), 0777);  // an existing directory is fine
  work_dir_ = result_dir_ + ("run" + std::to_string(::getpid()) + "/").c_str();
  if (mkdir(work_dir_.c_str(), 0777) != 0 && errno != EEXIST) work_dir_ = result_dir_;

  my_string file_name{std::string_view(source_path_)};
  file_name.rm_path();
  const my_string cleaned_path = work_dir_ + file_name;
  cleaned_files_.Add(cleaned_path);
  streams.open_copy(cleaned_path.c_str());

  while (std::getline(streams.in, curr_line_)) {
    clean_curr_line();
    line_has_external();
    line_locus_sep();
    if (!curr_line_.empty()) streams.write_line(curr_line_);
  }
  return 1;
}

int cleaner::clean_haplo_file(int file_index) {
  CopyStreams streams;
  if (!streams.open_source(source_files_[file_index].c_str())) return 0;
  streams.open_copy(cleaned_files_[file_index].c_str());
  while (std::getline(streams.in, curr_line_)) {
    clean_curr_line();
    streams.write_line(curr_line_);
  }
  return 1;
}

// In place, one pass: tabs, carriage returns and the locus separator count as
// blanks, '#' ends the line, a run of blanks becomes one blank (a leading run
// included) and trailing blanks go. Runs of plain bytes are found by a table
// scan and moved whole; only blanks and the comment mark are looked at singly.
void cleaner::clean_curr_line() {
  std::string& line = curr_line_;
  const std::string_view text(line);
  char* const out = line.data();
  size_t written = 0;
  size_t read = 0;
  bool last_was_blank = false;
  while (read < text.size()) {
    const size_t run_end = qnd_text::find_marked(text, line_classes_, read);
    if (run_end > read) {
      if (written != read) std::memmove(out + written, out + read, run_end - read);
      written += run_end - read;
      last_was_blank = false;
      read = run_end;
      if (read == text.size()) break;
    }
    if (qnd_text::class_of(line_classes_, text[read]) == kComment) break;
    if (!last_was_blank) out[written++] = ' ';
    last_was_blank = true;
    ++read;
  }
  while (written > 0 && line[written - 1] == ' ') --written;
  line.resize(written);
}

// A line naming an external file ("EXTERN" followed by a quoted name) adds
// that file to the files to clean; its copy goes into the result directory,
// where the readers look for it next to the cleaned project. The line is kept
// as it is.
void cleaner::line_has_external() {
  const std::string& line = curr_line_;
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
    // result directory + "../x" (or an absolute or nested name) would write the
    // copy outside the result directory, over a user's file that the end of the
    // run then deletes. Such a copy gets a flat name of its own in the result
    // directory, and the line of the cleaned project names that copy instead.
    copy_name = "extern" + std::to_string(source_files_.GetItemsInContainer()) + "_" + name;
    for (char& c : copy_name)
      if (c == '/' || c == '\\' || c == ':') c = '_';
    curr_line_.replace(open_quote + 1, name.size(), copy_name);
  }
  source_files_.Add(my_string(std::string_view(source)));
  cleaned_files_.Add(work_dir_ + copy_name.c_str());
  file_kinds_.Add(kExternalFile);
}

// With a locus separator in force, its characters have become blanks in the
// data, so the key that names it is rewritten to say that blanks separate the
// loci.
void cleaner::line_locus_sep() {
  if (separator_ == '\0') return;
  if (qnd_text::contains_upper(curr_line_, "LOCUSSEPARATOR") &&
      !qnd_text::contains_upper(curr_line_, "NONE")) {
    curr_line_ = "LocusSeparator=WHITESPACE";
  }
}

// Support shared by the fuzz targets: a private scratch directory that lives
// for the fuzzing process, a log that formats every message and throws it
// away, and helpers to write and remove files.
#ifndef QND_FUZZ_FUZZ_SUPPORT_H
#define QND_FUZZ_FUZZ_SUPPORT_H

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>

#include "base/errors.h"
#include "globals.h"

namespace qnd_fuzz {

// Accepts and drops every character, so the log code runs in full.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Points _AOS_ and E at a discarding log; called once per process.
inline void use_discarding_log() {
  static NullBuffer buffer;
  static std::ostream stream(&buffer);
  _AOS_ = &stream;
  E.logOpen = 1;
}

// A scratch directory of its own under the system's temporary directory; the
// fuzzing process works in it and removes it when it ends.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qndfuzz.XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

  // Removes everything that one input left in the directory.
  void empty() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
      std::filesystem::remove_all(entry.path(), ec);
  }

 private:
  std::string path_;
};

// What every target's initialisation does: the discarding log and the
// process's scratch directory (kept until the process ends).
inline const Scratch* start_process() {
  static Scratch scratch;
  use_discarding_log();
  return &scratch;
}

inline void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace qnd_fuzz

#endif  // QND_FUZZ_FUZZ_SUPPORT_H

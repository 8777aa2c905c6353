// cleaner: the working copy of a project that the readers actually read.
// The project file, and every external file that it names with EXTERN, is read
// through the line rules: tabs and carriage returns become blanks, runs of
// blanks shrink to one, comments ('#' to the end of the line) and trailing
// blanks go, and empty lines are dropped from the project file.
//
// The copies are never written to disk: each one lives under a path in the
// project's result directory ("<project without extension>.res/<name>"), and
// a reader that opens that path while the cleaner serves its copies gets a
// stream that applies the rules to the source file line by line as it is read
// (qnd_input::InputFile). Nothing has to be deleted at the end of the run, runs
// of one project at the same time cannot disturb each other, and memory stays
// one line, whatever the size of the project. One cleaner serves one project
// run; the last one that cleaned a project serves until it stops or goes away.
#ifndef QND_PROJECT_CLEANER_H
#define QND_PROJECT_CLEANER_H

#include <cstdint>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

#include "model/containers.h"
#include "text/my_string.h"

class cleaner {
 public:
  cleaner();
  ~cleaner();
  cleaner(const cleaner&) = delete;
  cleaner& operator=(const cleaner&) = delete;

  // Prepares the copy of the project (and, as its lines are read, of the
  // external files that they name) and starts serving it.
  // separator: the locus separator to turn into blanks, or '\0' for none.
  // Always returns 1; a project that cannot be read leaves get_clean_proj empty.
  int execute(char separator, const char* projectPath);

  // Path of the cleaned project; empty when nothing was cleaned.
  my_string get_clean_proj() const;
  // The project path given to execute.
  my_string get_orig_proj() const;
  // The result directory, ending with "/".
  my_string get_proj_dir() const;
  // Stops serving the copies (the run is over: nothing reads them any more).
  void rm_clean_files();

  // The copy registered under path, as a stream buffer that cleans its source
  // while it is read; nullptr when path is no copy of this cleaner or its
  // source cannot be read.
  std::unique_ptr<std::streambuf> open_copy(std::string_view path);
  // True when path lies in the directory of this cleaner's copies: such a path
  // is a copy or nothing, never a file on disk.
  bool owns_path(std::string_view path) const;
  // The cleaner whose copies the readers get, or nullptr.
  static cleaner* serving();

 private:
  friend class CleanedCopy;
  // A line of the project file naming an external file: registers that file's
  // copy (and may rename it in the line).
  void line_has_external(std::string& line);
  // The locus separator key rewritten when a separator is in force.
  void line_locus_sep(std::string& line) const;

  std::string source_path_;
  MY_TArrayAsVector<my_string> source_files_;
  MY_TArrayAsVector<my_string> cleaned_files_;
  MY_TArrayAsVector<int32_t> file_kinds_;  // 0: project file, 1: external file
  char separator_ = '\0';
  std::string project_dir_;             // directory part of the project path, separator included
  my_string result_dir_;
  bool copies_available_ = false;       // the result directory exists, so copies can be had
  // The project's copy, opened by execute and handed to the first reader.
  std::unique_ptr<std::streambuf> prepared_;
};

#endif  // QND_PROJECT_CLEANER_H

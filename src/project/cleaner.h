// cleaner: makes the working copy of a project that the readers actually read.
// The project file, and every external file that it names with EXTERN, is
// copied into the project's result directory ("<project without extension>.res/")
// with each line normalised: tabs and carriage returns become blanks, runs of
// blanks shrink to one, comments ('#' to the end of the line) and trailing
// blanks go, and empty lines are dropped from the project file. The copies of
// one process go into a directory of its own inside the result directory
// ("run<process id>/"). One cleaner serves one project run and deletes its
// copies (and that directory) when asked.
#ifndef QND_PROJECT_CLEANER_H
#define QND_PROJECT_CLEANER_H

#include <cstdint>
#include <string>

#include "model/containers.h"
#include "text/byte_table.h"
#include "text/my_string.h"

class cleaner {
 public:
  cleaner();

  // Cleans the project, then the external files it names, in that order.
  // separator: the locus separator to turn into blanks, or '\0' for none.
  // Always returns 1; a project that cannot be read leaves get_clean_proj empty.
  int execute(char separator, const char* projectPath);

  // Path of the cleaned project file; empty when nothing was cleaned.
  my_string get_clean_proj() const;
  // The project path given to execute.
  my_string get_orig_proj() const;
  // The result directory, ending with "/".
  my_string get_proj_dir() const;
  // Deletes every cleaned copy that exists.
  void rm_clean_files();

 private:
  int clean_proj_file(int file_index);
  int clean_haplo_file(int file_index);
  void clean_curr_line();
  void line_has_external();
  void line_locus_sep();

  std::string source_path_;
  std::string curr_line_;  // reused for every line, so its capacity is allocated once
  MY_TArrayAsVector<my_string> source_files_;
  MY_TArrayAsVector<my_string> cleaned_files_;
  MY_TArrayAsVector<int32_t> file_kinds_;  // 0: project file, 1: external file
  char separator_ = '\0';
  qnd_text::ByteTable line_classes_{};  // the line rules' byte classes for separator_
  std::string project_dir_;             // directory part of the project path, separator included
  my_string result_dir_;
  // Where this process writes its copies: a directory of its own inside the
  // result directory, so that runs of one project at the same time never
  // overwrite or delete each other's copies.
  my_string work_dir_;
};

#endif  // QND_PROJECT_CLEANER_H

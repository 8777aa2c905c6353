// my_string: the program's byte string. Every name, path, key, input line and
// data token goes through it. It knows bytes only (no locale). The text lives in
// a std::string; the class keeps the historical operations and their exact
// results (some of them unusual, see find_last_of and rfind), which the readers
// rely on.
#ifndef QND_TEXT_MY_STRING_H
#define QND_TEXT_MY_STRING_H

#include <iosfwd>
#include <string>
#include <string_view>

class my_string {
 public:
  // Longest text that construction, assignment and appending accept.
  static constexpr int MAX = 1001100;

  my_string() = default;
  my_string(const char* text);  // NOLINT: implicit on purpose, as the readers use it
  explicit my_string(std::string_view text);
  my_string(const my_string&) = default;
  my_string(my_string&&) noexcept = default;
  my_string& operator=(const my_string& other);
  my_string& operator=(my_string&& other) noexcept;
  my_string& operator=(const char* text);
  my_string& operator=(char c);
  my_string& operator=(int value);     // "%d"
  my_string& operator=(double value);  // "%f"

  my_string& operator+=(const my_string& other);
  my_string& operator+=(const char* text);
  my_string& operator+=(std::string_view text);
  my_string& operator+=(char c);

  friend my_string operator+(const my_string& a, const my_string& b);
  friend my_string operator+(const my_string& a, const char* b);

  // Access.
  const char* c_str() const { return s_.c_str(); }
  int length() const { return static_cast<int>(s_.size()); }
  const std::string& str() const { return s_; }
  std::string_view view() const { return s_; }
  char& operator[](int i) { return s_[static_cast<size_t>(i)]; }
  char operator[](int i) const { return s_[static_cast<size_t>(i)]; }
  void clear() { s_.clear(); }
  // Moves a std::string in without the length limit (used by line readers).
  void assign_unbounded(std::string&& text) { s_ = std::move(text); }
  // The text itself, of any length, for readers that fill it in place (its
  // room is kept from one line to the next).
  std::string& unbounded_text() { return s_; }

  // Queries (byte-exact, case-sensitive).
  bool is_null() const { return s_.empty(); }
  bool contains(const char* pattern) const;
  bool contains(const my_string& pattern) const { return contains(pattern.c_str()); }
  bool contains(char c) const;
  int find_first_of(const char& c) const;
  // Index of the last occurrence of c; the length of the string when c is absent
  // (0 for an empty string). Callers treat 0 as "nothing to cut".
  int find_last_of(const char& c) const;
  // Index of the FIRST occurrence of pattern, or -1 (empty/longer pattern, absent).
  int rfind(const my_string& pattern) const;

  // Editing in place.
  void Upper();
  void to_upper() { Upper(); }
  void Lower();
  void to_lower() { Lower(); }
  void remove(int pos, int n);
  int removes(const my_string& pattern);
  void remove_blanks();
  void remove_eol_and_lf();
  void rm_path();
  void extract_path();
  // Cuts the final extension: from the last '.' that follows the last path
  // separator. A name without such a dot is left unchanged.
  void remove_extension();
  void reverse_string();
  void convert_to_slash();
  void convert_to_html_slash();
  void convert_to_underline();
  void convert_blank_to_html_blank();
  my_string convert_blank_to_underline() const;

  // Extraction.
  my_string extract_before(char c) const;
  my_string extract_after(char c) const;
  // Tokenising step: skips leading c's, returns the bytes up to the next c and
  // removes the skipped c's and the token from the front of the string.
  my_string extract_sub_str(char c);

  // Stream operations.
  // Reads one whole line (any length); the line feed is consumed and not stored,
  // a carriage return before it stays. Always returns 1; end of file shows in the
  // stream state.
  int read_line(std::istream& in);
  int read_to_delim(std::istream& in, char d);
  int read_to_delim(std::istream& in);
  int read_token(std::istream& in);
  int GetNextQuota(std::istream& in);
  friend std::istream& operator>>(std::istream& in, my_string& s);
  friend std::ostream& operator<<(std::ostream& out, const my_string& s);

  // Kept for the batch loop, which releases the shared line buffer at its end.
  static void release_line_buffer() {}

  friend bool operator==(const my_string& a, const my_string& b) { return a.s_ == b.s_; }
  friend bool operator!=(const my_string& a, const my_string& b) { return a.s_ != b.s_; }
  friend bool operator==(const my_string& a, const char* b) { return a.s_ == b; }
  friend bool operator!=(const my_string& a, const char* b) { return a.s_ != b; }
  friend bool operator<(const my_string& a, const my_string& b) { return a.s_ < b.s_; }

  int _delta = 100;  // growth increment of the historical buffer, kept for reference

 private:
  std::string s_;
};

// Cuts the NUL-terminated array s at the last occurrence of c.
void my_strtok_right(char* s, char c);

#endif  // QND_TEXT_MY_STRING_H

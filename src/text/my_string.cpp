// my_string operations. The length limit applies to text coming from raw
// character arrays and to appending; a my_string copied from another my_string
// is always copied whole, so a long line read by read_line is never lost.
#include "text/my_string.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "text/byte_table.h"

namespace {
bool is_letter_upper(char c) { return c >= 'A' && c <= 'Z'; }
}  // namespace

my_string::my_string(const char* text) {
  if (text == nullptr) return;
  const size_t n = std::strlen(text);
  if (n <= static_cast<size_t>(MAX) - 1) s_.assign(text, n);
}

my_string::my_string(std::string_view text) {
  if (text.size() <= static_cast<size_t>(MAX) - 1) s_.assign(text.data(), text.size());
}

my_string& my_string::operator=(const my_string& other) {
  if (this != &other) s_ = other.s_;
  return *this;
}

my_string& my_string::operator=(my_string&& other) noexcept {
  s_ = std::move(other.s_);
  return *this;
}

my_string& my_string::operator=(const char* text) {
  if (text == nullptr) {
    s_.clear();
    return *this;
  }
  const size_t n = std::strlen(text);
  if (n > static_cast<size_t>(MAX)) return *this;
  s_.assign(text, n);
  return *this;
}

my_string& my_string::operator=(char c) {
  s_.assign(1, c);
  return *this;
}

my_string& my_string::operator=(int value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d", value);
  s_ = buf;
  return *this;
}

my_string& my_string::operator=(double value) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%f", value);
  s_ = buf;
  return *this;
}

my_string& my_string::operator+=(const my_string& other) { return *this += other.view(); }

my_string& my_string::operator+=(const char* text) {
  if (text == nullptr) return *this;
  return *this += std::string_view(text);
}

my_string& my_string::operator+=(std::string_view text) {
  if (text.empty()) return *this;
  if (s_.size() + text.size() > static_cast<size_t>(MAX)) return *this;
  s_.append(text.data(), text.size());
  return *this;
}

my_string& my_string::operator+=(char c) {
  if (c == '\0') return *this;
  if (s_.size() + 1 > static_cast<size_t>(MAX)) return *this;
  s_.push_back(c);
  return *this;
}

my_string operator+(const my_string& a, const my_string& b) {
  my_string r;
  if (a.s_.size() + b.s_.size() > static_cast<size_t>(my_string::MAX)) return r;
  r.s_.reserve(a.s_.size() + b.s_.size());
  r.s_ = a.s_;
  r.s_ += b.s_;
  return r;
}

my_string operator+(const my_string& a, const char* b) {
  // Joined directly: going through a my_string would drop a b of exactly MAX
  // bytes, although the sum of the lengths does not pass the limit.
  const std::string_view tail(b == nullptr ? "" : b);
  my_string r;
  if (a.s_.size() + tail.size() > static_cast<size_t>(my_string::MAX)) return r;
  r.s_.reserve(a.s_.size() + tail.size());
  r.s_ = a.s_;
  r.s_ += tail;
  return r;
}

bool my_string::contains(const char* pattern) const {
  if (pattern == nullptr) return false;
  const size_t n = std::strlen(pattern);
  if (n == 0 || n > s_.size()) return false;
  return s_.find(pattern, 0, n) != std::string::npos;
}

bool my_string::contains(char c) const { return s_.find(c) != std::string::npos; }

int my_string::find_first_of(const char& c) const {
  const size_t p = s_.find(c);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

int my_string::find_last_of(const char& c) const {
  const size_t p = s_.rfind(c);
  return p == std::string::npos ? length() : static_cast<int>(p);
}

int my_string::rfind(const my_string& pattern) const {
  if (pattern.s_.empty() || pattern.s_.size() > s_.size()) return -1;
  const size_t p = s_.find(pattern.s_);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

void my_string::Upper() { qnd_text::upper_ascii(s_); }

void my_string::Lower() {
  for (char& c : s_)
    if (is_letter_upper(c)) c = static_cast<char>(c - 'A' + 'a');
}

void my_string::remove(int pos, int n) {
  if (n < 1 || pos < 0 || pos >= length()) return;
  if (static_cast<long long>(pos) + n >= length()) {
    s_.resize(static_cast<size_t>(pos));
    return;
  }
  s_.erase(static_cast<size_t>(pos), static_cast<size_t>(n));
}

int my_string::removes(const my_string& pattern) {
  const int p = rfind(pattern);  // first occurrence
  if (p < 0) return 0;
  s_.erase(static_cast<size_t>(p), pattern.s_.size());
  return 1;
}

void my_string::remove_blanks() {
  s_.erase(std::remove_if(s_.begin(), s_.end(), [](char c) { return c == ' ' || c == '\t'; }),
           s_.end());
}

void my_string::remove_eol_and_lf() {
  s_.erase(std::remove_if(s_.begin(), s_.end(), [](char c) { return c == '\r' || c == '\n'; }),
           s_.end());
}

void my_string::rm_path() {
  const size_t p = s_.find_last_of("\\/");
  if (p != std::string::npos) s_.erase(0, p + 1);
}

void my_string::extract_path() {
  const size_t p = s_.find_last_of("\\/");
  if (p == std::string::npos) {
    s_.clear();
  } else {
    s_.resize(p + 1);
  }
}

void my_string::remove_extension() {
  const size_t dot = s_.rfind('.');
  if (dot == std::string::npos) return;
  const size_t sep = s_.find_last_of("\\/");
  if (sep != std::string::npos && sep > dot) return;
  s_.resize(dot);
}

void my_string::reverse_string() { std::reverse(s_.begin(), s_.end()); }

void my_string::convert_to_slash() { std::replace(s_.begin(), s_.end(), '\\', '/'); }

void my_string::convert_to_html_slash() { convert_to_slash(); }

void my_string::convert_to_underline() {
  for (char& c : s_)
    if (c == ':' || c == '\\' || c == '/') c = '_';
}

void my_string::convert_blank_to_html_blank() {
  std::string r;
  r.reserve(s_.size());
  for (char c : s_) {
    if (c == ' ') {
      r += "%20";
    } else {
      r += c;
    }
  }
  s_ = std::move(r);
}

my_string my_string::convert_blank_to_underline() const {
  my_string r(*this);
  std::replace(r.s_.begin(), r.s_.end(), ' ', '_');
  return r;
}

my_string my_string::extract_before(char c) const {
  my_string r;
  const size_t p = s_.find(c);
  r.s_ = s_.substr(0, p);
  return r;
}

my_string my_string::extract_after(char c) const {
  my_string r;
  const size_t p = s_.find(c);
  r.s_ = (p == std::string::npos) ? s_ : s_.substr(p + 1);
  return r;
}

my_string my_string::extract_sub_str(char c) {
  my_string token;
  size_t start = 0;
  while (start < s_.size() && s_[start] == c) ++start;
  size_t end = s_.find(c, start);
  if (end == std::string::npos) end = s_.size();
  token.s_ = s_.substr(start, end - start);
  s_.erase(0, end);
  return token;
}

int my_string::read_line(std::istream& in) {
  s_.clear();
  std::getline(in, s_);
  return 1;
}

int my_string::read_to_delim(std::istream& in, char d) {
  s_.clear();
  std::istream::sentry guard(in, true);
  if (!guard) return 0;
  std::streambuf* sb = in.rdbuf();
  for (;;) {
    const int ch = sb->sbumpc();
    if (ch == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      break;
    }
    const char c = static_cast<char>(ch);
    if (c == d || c == '\n' || c == '\0' || ch == 255) break;
    s_.push_back(c);
  }
  return 1;
}

int my_string::read_to_delim(std::istream& in) {
  s_.clear();
  std::istream::sentry guard(in, true);
  if (!guard) return 0;
  std::streambuf* sb = in.rdbuf();
  for (;;) {
    const int ch = sb->sbumpc();
    if (ch == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      break;
    }
    const char c = static_cast<char>(ch);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\0' || ch == 255) break;
    s_.push_back(c);
  }
  return 1;
}

int my_string::read_token(std::istream& in) {
  s_.clear();
  std::istream::sentry guard(in, true);
  if (!guard) return 0;
  std::streambuf* sb = in.rdbuf();
  int ch = sb->sgetc();
  while (ch == ' ' || ch == '\t' || ch == '\n') ch = sb->snextc();
  while (ch != std::char_traits<char>::eof() && ch != ' ' && ch != '\t' && ch != '\n') {
    s_.push_back(static_cast<char>(ch));
    ch = sb->snextc();
  }
  if (ch == std::char_traits<char>::eof()) in.setstate(std::ios::eofbit);
  return 1;
}

int my_string::GetNextQuota(std::istream& in) {
  std::istream::sentry guard(in, true);
  if (!guard) return 0;
  std::streambuf* sb = in.rdbuf();
  for (;;) {  // up to the opening quote
    const int ch = sb->sbumpc();
    if (ch == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit | std::ios::failbit);
      return 0;
    }
    if (ch == '\n') return 0;
    if (ch == '"') break;
  }
  for (;;) {  // up to the closing quote
    const int ch = sb->sbumpc();
    if (ch == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit | std::ios::failbit);
      return 0;
    }
    if (ch == '\n') return 0;
    if (ch == '"') return 1;
    s_.push_back(static_cast<char>(ch));
  }
}

std::istream& operator>>(std::istream& in, my_string& s) {
  s.s_.clear();
  std::istream::sentry guard(in, true);
  if (!guard) return in;
  std::streambuf* sb = in.rdbuf();
  int ch = sb->sgetc();
  while (ch == ' ' || ch == '\t') ch = sb->snextc();
  if (ch == '\r') {
    sb->sbumpc();
    return in;
  }
  while (ch != std::char_traits<char>::eof() && ch != ' ' && ch != '\r' && ch != '\n') {
    s.s_.push_back(static_cast<char>(ch));
    ch = sb->snextc();
  }
  if (ch == std::char_traits<char>::eof()) in.setstate(std::ios::eofbit);
  return in;
}

std::ostream& operator<<(std::ostream& out, const my_string& s) {
  out.write(s.s_.data(), static_cast<std::streamsize>(s.s_.size()));
  return out;
}

void my_strtok_right(char* s, char c) {
  if (s == nullptr) return;
  char* p = std::strrchr(s, c);
  if (p != nullptr && c != '\0') *p = '\0';
}

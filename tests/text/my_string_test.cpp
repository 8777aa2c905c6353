// Tests of my_string: length limits, the growth and refusal rules of assignment
// and appending, the byte-exact queries (including the unusual results of
// find_last_of and rfind), the in-place edits, the path helpers, tokenising and
// every stream reader. Expected texts are worked out by hand.
#include "text/my_string.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kMax = 1001100;  // longest text the type accepts

std::string bytes(size_t n, char c = 'x') { return std::string(n, c); }

// A fresh directory under the system temporary directory, removed on exit.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("qnd_my_string_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

}  // namespace

// ---------------------------------------------------------------- construction

TEST(MyStringConstruction, DefaultIsEmpty) {
  my_string s;
  EXPECT_TRUE(s.is_null());
  EXPECT_EQ(s.length(), 0);
  EXPECT_STREQ(s.c_str(), "");
}

TEST(MyStringConstruction, KeepsTextOfOneByteBelowTheLimit) {
  const std::string text = bytes(kMax - 1, 'q');
  my_string s(text.c_str());
  EXPECT_EQ(s.length(), 1001099);
  EXPECT_TRUE(s.str() == text);  // no dump of long texts on failure
}

TEST(MyStringConstruction, DropsTextAtAndAboveTheLimit) {
  const std::string at_limit = bytes(kMax);
  EXPECT_TRUE(my_string(at_limit.c_str()).is_null());
  const std::string above = bytes(kMax + 5);
  EXPECT_TRUE(my_string(above.c_str()).is_null());
}

TEST(MyStringConstruction, NullPointerGivesEmptyString) {
  const char* none = nullptr;
  EXPECT_TRUE(my_string(none).is_null());
}

TEST(MyStringConstruction, CopyIsDeep) {
  my_string a("abc");
  my_string b(a);
  b += "def";
  b[0] = 'X';
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(b, "Xbcdef");
}

// ------------------------------------------------------------------ assignment

TEST(MyStringAssignment, CharArrayReplacesText) {
  my_string s("a rather long initial text");
  s = "xy";
  EXPECT_EQ(s, "xy");
  EXPECT_EQ(s.length(), 2);
}

TEST(MyStringAssignment, CharArrayLongerThanLimitLeavesStringUnchanged) {
  my_string s("keep me");
  const std::string above = bytes(kMax + 1);
  s = above.c_str();
  EXPECT_EQ(s, "keep me");
}

TEST(MyStringAssignment, CharArrayOfExactlyTheLimitIsAccepted) {
  my_string s("old");
  const std::string at_limit = bytes(kMax, 'm');
  s = at_limit.c_str();
  EXPECT_EQ(s.length(), kMax);
  EXPECT_TRUE(s.str() == at_limit);  // no dump of long texts on failure
}

TEST(MyStringAssignment, CopyAssignmentIsDeep) {
  my_string a("one");
  my_string b("two");
  b = a;
  a += "!";
  EXPECT_EQ(b, "one");
  EXPECT_EQ(a, "one!");
  const my_string& same = b;
  b = same;  // self-assignment keeps the text
  EXPECT_EQ(b, "one");
}

TEST(MyStringAssignment, SingleCharacter) {
  my_string s("abcdef");
  s = 'z';
  EXPECT_EQ(s, "z");
  EXPECT_EQ(s.length(), 1);
}

TEST(MyStringAssignment, IntegerUsesDecimalText) {
  my_string s;
  s = 0;
  EXPECT_EQ(s, "0");
  s = -42;
  EXPECT_EQ(s, "-42");
  s = INT_MAX;
  EXPECT_EQ(s, "2147483647");
  s = INT_MIN;
  EXPECT_EQ(s, "-2147483648");
}

TEST(MyStringAssignment, DoubleUsesSixDecimals) {
  my_string s;
  s = 1.5;
  EXPECT_EQ(s, "1.500000");
  s = -0.25;
  EXPECT_EQ(s, "-0.250000");
  s = 1e-7;  // below the sixth decimal
  EXPECT_EQ(s, "0.000000");
  s = 1e20;
  EXPECT_EQ(s, "100000000000000000000.000000");
}

TEST(MyStringAssignment, HugeDoubleIsFormattedWhole) {
  my_string s;
  s = 1e300;
  // 301 integer digits, the point and six decimals.
  ASSERT_EQ(s.length(), 301 + 1 + 6);
  EXPECT_EQ(s.str().substr(301), ".000000");
  EXPECT_EQ(s[0], '1');
}

// ------------------------------------------------------------------- appending

TEST(MyStringAppend, AppendsEveryForm) {
  my_string s("ab");
  s += my_string("cd");
  s += "ef";
  const char* tail = "gh";
  s += tail;
  s += 'i';
  EXPECT_EQ(s, "abcdefghi");
  EXPECT_EQ(s.length(), 9);
}

TEST(MyStringAppend, EmptyTextChangesNothing) {
  my_string s("ab");
  s += "";
  s += my_string();
  EXPECT_EQ(s, "ab");
}

TEST(MyStringAppend, NulCharacterIsIgnored) {
  my_string s("ab");
  s += '\0';
  EXPECT_EQ(s.length(), 2);
  EXPECT_EQ(s, "ab");
  my_string e;
  e += '\0';
  EXPECT_TRUE(e.is_null());
}

TEST(MyStringAppend, ManySingleCharactersBuildTheExpectedText) {
  my_string s;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    s += c;
    expected.push_back(c);
  }
  EXPECT_TRUE(s.str() == expected);  // no dump of long texts on failure
}

TEST(MyStringAppend, TextIsRefusedWhenTheResultWouldPassTheLimit) {
  const std::string base = bytes(kMax - 2);
  my_string s(base.c_str());
  s += "abc";  // would be kMax + 1
  EXPECT_EQ(s.length(), kMax - 2);
  s += my_string("abc");
  EXPECT_EQ(s.length(), kMax - 2);
  s += "ab";  // exactly kMax: accepted
  EXPECT_EQ(s.length(), kMax);
  EXPECT_EQ(s.str().substr(kMax - 2), "ab");
}

TEST(MyStringAppend, CharacterIsRefusedAtTheLimit) {
  const std::string base = bytes(kMax - 2);
  my_string s(base.c_str());
  s += 'y';
  EXPECT_EQ(s.length(), kMax - 1);
  s += 'z';
  EXPECT_EQ(s.length(), kMax);
  s += 'w';
  EXPECT_EQ(s.length(), kMax);
  EXPECT_EQ(s[kMax - 1], 'z');
}

// --------------------------------------------------------------- concatenation

TEST(MyStringConcat, JoinsBothOperands) {
  const my_string a("abc");
  const my_string b("de");
  EXPECT_EQ(a + b, "abcde");
  EXPECT_EQ(a + "xyz", "abcxyz");
  EXPECT_EQ(my_string() + b, "de");
  EXPECT_EQ(a, "abc");  // operands are untouched
}

TEST(MyStringConcat, EmptyWhenTheSumPassesTheLimit) {
  const std::string big = bytes(kMax - 100);
  const my_string a(big.c_str());
  const std::string tail = bytes(101, 't');
  EXPECT_TRUE((a + my_string(tail.c_str())).is_null());
  EXPECT_TRUE((a + tail.c_str()).is_null());
}

TEST(MyStringConcat, KeptWhenTheSumIsExactlyTheLimit) {
  const std::string big = bytes(kMax - 100);
  const my_string a(big.c_str());
  const std::string tail = bytes(100, 't');
  EXPECT_EQ((a + my_string(tail.c_str())).length(), kMax);
  EXPECT_EQ((a + tail.c_str()).length(), kMax);
}

TEST(MyStringConcat, CharArrayOfExactlyTheLimitAfterAnEmptyString) {
  // The sum of the lengths is the limit itself, so the text is kept.
  const std::string at_limit = bytes(kMax, 'k');
  const my_string r = my_string() + at_limit.c_str();
  EXPECT_EQ(r.length(), kMax);
  EXPECT_TRUE(r.str() == at_limit);  // no dump of long texts on failure
}

// --------------------------------------------------------------------- queries

TEST(MyStringQueries, ContainsFindAndRfind) {
  const my_string s("abcdef");
  const my_string empty;
  // contains: contiguous, case-sensitive, false for an empty or longer pattern.
  for (const char* p : {"cde", "abcdef", "a", "f"}) EXPECT_TRUE(s.contains(p)) << p;
  for (const char* p : {"ace", "CDE", "", "abcdefg"}) EXPECT_FALSE(s.contains(p)) << p;
  EXPECT_TRUE(s.contains(my_string("def")));
  EXPECT_FALSE(s.contains(my_string("efg")));
  EXPECT_FALSE(s.contains(my_string()));
  EXPECT_FALSE(empty.contains("a"));
  EXPECT_FALSE(empty.contains(""));
  EXPECT_TRUE(my_string("a=b").contains('='));
  EXPECT_TRUE(my_string("a=b").contains('b'));
  EXPECT_FALSE(my_string("a=b").contains('B'));
  EXPECT_FALSE(empty.contains('a'));

  struct Find {
    const char* text;
    char c;
    int first, last;  // absent: first -1, last the length
  };
  for (const Find f :
       {Find{"banana", 'b', 0, 0}, Find{"banana", 'a', 1, 5}, Find{"banana", 'n', 2, 4},
        Find{"banana", 'z', -1, 6}, Find{"", 'a', -1, 0}}) {
    EXPECT_EQ(my_string(f.text).find_first_of(f.c), f.first) << f.text << " " << f.c;
    EXPECT_EQ(my_string(f.text).find_last_of(f.c), f.last) << f.text << " " << f.c;
  }

  // rfind gives the first occurrence; -1 for an empty, longer or absent pattern.
  struct Rfind {
    const char* text;
    const char* pattern;
    int at;
  };
  for (const Rfind r : {Rfind{"abab", "ab", 0}, Rfind{"abab", "ba", 1}, Rfind{"abab", "b", 1},
                        Rfind{"abab", "abab", 0}, Rfind{"xxabcab", "ab", 2}, Rfind{"abab", "", -1},
                        Rfind{"abab", "ababa", -1}, Rfind{"abab", "abc", -1}, Rfind{"", "a", -1}}) {
    EXPECT_EQ(my_string(r.text).rfind(my_string(r.pattern)), r.at) << r.text << " / " << r.pattern;
  }
}

// ------------------------------------------------------------ in-place edits

// One edit applied to one text, and the text it must leave.
TEST(MyStringEdits, EachEditOnEachText) {
  using Edit = void (*)(my_string&);
  struct Case {
    const char* what;
    Edit edit;
    const char* text;
    const char* expected;
  };
  const Edit upper = [](my_string& s) { s.Upper(); };
  const Edit to_upper = [](my_string& s) { s.to_upper(); };
  const Edit lower = [](my_string& s) { s.Lower(); };
  const Edit to_lower = [](my_string& s) { s.to_lower(); };
  const Edit blanks = [](my_string& s) { s.remove_blanks(); };
  const Edit eol = [](my_string& s) { s.remove_eol_and_lf(); };
  const Edit rm_path = [](my_string& s) { s.rm_path(); };
  const Edit path = [](my_string& s) { s.extract_path(); };
  const Edit ext = [](my_string& s) { s.remove_extension(); };
  const Edit reverse = [](my_string& s) { s.reverse_string(); };
  const Edit slash = [](my_string& s) { s.convert_to_slash(); };
  const Edit html_slash = [](my_string& s) { s.convert_to_html_slash(); };
  const Edit underline = [](my_string& s) { s.convert_to_underline(); };
  const Edit html_blank = [](my_string& s) { s.convert_blank_to_html_blank(); };
  const Case cases[] = {
      // '@' and '[' surround 'A'..'Z'; '`' and '{' surround 'a'..'z'.
      {"Upper", upper, "az-AZ 09_@[`{}\xe1\xe9\xff\x80", "AZ-AZ 09_@[`{}\xe1\xe9\xff\x80"},
      {"Upper", upper, "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {"to_upper", to_upper, "mixed Case 1", "MIXED CASE 1"},
      {"Lower", lower, "AZ-az 09_@[`{}\xc1\xc9\xff\x80", "az-az 09_@[`{}\xc1\xc9\xff\x80"},
      {"Lower", lower, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"},
      {"to_lower", to_lower, "MIXED Case 1", "mixed case 1"},
      {"blanks are spaces and tabs", blanks, " a\tb  c\t\r\n", "abc\r\n"},
      {"blanks", blanks, " \t \t", ""},
      {"eol", eol, "a\r\nb\rc\n d\t", "abc d\t"},
      {"eol", eol, "\r\n\n\r", ""},
      {"rm_path", rm_path, "C:\\data/runs\\name.qnp", "name.qnp"},
      {"rm_path", rm_path, "dir/\\name.qnp", "name.qnp"},
      {"rm_path", rm_path, "a\\b/c", "c"},
      {"rm_path", rm_path, "name.qnp", "name.qnp"},
      {"rm_path", rm_path, "a/b/", ""},
      {"rm_path", rm_path, "a\\b\\", ""},
      {"extract_path", path, "dir/\\name.qnp", "dir/\\"},
      {"extract_path", path, "a\\b/c", "a\\b/"},
      {"extract_path", path, "a/b/", "a/b/"},
      {"extract_path", path, "name.qnp", ""},
      {"extension", ext, "x.tar.gz", "x.tar"},
      {"extension", ext, "runs.qnp.d/a.qnp", "runs.qnp.d/a"},
      {"extension", ext, "dir.x\\file.qnp", "dir.x\\file"},
      {"only the final extension", ext, "a.qnp.b.qnp", "a.qnp.b"},
      {"extension", ext, "file.", "file"},
      {"dot in a directory name", ext, "a/b.c/d", "a/b.c/d"},
      {"dot in a directory name", ext, "a\\b.c\\d", "a\\b.c\\d"},
      {"no extension", ext, "noext", "noext"},
      {"no extension", ext, "", ""},
      {"reverse", reverse, "abc\xff",
       "\xff"
       "cba"},
      {"reverse", reverse, "ab", "ba"},
      {"reverse", reverse, "", ""},
      {"slash", slash, "C:\\a\\b/c", "C:/a/b/c"},
      {"html slash", html_slash, "\\\\x", "//x"},
      {"underline", underline, "C:\\a/b.c d", "C__a_b.c d"},
      {"html blank", html_blank, " a b  c ", "%20a%20b%20%20c%20"},
      {"html blank", html_blank, "abc", "abc"},
  };
  for (const Case& c : cases) {
    my_string s(c.text);
    c.edit(s);
    EXPECT_EQ(s.str(), c.expected) << c.what << " of \"" << c.text << '"';
  }
  const std::string stem = "d/" + bytes(700, 'n');
  my_string long_name((stem + ".qnp").c_str());
  long_name.remove_extension();
  EXPECT_TRUE(long_name.str() == stem);  // no dump of long texts on failure
  const my_string s("a b  c\t");
  EXPECT_EQ(s.convert_blank_to_underline(), "a_b__c\t");
  EXPECT_EQ(s, "a b  c\t");  // a copy: the text itself is kept
}

TEST(MyStringRemove, CountBytesFromPosition) {
  struct Case {
    int pos, count;
    const char* expected;
  };
  // Count below one, a negative position or one at or past the end change
  // nothing; reaching or passing the end cuts at the position.
  for (const Case c :
       {Case{1, 2, "adef"}, Case{0, 1, "bcdef"}, Case{2, 0, "abcdef"}, Case{2, -3, "abcdef"},
        Case{-1, 2, "abcdef"}, Case{3, 3, "abc"}, Case{3, 100, "abc"}, Case{2, INT_MAX, "ab"},
        Case{0, 6, ""}, Case{6, 1, "abcdef"}, Case{10, 2, "abcdef"}}) {
    my_string s("abcdef");
    s.remove(c.pos, c.count);
    EXPECT_EQ(s.str(), c.expected) << c.pos << ", " << c.count;
  }
}

TEST(MyStringRemove, RemovesDeletesOnlyTheFirstOccurrence) {
  my_string s("abcabc");
  EXPECT_EQ(s.removes(my_string("bc")), 1);
  EXPECT_EQ(s, "aabc");
  EXPECT_EQ(s.removes(my_string("bc")), 1);
  EXPECT_EQ(s, "aa");
  EXPECT_EQ(s.removes(my_string("bc")), 0);
  EXPECT_EQ(s, "aa");
  my_string t("abc");
  EXPECT_EQ(t.removes(my_string()), 0);  // empty or longer pattern: refused
  EXPECT_EQ(t.removes(my_string("abcd")), 0);
  EXPECT_EQ(t, "abc");
  EXPECT_EQ(t.removes(my_string("abc")), 1);
  EXPECT_TRUE(t.is_null());
}

// ------------------------------------------------------------------ extraction

TEST(MyStringExtract, BeforeAndAfterTheFirstDelimiter) {
  const my_string s("key=value=x");
  EXPECT_EQ(s.extract_before('='), "key");
  EXPECT_EQ(s.extract_after('='), "value=x");
  EXPECT_EQ(s, "key=value=x");
  EXPECT_EQ(s.extract_before('#'), "key=value=x");
  EXPECT_EQ(s.extract_after('#'), "key=value=x");
  EXPECT_TRUE(my_string("=v").extract_before('=').is_null());
  EXPECT_TRUE(my_string().extract_before('=').is_null());
  EXPECT_TRUE(my_string("key=").extract_after('=').is_null());
}
TEST(MyStringTokens, ExtractSubStrConsumesTokens) {
  my_string s("  ab cd");
  EXPECT_EQ(s.extract_sub_str(' '), "ab");
  EXPECT_EQ(s, " cd");
  EXPECT_EQ(s.extract_sub_str(' '), "cd");
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringTokens, EmptyOrOnlyDelimitersGiveEmptyTokenAndEmptyString) {
  my_string empty;
  EXPECT_TRUE(empty.extract_sub_str(',').is_null());
  EXPECT_TRUE(empty.is_null());
  my_string commas(",,,");
  EXPECT_TRUE(commas.extract_sub_str(',').is_null());
  EXPECT_TRUE(commas.is_null());
}

TEST(MyStringTokens, RepeatedDelimitersAreSkipped) {
  my_string s("a,,b,c,");
  EXPECT_EQ(s.extract_sub_str(','), "a");
  EXPECT_EQ(s, ",,b,c,");
  EXPECT_EQ(s.extract_sub_str(','), "b");
  EXPECT_EQ(s.extract_sub_str(','), "c");
  EXPECT_EQ(s, ",");
  EXPECT_TRUE(s.extract_sub_str(',').is_null());
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringTokens, OtherBytesAreNotDelimiters) {
  my_string s("a\tb c");
  EXPECT_EQ(s.extract_sub_str(' '), "a\tb");
  EXPECT_EQ(s.extract_sub_str(' '), "c");
}

// ------------------------------------------------------------------- read_line

TEST(MyStringReadLine, ReadsLinesWithoutTheLineFeed) {
  std::istringstream in("first line\n\nthird\n");
  my_string s("previous");
  EXPECT_EQ(s.read_line(in), 1);
  EXPECT_EQ(s, "first line");
  EXPECT_EQ(s.read_line(in), 1);
  EXPECT_TRUE(s.is_null());
  EXPECT_EQ(s.read_line(in), 1);
  EXPECT_EQ(s, "third");
  EXPECT_TRUE(in.good());
  EXPECT_EQ(s.read_line(in), 1);  // always 1; end of input shows in the stream
  EXPECT_TRUE(s.is_null());
  EXPECT_TRUE(in.eof());
}

TEST(MyStringReadLine, KeepsTheCarriageReturn) {
  std::istringstream in("ab\r\ncd\r\n");
  my_string s;
  s.read_line(in);
  EXPECT_EQ(s, "ab\r");
  s.read_line(in);
  EXPECT_EQ(s, "cd\r");
}

TEST(MyStringReadLine, LastLineWithoutLineFeed) {
  std::istringstream in("x\ny");
  my_string s;
  s.read_line(in);
  EXPECT_EQ(s, "x");
  s.read_line(in);
  EXPECT_EQ(s, "y");
  EXPECT_TRUE(in.eof());
  EXPECT_FALSE(in.fail());
}

TEST(MyStringReadLine, LastLineWithoutLineFeedFromAFile) {
  TempDir dir;
  const std::string path = dir.file("lines.txt");
  {
    std::ofstream out(path, std::ios::binary);
    out << "alpha\nbeta";
  }
  std::ifstream in(path);
  my_string s;
  s.read_line(in);
  EXPECT_EQ(s, "alpha");
  s.read_line(in);
  EXPECT_EQ(s, "beta");
  s.read_line(in);
  EXPECT_TRUE(s.is_null());
  EXPECT_TRUE(in.fail());
}

TEST(MyStringReadLine, LineOfOneByteBelowTheLimitIsReadWhole) {
  const std::string line = bytes(kMax - 1, 'A');
  std::istringstream in(line + "\nnext\n");
  my_string s;
  s.read_line(in);
  EXPECT_EQ(s.length(), 1001099);
  EXPECT_TRUE(s.str() == line);  // no dump of long texts on failure
  s.read_line(in);
  EXPECT_EQ(s, "next");
}

TEST(MyStringReadLine, MuchLongerLineIsReadWhole) {
  std::string line = bytes(2000000, 'C');
  line[0] = 'G';
  line.back() = 'T';
  std::istringstream in(line + "\nafter\n");
  my_string s;
  s.read_line(in);
  EXPECT_EQ(s.length(), 2000000);
  EXPECT_TRUE(s.str() == line);  // no dump of long texts on failure
  // The long line is copied whole, too.
  const my_string copy(s);
  EXPECT_EQ(copy.length(), 2000000);
  s.read_line(in);
  EXPECT_EQ(s, "after");
}

// ---------------------------------------------------------------- read_to_delim

TEST(MyStringReadToDelim, StopsAtTheDelimiterAndConsumesIt) {
  std::istringstream in("abc;def\nghi");
  my_string s("old");
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(in.peek(), 'd');
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "def");  // a line feed also ends the read
  EXPECT_EQ(in.peek(), 'g');
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "ghi");
  EXPECT_TRUE(in.eof());
}

// Successive reads of one stream: read_to_delim with a delimiter (or with none:
// the whitespace form) and read_token.
TEST(MyStringReadToDelim, SuccessiveReadsGiveTheExpectedPieces) {
  struct Case {
    const char* what;
    std::string data;
    int form;  // ';' or ',': that delimiter; 0: whitespace form; 1: read_token
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"NUL and byte 255 end the read",
       std::string("ab\0cd\xff"
                   "ef",
                   8),
       ';',
       {"ab", "cd", "ef"}},
      {"blanks do not end it", "a b\tc\r,d", ',', {"a b\tc\r"}},
      {"whitespace form keeps CR", "ab cd\tef\r\ngh", 0, {"ab", "cd", "ef\r", "gh"}},
      {"whitespace form, NUL and 255",
       std::string("ab\0cd\xff"
                   "e",
                   7),
       0,
       {"ab", "cd", "e"}},
      {"tokens skip blanks and line feeds",
       "  \t\n ab\tcd  ef\n\ngh",
       1,
       {"ab", "cd", "ef", "gh", ""}},
      {"CR is part of a token", "ab\r\ncd", 1, {"ab\r", "cd"}},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.data);
    my_string s("old");
    for (const std::string& piece : c.pieces) {
      if (c.form == 1) {
        s.read_token(in);
      } else if (c.form == 0) {
        s.read_to_delim(in);
      } else {
        s.read_to_delim(in, static_cast<char>(c.form));
      }
      EXPECT_EQ(s.str(), piece) << c.what;
    }
  }
}
TEST(MyStringReadToDelim, FailedStreamGivesEmptyString) {
  std::istringstream in("abc");
  in.setstate(std::ios::failbit);
  my_string s("old");
  s.read_to_delim(in, ';');
  EXPECT_TRUE(s.is_null());
  s = "old";
  s.read_to_delim(in);
  EXPECT_TRUE(s.is_null());
}

// ------------------------------------------------------------------ read_token

TEST(MyStringReadToken, LongTokenIsReadWhole) {
  const std::string token = bytes(5000, 'T');
  std::istringstream in(" " + token + " x");
  my_string s;
  s.read_token(in);
  EXPECT_TRUE(s.str() == token);  // no dump of long texts on failure
}

// ---------------------------------------------------------------- GetNextQuota

TEST(MyStringQuota, AppendsTheQuotedText) {
  std::istringstream in("Title=\"My project\" rest\n");
  my_string s("pre-");
  EXPECT_EQ(s.GetNextQuota(in), 1);
  EXPECT_EQ(s, "pre-My project");
  EXPECT_EQ(in.peek(), ' ');
}

TEST(MyStringQuota, ReadsSuccessiveQuotesOfOneLine) {
  std::istringstream in("\"a b\" \"\" \"c\"\n");
  my_string s;
  EXPECT_EQ(s.GetNextQuota(in), 1);
  EXPECT_EQ(s, "a b");
  s.clear();
  EXPECT_EQ(s.GetNextQuota(in), 1);
  EXPECT_TRUE(s.is_null());
  EXPECT_EQ(s.GetNextQuota(in), 1);
  EXPECT_EQ(s, "c");
  EXPECT_EQ(s.GetNextQuota(in), 0);  // line feed before any quote
}

TEST(MyStringQuota, LineFeedBeforeTheOpeningQuoteFails) {
  std::istringstream in("Title=none\n\"next\"");
  my_string s;
  EXPECT_EQ(s.GetNextQuota(in), 0);
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringQuota, LineFeedBeforeTheClosingQuoteFails) {
  std::istringstream in("\"abc\ndef\"");
  my_string s;
  EXPECT_EQ(s.GetNextQuota(in), 0);
}

TEST(MyStringQuota, EndOfInputFails) {
  std::istringstream open_only("x = \"abc");
  my_string s;
  EXPECT_EQ(s.GetNextQuota(open_only), 0);
  std::istringstream none("no quote");
  EXPECT_EQ(s.GetNextQuota(none), 0);
  std::istringstream failed("\"a\"");
  failed.setstate(std::ios::failbit);
  EXPECT_EQ(s.GetNextQuota(failed), 0);
}

// ------------------------------------------------------------------ operator>>

TEST(MyStringExtractOperator, TabInsideATokenIsKept) {
  std::istringstream in("  \tab\tcd ef\n");
  my_string s("old");
  in >> s;
  EXPECT_EQ(s, "ab\tcd");
  in >> s;
  EXPECT_EQ(s, "ef");
  EXPECT_EQ(in.get(), '\n');  // the line feed was put back
}

TEST(MyStringExtractOperator, LineFeedMetWhileSkippingBlanksIsPutBack) {
  std::istringstream in(" \t \nnext");
  my_string s("old");
  in >> s;
  EXPECT_TRUE(s.is_null());
  EXPECT_EQ(in.get(), '\n');
  in >> s;
  EXPECT_EQ(s, "next");
}

TEST(MyStringExtractOperator, CarriageReturnAfterBlanksGivesEmptyToken) {
  std::istringstream in("  \r\nab");
  my_string s("old");
  in >> s;
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringExtractOperator, CarriageReturnEndsAToken) {
  std::istringstream in("ab\r\n");
  my_string s;
  in >> s;
  EXPECT_EQ(s, "ab");
}

TEST(MyStringExtractOperator, EndOfInputEndsAToken) {
  std::istringstream in("last");
  my_string s;
  in >> s;
  EXPECT_EQ(s, "last");
  EXPECT_TRUE(in.eof());
}

TEST(MyStringInsertOperator, WritesTheBytes) {
  std::ostringstream out;
  out << my_string("a b\t") << my_string() << my_string("c");
  EXPECT_EQ(out.str(), "a b\tc");
  EXPECT_TRUE(out.good());
}

// ------------------------------------------------------------- my_strtok_right

TEST(MyStrtokRight, CutsAtTheLastOccurrence) {
  char path[] = "a/b/c";
  my_strtok_right(path, '/');
  EXPECT_STREQ(path, "a/b");
  char lead[] = "/abc";
  my_strtok_right(lead, '/');
  EXPECT_STREQ(lead, "");
}

TEST(MyStrtokRight, AbsentCharacterLeavesTheArray) {
  char text[] = "abc";
  my_strtok_right(text, '/');
  EXPECT_STREQ(text, "abc");
  char empty[] = "";
  my_strtok_right(empty, '/');
  EXPECT_STREQ(empty, "");
}

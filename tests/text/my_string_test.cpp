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

TEST(MyStringContains, FindsContiguousSubstrings) {
  const my_string s("abcdef");
  EXPECT_TRUE(s.contains("cde"));
  EXPECT_TRUE(s.contains("abcdef"));
  EXPECT_TRUE(s.contains("a"));
  EXPECT_TRUE(s.contains("f"));
  EXPECT_FALSE(s.contains("ace"));
  EXPECT_FALSE(s.contains("CDE"));  // case-sensitive
  EXPECT_TRUE(s.contains(my_string("def")));
  EXPECT_FALSE(s.contains(my_string("efg")));
}

TEST(MyStringContains, EmptyOrLongerPatternIsFalse) {
  const my_string s("abc");
  EXPECT_FALSE(s.contains(""));
  EXPECT_FALSE(s.contains(my_string()));
  EXPECT_FALSE(s.contains("abcd"));
  EXPECT_FALSE(my_string().contains("a"));
  EXPECT_FALSE(my_string().contains(""));
}

TEST(MyStringContains, SingleByte) {
  const my_string s("a=b");
  EXPECT_TRUE(s.contains('='));
  EXPECT_TRUE(s.contains('b'));
  EXPECT_FALSE(s.contains('B'));
  EXPECT_FALSE(my_string().contains('a'));
}

TEST(MyStringFind, FirstOfGivesFirstIndexOrMinusOne) {
  const my_string s("banana");
  EXPECT_EQ(s.find_first_of('b'), 0);
  EXPECT_EQ(s.find_first_of('a'), 1);
  EXPECT_EQ(s.find_first_of('n'), 2);
  EXPECT_EQ(s.find_first_of('z'), -1);
  EXPECT_EQ(my_string().find_first_of('a'), -1);
}

TEST(MyStringFind, LastOfGivesLengthWhenAbsentAndZeroForEmpty) {
  const my_string s("banana");
  EXPECT_EQ(s.find_last_of('a'), 5);
  EXPECT_EQ(s.find_last_of('n'), 4);
  EXPECT_EQ(s.find_last_of('b'), 0);
  EXPECT_EQ(s.find_last_of('z'), 6);  // absent: the length, not -1
  EXPECT_EQ(my_string().find_last_of('a'), 0);
}

TEST(MyStringFind, RfindGivesTheFirstOccurrence) {
  const my_string s("abab");
  EXPECT_EQ(s.rfind(my_string("ab")), 0);
  EXPECT_EQ(s.rfind(my_string("ba")), 1);
  EXPECT_EQ(s.rfind(my_string("b")), 1);
  EXPECT_EQ(s.rfind(my_string("abab")), 0);
  EXPECT_EQ(my_string("xxabcab").rfind(my_string("ab")), 2);
}

TEST(MyStringFind, RfindIsMinusOneForEmptyLongerOrAbsentPattern) {
  const my_string s("abab");
  EXPECT_EQ(s.rfind(my_string()), -1);
  EXPECT_EQ(s.rfind(my_string("ababa")), -1);
  EXPECT_EQ(s.rfind(my_string("abc")), -1);
  EXPECT_EQ(my_string().rfind(my_string("a")), -1);
}

// ---------------------------------------------------------------- letter case

TEST(MyStringCase, UpperChangesOnlyAsciiLetters) {
  // '@' and '[' surround 'A'..'Z'; '`' and '{' surround 'a'..'z'.
  my_string s("az-AZ 09_@[`{}\xe1\xe9\xff\x80");
  s.Upper();
  EXPECT_EQ(s, "AZ-AZ 09_@[`{}\xe1\xe9\xff\x80");
  my_string t("mixed Case 1");
  t.to_upper();
  EXPECT_EQ(t, "MIXED CASE 1");
}

TEST(MyStringCase, LowerChangesOnlyAsciiLetters) {
  my_string s("AZ-az 09_@[`{}\xc1\xc9\xff\x80");
  s.Lower();
  EXPECT_EQ(s, "az-az 09_@[`{}\xc1\xc9\xff\x80");
  my_string t("MIXED Case 1");
  t.to_lower();
  EXPECT_EQ(t, "mixed case 1");
}

TEST(MyStringCase, AllLettersRoundTrip) {
  my_string s("abcdefghijklmnopqrstuvwxyz");
  s.Upper();
  EXPECT_EQ(s, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  s.Lower();
  EXPECT_EQ(s, "abcdefghijklmnopqrstuvwxyz");
}

// -------------------------------------------------------------------- removing

TEST(MyStringRemove, DeletesCountBytesFromPosition) {
  my_string s("abcdef");
  s.remove(1, 2);
  EXPECT_EQ(s, "adef");
  my_string t("abcdef");
  t.remove(0, 1);
  EXPECT_EQ(t, "bcdef");
}

TEST(MyStringRemove, CountBelowOneOrNegativePositionDoesNothing) {
  my_string s("abcdef");
  s.remove(2, 0);
  EXPECT_EQ(s, "abcdef");
  s.remove(2, -3);
  EXPECT_EQ(s, "abcdef");
  s.remove(-1, 2);
  EXPECT_EQ(s, "abcdef");
}

TEST(MyStringRemove, ReachingOrPassingTheEndCutsAtPosition) {
  my_string exact("abcdef");
  exact.remove(3, 3);
  EXPECT_EQ(exact, "abc");
  my_string past("abcdef");
  past.remove(3, 100);
  EXPECT_EQ(past, "abc");
  my_string huge("abcdef");
  huge.remove(2, INT_MAX);
  EXPECT_EQ(huge, "ab");
  my_string all("abcdef");
  all.remove(0, 6);
  EXPECT_TRUE(all.is_null());
}

TEST(MyStringRemove, PositionAtOrPastTheEndChangesNothing) {
  my_string s("abc");
  s.remove(3, 1);
  EXPECT_EQ(s, "abc");
  s.remove(10, 2);
  EXPECT_EQ(s, "abc");
}

TEST(MyStringRemove, RemovesDeletesOnlyTheFirstOccurrence) {
  my_string s("abcabc");
  EXPECT_EQ(s.removes(my_string("bc")), 1);
  EXPECT_EQ(s, "aabc");
  EXPECT_EQ(s.removes(my_string("bc")), 1);
  EXPECT_EQ(s, "aa");
  EXPECT_EQ(s.removes(my_string("bc")), 0);
  EXPECT_EQ(s, "aa");
}

TEST(MyStringRemove, RemovesRefusesEmptyOrLongerPattern) {
  my_string s("abc");
  EXPECT_EQ(s.removes(my_string()), 0);
  EXPECT_EQ(s.removes(my_string("abcd")), 0);
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(s.removes(my_string("abc")), 1);
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringRemove, BlanksAreSpacesAndTabsOnly) {
  my_string s(" a\tb  c\t\r\n");
  s.remove_blanks();
  EXPECT_EQ(s, "abc\r\n");
  my_string only(" \t \t");
  only.remove_blanks();
  EXPECT_TRUE(only.is_null());
}

TEST(MyStringRemove, EolAndLfAreCarriageReturnsAndLineFeeds) {
  my_string s("a\r\nb\rc\n d\t");
  s.remove_eol_and_lf();
  EXPECT_EQ(s, "abc d\t");
  my_string only("\r\n\n\r");
  only.remove_eol_and_lf();
  EXPECT_TRUE(only.is_null());
}

// ----------------------------------------------------------------------- paths

TEST(MyStringPath, RmPathKeepsWhatFollowsTheLastSeparator) {
  my_string mixed("C:\\data/runs\\name.qnp");
  mixed.rm_path();
  EXPECT_EQ(mixed, "name.qnp");
  my_string slash_then_backslash("dir/\\name.qnp");
  slash_then_backslash.rm_path();
  EXPECT_EQ(slash_then_backslash, "name.qnp");
  my_string backslash_then_slash("a\\b/c");
  backslash_then_slash.rm_path();
  EXPECT_EQ(backslash_then_slash, "c");
}

TEST(MyStringPath, RmPathWithoutSeparatorOrEndingInOne) {
  my_string plain("name.qnp");
  plain.rm_path();
  EXPECT_EQ(plain, "name.qnp");
  my_string dir("a/b/");
  dir.rm_path();
  EXPECT_TRUE(dir.is_null());
  my_string win("a\\b\\");
  win.rm_path();
  EXPECT_TRUE(win.is_null());
}

TEST(MyStringPath, ExtractPathKeepsUpToAndIncludingTheLastSeparator) {
  my_string slash_then_backslash("dir/\\name.qnp");
  slash_then_backslash.extract_path();
  EXPECT_EQ(slash_then_backslash, "dir/\\");
  my_string backslash_then_slash("a\\b/c");
  backslash_then_slash.extract_path();
  EXPECT_EQ(backslash_then_slash, "a\\b/");
  my_string dir("a/b/");
  dir.extract_path();
  EXPECT_EQ(dir, "a/b/");
}

TEST(MyStringPath, ExtractPathWithoutSeparatorGivesEmpty) {
  my_string plain("name.qnp");
  plain.extract_path();
  EXPECT_TRUE(plain.is_null());
}

TEST(MyStringExtension, CutsAtTheLastDotOfTheFileName) {
  my_string a("x.tar.gz");
  a.remove_extension();
  EXPECT_EQ(a, "x.tar");
  my_string b("runs.qnp.d/a.qnp");
  b.remove_extension();
  EXPECT_EQ(b, "runs.qnp.d/a");
  my_string c("dir.x\\file.qnp");
  c.remove_extension();
  EXPECT_EQ(c, "dir.x\\file");
  // The extension text also occurs earlier: only the final one goes.
  my_string d("a.qnp.b.qnp");
  d.remove_extension();
  EXPECT_EQ(d, "a.qnp.b");
  my_string e("file.");
  e.remove_extension();
  EXPECT_EQ(e, "file");
}

TEST(MyStringExtension, DotOnlyInADirectoryNameIsNoExtension) {
  my_string a("a/b.c/d");
  a.remove_extension();
  EXPECT_EQ(a, "a/b.c/d");
  my_string b("a\\b.c\\d");
  b.remove_extension();
  EXPECT_EQ(b, "a\\b.c\\d");
  my_string none("noext");
  none.remove_extension();
  EXPECT_EQ(none, "noext");
  my_string empty;
  empty.remove_extension();
  EXPECT_TRUE(empty.is_null());
}

TEST(MyStringExtension, WorksOnLongNames) {
  const std::string stem = "d/" + bytes(700, 'n');
  my_string s((stem + ".qnp").c_str());
  s.remove_extension();
  EXPECT_TRUE(s.str() == stem);  // no dump of long texts on failure
}

// ------------------------------------------------------------- other edits

TEST(MyStringEdit, ReverseString) {
  my_string s("abc\xff");
  s.reverse_string();
  EXPECT_EQ(s,
            "\xff"
            "cba");
  my_string two("ab");
  two.reverse_string();
  EXPECT_EQ(two, "ba");
  my_string empty;
  empty.reverse_string();
  EXPECT_TRUE(empty.is_null());
}

TEST(MyStringEdit, ConvertToSlash) {
  my_string s("C:\\a\\b/c");
  s.convert_to_slash();
  EXPECT_EQ(s, "C:/a/b/c");
  my_string h("\\\\x");
  h.convert_to_html_slash();
  EXPECT_EQ(h, "//x");
}

TEST(MyStringEdit, ConvertToUnderline) {
  my_string s("C:\\a/b.c d");
  s.convert_to_underline();
  EXPECT_EQ(s, "C__a_b.c d");
}

TEST(MyStringEdit, BlankToHtmlBlank) {
  my_string s(" a b  c ");
  s.convert_blank_to_html_blank();
  EXPECT_EQ(s, "%20a%20b%20%20c%20");
  my_string none("abc");
  none.convert_blank_to_html_blank();
  EXPECT_EQ(none, "abc");
}

TEST(MyStringEdit, BlankToUnderlineReturnsACopy) {
  const my_string s("a b  c\t");
  EXPECT_EQ(s.convert_blank_to_underline(), "a_b__c\t");
  EXPECT_EQ(s, "a b  c\t");
}

// ------------------------------------------------------------------ extraction

TEST(MyStringExtract, BeforeTheFirstDelimiter) {
  const my_string s("key=value=x");
  EXPECT_EQ(s.extract_before('='), "key");
  EXPECT_EQ(s, "key=value=x");
  EXPECT_EQ(s.extract_before('#'), "key=value=x");
  EXPECT_TRUE(my_string("=v").extract_before('=').is_null());
  EXPECT_TRUE(my_string().extract_before('=').is_null());
}

TEST(MyStringExtract, AfterTheFirstDelimiter) {
  const my_string s("key=value=x");
  EXPECT_EQ(s.extract_after('='), "value=x");
  EXPECT_EQ(s, "key=value=x");
  EXPECT_EQ(s.extract_after('#'), "key=value=x");
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

TEST(MyStringReadToDelim, NulAndByte255EndTheRead) {
  const std::string data(
      "ab\0cd\xff"
      "ef",
      8);
  std::istringstream in(data);
  my_string s;
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "ab");
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "cd");
  s.read_to_delim(in, ';');
  EXPECT_EQ(s, "ef");
}

TEST(MyStringReadToDelim, BlanksDoNotEndTheReadWithAGivenDelimiter) {
  std::istringstream in("a b\tc\r,d");
  my_string s;
  s.read_to_delim(in, ',');
  EXPECT_EQ(s, "a b\tc\r");
}

TEST(MyStringReadToDelim, WhitespaceFormStopsAtBlanksAndKeepsCarriageReturn) {
  std::istringstream in("ab cd\tef\r\ngh");
  my_string s;
  s.read_to_delim(in);
  EXPECT_EQ(s, "ab");
  s.read_to_delim(in);
  EXPECT_EQ(s, "cd");
  s.read_to_delim(in);
  EXPECT_EQ(s, "ef\r");
  s.read_to_delim(in);
  EXPECT_EQ(s, "gh");
}

TEST(MyStringReadToDelim, WhitespaceFormStopsAtNulAndByte255) {
  const std::string data(
      "ab\0cd\xff"
      "e",
      7);
  std::istringstream in(data);
  my_string s;
  s.read_to_delim(in);
  EXPECT_EQ(s, "ab");
  s.read_to_delim(in);
  EXPECT_EQ(s, "cd");
  s.read_to_delim(in);
  EXPECT_EQ(s, "e");
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

TEST(MyStringReadToken, SkipsBlanksAndLineFeedsBetweenTokens) {
  std::istringstream in("  \t\n ab\tcd  ef\n\ngh");
  my_string s("old");
  s.read_token(in);
  EXPECT_EQ(s, "ab");
  s.read_token(in);
  EXPECT_EQ(s, "cd");
  s.read_token(in);
  EXPECT_EQ(s, "ef");
  s.read_token(in);
  EXPECT_EQ(s, "gh");
  s.read_token(in);
  EXPECT_TRUE(s.is_null());
}

TEST(MyStringReadToken, CarriageReturnIsPartOfTheToken) {
  std::istringstream in("ab\r\ncd");
  my_string s;
  s.read_token(in);
  EXPECT_EQ(s, "ab\r");
  s.read_token(in);
  EXPECT_EQ(s, "cd");
}

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

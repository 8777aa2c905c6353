// Byte-class scans, ASCII upper-casing and the case-blind substring test,
// each checked against the obvious one-byte-at-a-time loop written here.
#include "text/byte_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <set>
#include <string>

namespace {

using qnd_text::ByteTable;

size_t naive_find_marked(const std::string& text, const ByteTable& table, size_t from) {
  for (size_t i = from; i < text.size(); ++i)
    if (table[static_cast<unsigned char>(text[i])] != 0) return i;
  return text.size();
}

size_t naive_find_unmarked(const std::string& text, const ByteTable& table, size_t from) {
  for (size_t i = from; i < text.size(); ++i)
    if (table[static_cast<unsigned char>(text[i])] == 0) return i;
  return text.size();
}

// The first position at or after from whose byte passes the test.
template <class Test>
size_t naive_first(const std::string& text, size_t from, Test test) {
  for (size_t i = from; i < text.size(); ++i)
    if (test(static_cast<unsigned char>(text[i]))) return i;
  return text.size();
}

std::string naive_upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool naive_contains_upper(const std::string& text, const std::string& pattern) {
  if (pattern.empty() || pattern.size() > text.size()) return false;
  return naive_upper(text).find(pattern) != std::string::npos;
}

ByteTable marks(const std::string& bytes) {
  ByteTable table{};
  for (char c : bytes) table[static_cast<unsigned char>(c)] = 1;
  return table;
}

// A random text over alphabet, of the given length.
std::string random_text(std::mt19937& rng, const std::string& alphabet, size_t length) {
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (size_t i = 0; i < length; ++i) text += alphabet[pick(rng)];
  return text;
}

TEST(ByteTableScan, MarkedByteFoundAtEveryPositionAroundTheUnrolledBlocks) {
  const ByteTable table = marks("#");
  // One mark at each position of texts up to three blocks of eight long, and
  // every start position: the block loop and the tail loop must agree.
  for (size_t length = 0; length <= 25; ++length) {
    for (size_t mark = 0; mark <= length; ++mark) {
      std::string text(length, 'a');
      if (mark < length) text[mark] = '#';
      for (size_t from = 0; from <= length; ++from) {
        EXPECT_EQ(qnd_text::find_marked(text, table, from), naive_find_marked(text, table, from))
            << length << " " << mark << " " << from;
      }
    }
  }
}

TEST(ByteTableScan, NonLetterScanAgreesWithTheByteLoopOnAllByteValues) {
  // One byte of every value at several places in runs of letters and digits
  // around the word sizes, every start; in runs of letters only around the
  // block size, every seventh start.
  for (int c = 0; c < 256; ++c) {
    for (size_t length : {1, 7, 8, 9, 16, 17, 24, 33, 127, 128, 129, 300}) {
      const size_t step = length > 40 ? 7 : 1;
      const char* const base = length > 40 ? "ACGTacgtNnZzYyAa" : "ACGTacgtNnZz0123";
      for (size_t at = 0; at < length; at += 5 * step) {
        std::string text;
        for (size_t k = 0; k < length; ++k) text += base[k % 16];
        text[at] = static_cast<char>(c);
        for (size_t from = 0; from <= length; from += step)
          ASSERT_EQ(qnd_text::find_non_letter(text, from),
                    naive_first(text, from, [](unsigned char b) { return !std::isalpha(b) || b > 127; }))
              << c << " " << length << " " << at << " " << from;
      }
    }
  }
}

TEST(ByteTableScan, ByteSetPositionsAgreeWithTheByteLoop) {
  // Random texts over letters with blanks, tabs, carriage returns, '#' and
  // separators; sets as the line rules and the token split use them;
  // positions asked for in increasing steps of several sizes.
  std::mt19937 rng(5);
  const std::string sets[] = {" \t\r#", std::string(" \t\r#:", 5), " \t", std::string(" \t\r#\xE9", 5),
                              std::string(" \t\r##", 5), "x"};
  for (const std::string& set : sets) {
    for (int round = 0; round < 300; ++round) {
      // Mostly letters, so that runs longer than the bytes looked at one by
      // one leave the rest to memchr.
      const std::string text = random_text(
          rng, std::string(60, 'A') + std::string("CGT \t\r#:\xE9x", 10), static_cast<size_t>(round % 150));
      for (size_t step = 1; step <= 4; ++step) {
        qnd_text::ByteSetFinder finder(text, set);
        for (size_t from = round % 3; from <= text.size(); from += step)
          ASSERT_EQ(finder.next(from), naive_first(text, from, [&](unsigned char b) {
                      return set.find(static_cast<char>(b)) != std::string::npos;
                    })) << round << " " << step << " " << from;
      }
    }
  }
}

TEST(ByteTableScan, BothScansAgreeWithByteLoopsOnAllByteValues) {
  std::string every_byte;
  for (int c = 0; c < 256; ++c) every_byte += static_cast<char>(c);
  std::mt19937 rng(11);
  const ByteTable table = marks(std::string("\0\t \x80\xff", 5));
  for (int round = 0; round < 300; ++round) {
    const std::string text = random_text(rng, every_byte, static_cast<size_t>(round % 40));
    for (size_t from = 0; from <= text.size(); ++from) {
      ASSERT_EQ(qnd_text::find_marked(text, table, from), naive_find_marked(text, table, from));
      ASSERT_EQ(qnd_text::find_unmarked(text, table, from), naive_find_unmarked(text, table, from));
    }
  }
}

TEST(ByteTableScan, EmptyTableAndFullTable) {
  const std::string text = "some text of more than eight bytes";
  EXPECT_EQ(qnd_text::find_marked(text, ByteTable{}), text.size());
  ByteTable all{};
  all.fill(1);
  EXPECT_EQ(qnd_text::find_marked(text, all, 5), 5u);
  EXPECT_EQ(qnd_text::find_unmarked(text, all), text.size());
  EXPECT_EQ(qnd_text::find_marked("", all), 0u);
}

TEST(UpperAscii, OnlyTheTwentySixLowerCaseLettersChange) {
  // Every byte value, in a text long enough for vector code plus a tail.
  std::string text;
  for (int round = 0; round < 3; ++round)
    for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  text += "xyz";
  std::string upper = text;
  qnd_text::upper_ascii(upper);
  ASSERT_EQ(upper.size(), text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto expected = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    ASSERT_EQ(static_cast<unsigned char>(upper[i]), expected) << "byte " << int(c);
  }
  std::string empty;
  qnd_text::upper_ascii(empty);
  EXPECT_EQ(empty, "");
  // One lower-case letter behind blocks of upper-case ones.
  for (size_t at : {0, 127, 128, 255, 256, 299}) {
    std::string long_text(300, 'G');
    long_text[at] = 'g';
    qnd_text::upper_ascii(long_text);
    EXPECT_EQ(long_text, std::string(300, 'G')) << at;
  }
}

TEST(ContainsUpper, FindsKeywordsWrittenInAnyCase) {
  EXPECT_TRUE(qnd_text::contains_upper("  sampleName=\"a\"", "SAMPLENAME"));
  EXPECT_TRUE(qnd_text::contains_upper("x [Structure]", "[STRUCTURE]"));
  EXPECT_TRUE(qnd_text::contains_upper("[mantel]", "[MANTEL]"));        // the whole text
  EXPECT_TRUE(qnd_text::contains_upper("ssSAMPLENAMe", "SAMPLENAME"));  // at the end
  EXPECT_FALSE(qnd_text::contains_upper("SAMPLE NAME", "SAMPLENAME"));
  EXPECT_FALSE(qnd_text::contains_upper("SAMPLENAM", "SAMPLENAME"));  // pattern longer
  EXPECT_FALSE(qnd_text::contains_upper("abc", ""));                  // empty pattern
  // Only ASCII letters fold: byte 0xF3 is not a lower-case 'S'.
  EXPECT_FALSE(
      qnd_text::contains_upper("\xF3"
                               "AMPLENAME",
                               "SAMPLENAME"));
}

TEST(ContainsUpper, AgreesWithSearchingAnUpperCasedCopy) {
  std::mt19937 rng(5);
  const std::string alphabet = "sSaA[]mM \xE1\xC1";
  for (const std::string pattern : {"SA", "S", "[MA", "AS A", "SS"}) {
    for (int round = 0; round < 2000; ++round) {
      const std::string text = random_text(rng, alphabet, static_cast<size_t>(round % 12));
      ASSERT_EQ(qnd_text::contains_upper(text, pattern), naive_contains_upper(text, pattern))
          << '"' << text << "\" / " << pattern;
    }
  }
}

}  // namespace

TEST(HashText, EveryOneByteChangeAndEveryLengthGiveAnotherValue) {
  // A change of any one byte of a text changes exactly one of its 8-byte words;
  // texts that differ only in length (trailing zero bytes included) differ too.
  std::string text;
  for (int k = 0; k < 100; ++k) text += "ACGT"[k % 4];
  const std::uint64_t base = qnd_text::hash_text(text);
  for (size_t at = 0; at < text.size(); ++at) {
    for (const char c : {'A', 'N', '\0', '\xFF'}) {
      if (text[at] == c) continue;
      std::string changed = text;
      changed[at] = c;
      ASSERT_NE(qnd_text::hash_text(changed), base) << at << " " << int(c);
    }
  }
  std::set<std::uint64_t> by_length;
  for (size_t n = 0; n <= 70; ++n) by_length.insert(qnd_text::hash_text(std::string(n, '\0')));
  EXPECT_EQ(by_length.size(), 71u);
  EXPECT_EQ(qnd_text::hash_text(std::string(text)), base);
}

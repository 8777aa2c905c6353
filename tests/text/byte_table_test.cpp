// Byte-class scans, ASCII upper-casing, the case-blind substring test and the
// text hash, each against the obvious one-byte-at-a-time loop written here, on
// random texts over every byte value and around the unrolled block sizes.
#include "text/byte_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>

namespace {

using qnd_text::ByteTable;

// The first position at or after from whose byte passes the test.
size_t naive_first(const std::string& text, size_t from, const std::function<bool(int)>& test) {
  for (size_t i = from; i < text.size(); ++i)
    if (test(static_cast<unsigned char>(text[i]))) return i;
  return text.size();
}

std::string naive_upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

TEST(ByteTable, ScansAgreeWithByteLoops) {
  std::mt19937 rng(11);
  ByteTable table{};
  for (const char c : std::string("\0\t \x80\xff#", 6)) table[static_cast<unsigned char>(c)] = 1;
  const auto marked = [&](int b) { return table[static_cast<size_t>(b)] != 0; };
  const auto non_letter = [](int b) { return !((b | 32) >= 'a' && (b | 32) <= 'z'); };
  const std::string sets[] = {" \t\r#", std::string(" \t\r#:\xE9", 6), "x"};
  for (int round = 0; round < 3000; ++round) {
    // Mostly letters, so that long runs reach the block and memchr paths; any byte
    // value now and then, at any place.
    std::string text(static_cast<size_t>(rng() % 150), 'A');
    for (char& c : text) {
      const unsigned r = rng() % 64;
      c = r < 40 ? "ACGTacgtNnZz"[r % 12] : r < 56 ? " \t\r#:\xE9xa"[r % 8] : char(rng() % 256);
    }
    for (size_t from = round % 3; from <= text.size(); from += 1 + round % 4) {
      ASSERT_EQ(qnd_text::find_marked(text, table, from), naive_first(text, from, marked));
      ASSERT_EQ(qnd_text::find_unmarked(text, table, from),
                naive_first(text, from, [&](int b) { return !marked(b); }));
      ASSERT_EQ(qnd_text::find_non_letter(text, from), naive_first(text, from, non_letter));
    }
    for (const std::string& set : sets) {
      qnd_text::ByteSetFinder finder(text, set);
      for (size_t from = round % 3; from <= text.size(); from += 1 + round % 4)
        ASSERT_EQ(
            finder.next(from),
            naive_first(text, from,
                        [&](int b) { return set.find(static_cast<char>(b)) != std::string::npos; }))
            << set << " " << from;
    }
    std::string upper = text;
    qnd_text::upper_ascii(upper);
    ASSERT_EQ(upper, naive_upper(text));
    for (const std::string pattern : {"AC", "T#A", "NNZ"}) {
      const size_t at = naive_upper(text).find(pattern);
      ASSERT_EQ(qnd_text::contains_upper(text, pattern), at != std::string::npos) << pattern;
    }
  }
  EXPECT_FALSE(qnd_text::contains_upper("abc", ""));
  EXPECT_FALSE(qnd_text::contains_upper("SAMPLENAM", "SAMPLENAME"));
  EXPECT_FALSE(
      qnd_text::contains_upper("\xF3"
                               "AMPLENAME",
                               "SAMPLENAME"));  // not an 's'
}

TEST(ByteTable, HashChangesWithEveryByteAndEveryLength) {
  const std::string text(100, 'A');
  const std::uint64_t base = qnd_text::hash_text(text);
  for (size_t at = 0; at < text.size(); ++at)
    for (const char c : {'C', 'N', '\0', '\xFF'})
      ASSERT_NE(qnd_text::hash_text(text.substr(0, at) + c + text.substr(at + 1)), base) << at;
  std::set<std::uint64_t> by_length;  // texts that differ only in length
  for (size_t n = 0; n <= 70; ++n) by_length.insert(qnd_text::hash_text(std::string(n, '\0')));
  EXPECT_EQ(by_length.size(), 71u);
}

// Byte-level scans over a class table.
#include "text/byte_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qnd_text {

namespace {

constexpr std::size_t kUnroll = 8;

inline bool is_lower_ascii(unsigned char c) { return static_cast<unsigned char>(c - 'a') < 26; }

// upper(c) == p for an upper-case pattern byte p: a letter matches either case.
inline bool equals_upper(char c, char p) {
  const auto u = static_cast<unsigned char>(c);
  return static_cast<char>(is_lower_ascii(u) ? u - ('a' - 'A') : u) == p;
}

bool matches_at(std::string_view text, std::size_t at, std::string_view pattern) {
  for (std::size_t k = 1; k < pattern.size(); ++k)
    if (!equals_upper(text[at + k], pattern[k])) return false;
  return true;
}

// Tries every start of text whose first byte is first (memchr does the
// skipping, which is what makes the search cheap on long lines).
bool search_from(std::string_view text, std::string_view pattern, char first) {
  const std::size_t last_start = text.size() - pattern.size();
  std::size_t from = 0;
  while (from <= last_start) {
    const void* hit = std::memchr(text.data() + from, first, last_start - from + 1);
    if (hit == nullptr) return false;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (matches_at(text, at, pattern)) return true;
    from = at + 1;
  }
  return false;
}

}  // namespace

std::size_t find_marked(std::string_view text, const ByteTable& table, std::size_t from) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = from;
  // Eight look-ups per test: the common case is a long run of unmarked bytes.
  for (; i + kUnroll <= n; i += kUnroll) {
    const unsigned any = table[p[i]] | table[p[i + 1]] | table[p[i + 2]] | table[p[i + 3]] |
                         table[p[i + 4]] | table[p[i + 5]] | table[p[i + 6]] | table[p[i + 7]];
    if (any != 0) break;
  }
  for (; i < n; ++i)
    if (table[p[i]] != 0) return i;
  return n;
}

ByteSetFinder::ByteSetFinder(std::string_view text, std::string_view bytes) : text_(text) {
  for (const char c : bytes) {
    if (count_ == kMaxBytes) break;
    bytes_[count_] = c;
    found_[count_] = std::string_view::npos;  // not looked for yet
    ++count_;
    member_[static_cast<unsigned char>(c)] = 1;
  }
}

std::size_t ByteSetFinder::next_far(std::size_t from) {
  const std::size_t n = text_.size();
  std::size_t nearest = n;
  for (std::size_t k = 0; k < count_; ++k) {
    std::size_t& at = found_[k];
    if (at == std::string_view::npos || (at < from && at < n)) {
      const void* hit = from < n ? std::memchr(text_.data() + from, bytes_[k], n - from) : nullptr;
      at = hit == nullptr ? n : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    }
    if (at >= from && at < nearest) nearest = at;
  }
  return nearest;
}

std::size_t find_non_letter(std::string_view text, std::size_t from) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const char* p = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
  // With the case bit set a letter is a byte from 'a' to 'z'. A byte below 'a'
  // borrows into its high bit when 'a' is taken off; a byte above 'z' (or with
  // its own high bit set) reaches the high bit when 127 - 'z' is added to its
  // low seven bits. Neither test can flag a byte wrongly below the first
  // non-letter of the word, so a flagged word is looked at byte by byte.
  const auto word_hit = [p](std::size_t at) {
    std::uint64_t x = 0;
    std::memcpy(&x, p + at, 8);
    x |= kOnes * 0x20;
    const std::uint64_t below = (x - kOnes * 'a') & ~x;
    const std::uint64_t above = ((x & kLow7) + kOnes * (127 - 'z')) | x;
    return (below | above) & kHighs;
  };
  // Long runs go 128 bytes at a time: a letter is a byte whose distance from
  // 'a', with the case bit set, is at most 25, and the largest distance of the
  // block is a maximum the compiler takes over many bytes at once.
  constexpr std::size_t kBlock = 128;
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  for (; i + kBlock <= n; i += kBlock) {
    unsigned char worst = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
      const auto d = static_cast<unsigned char>((u[i + k] | 0x20) - 'a');
      worst = d > worst ? d : worst;
    }
    if (worst > 'z' - 'a') break;
  }
  for (; i + 16 <= n; i += 16)
    if ((word_hit(i) | word_hit(i + 8)) != 0) break;
  for (; i + 8 <= n; i += 8)
    if (word_hit(i) != 0) break;
  for (; i < n; ++i) {
    const auto c = static_cast<unsigned char>(p[i] | 0x20);
    if (c < 'a' || c > 'z') return i;
  }
  return n;
}

std::size_t find_unmarked(std::string_view text, const ByteTable& table, std::size_t from) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = from;
  while (i < n && table[p[i]] != 0) ++i;
  return i;
}

void upper_ascii(char* text, std::size_t n) {
  auto* p = reinterpret_cast<unsigned char*>(text);
  // Text written in upper case, the usual case, is only read: blocks without a
  // lower-case letter (whose distance from 'a' is at most 25) are passed over.
  constexpr std::size_t kBlock = 128;
  std::size_t start = 0;
  for (; start + kBlock <= n; start += kBlock) {
    unsigned char nearest = 255;
    for (std::size_t k = 0; k < kBlock; ++k) {
      const auto d = static_cast<unsigned char>(p[start + k] - 'a');
      nearest = d < nearest ? d : nearest;
    }
    if (nearest <= 'z' - 'a') break;
  }
  // Branch-free so that the compiler turns it into vector code.
  for (std::size_t i = start; i < n; ++i) {
    const unsigned char c = p[i];
    p[i] = static_cast<unsigned char>(c - (is_lower_ascii(c) ? 'a' - 'A' : 0));
  }
}

std::uint64_t hash_text(std::string_view text) {
  constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15ULL;
  const char* p = text.data();
  const std::size_t n = text.size();
  std::uint64_t lane[4] = {0x243F6A8885A308D3ULL ^ n, 0x13198A2E03707344ULL, 0xA4093822299F31D0ULL,
                           0x082EFA98EC4E6C89ULL};
  const auto word = [p](std::size_t at) {
    std::uint64_t w = 0;
    std::memcpy(&w, p + at, 8);
    return w;
  };
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    for (int k = 0; k < 4; ++k) lane[k] = (lane[k] ^ word(i + 8 * static_cast<std::size_t>(k))) * kOdd;
  }
  for (int k = 0; i + 8 <= n; i += 8, ++k) lane[k] = (lane[k] ^ word(i)) * kOdd;
  if (i < n) {
    std::uint64_t w = 0;
    std::memcpy(&w, p + i, n - i);
    lane[3] = (lane[3] ^ w ^ 0xFF) * kOdd;
  }
  const auto rotl = [](std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); };
  std::uint64_t h = lane[0] ^ rotl(lane[1], 17) ^ rotl(lane[2], 31) ^ rotl(lane[3], 47);
  h ^= h >> 32;
  h *= kOdd;
  h ^= h >> 29;
  return h;
}

bool contains_upper(std::string_view text, std::string_view pattern) {
  if (pattern.empty() || pattern.size() > text.size()) return false;
  const char first = pattern[0];
  if (search_from(text, pattern, first)) return true;
  const bool letter = first >= 'A' && first <= 'Z';
  return letter && search_from(text, pattern, static_cast<char>(first + ('a' - 'A')));
}

}  // namespace qnd_text

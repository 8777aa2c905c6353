// Byte-level scanning for the readers of long data lines: a 256-entry table
// gives each byte value a class, so a character test is one look-up instead of
// a chain of comparisons or a library call. Sequence lines of a project run to
// millions of characters and every one of them is looked at several times
// (clean-up copy, token split, content check, upper-casing), which makes these
// loops the reading cost of a project.
#ifndef QND_TEXT_BYTE_TABLE_H
#define QND_TEXT_BYTE_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qnd_text {

// One class per byte value; 0 means "nothing to do" for the scans below.
using ByteTable = std::array<std::uint8_t, 256>;

inline std::uint8_t class_of(const ByteTable& table, char c) {
  return table[static_cast<unsigned char>(c)];
}

// One bit per pair of adjacent bytes of text (a hash of the pair picks the
// bit): a text can contain a keyword only when it holds every bit of the
// keyword's pairs, so a line is searched for a keyword only when
// (byte_pairs(keyword) & ~byte_pairs(line)) == 0.
inline std::uint64_t byte_pairs(std::string_view text) {
  std::uint64_t bits = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i - 1]);
    const auto b = static_cast<unsigned char>(text[i]);
    bits |= std::uint64_t{1} << ((a * 31u + b) & 63u);
  }
  return bits;
}

// Position of the first byte at or after from whose class is not 0, or
// text.size() when there is none.
std::size_t find_marked(std::string_view text, const ByteTable& table, std::size_t from = 0);

// The positions of the bytes of a small set in one text, in increasing order.
// The first few bytes are looked at one by one (short tokens, as in a line of
// microsatellite sizes); beyond them each byte of the set is looked for by
// memchr and its position kept until the search passes it, so a line is
// scanned once per byte of the set, however many positions are asked for.
// Lines of sequence data hold a few blanks in millions of letters; memchr
// passes over those many bytes at a time.
class ByteSetFinder {
 public:
  static constexpr std::size_t kMaxBytes = 8;
  // bytes: at most kMaxBytes distinct values.
  ByteSetFinder(std::string_view text, std::string_view bytes);
  // Position of the first byte of the set at or after from, or text.size();
  // from must not decrease from one call to the next.
  std::size_t next(std::size_t from) {
    const std::size_t n = text_.size();
    const std::size_t near_end = from + kNearBytes < n ? from + kNearBytes : n;
    for (std::size_t i = from; i < near_end; ++i)
      if (member_[static_cast<unsigned char>(text_[i])] != 0) return i;
    return near_end == n ? n : next_far(near_end);
  }

 private:
  static constexpr std::size_t kNearBytes = 16;
  // The search beyond the near bytes, by memchr for each byte of the set.
  std::size_t next_far(std::size_t from);

  std::string_view text_;
  std::size_t count_ = 0;
  std::array<char, kMaxBytes> bytes_{};
  std::array<std::size_t, kMaxBytes> found_{};  // last position found (or text.size())
  ByteTable member_{};                          // 1 for the bytes of the set
};

// Position of the first byte at or after from that is no ASCII letter, or
// text.size(); eight bytes at a time, for sequences of letters.
std::size_t find_non_letter(std::string_view text, std::size_t from = 0);

// Position of the first byte at or after from whose class is 0, or text.size().
std::size_t find_unmarked(std::string_view text, const ByteTable& table, std::size_t from = 0);

// ASCII upper-casing in place: the 26 letters a-z change, every other byte
// (digits, punctuation, bytes above 127) stays as it is, whatever the locale.
void upper_ascii(char* text, std::size_t n);
inline void upper_ascii(std::string& text) { upper_ascii(text.data(), text.size()); }

// True when text contains pattern with the ASCII letters of text taken as upper
// case: the same answer as upper-casing a copy of text and searching it, with
// no copy. pattern must hold no lower-case letter; an empty pattern, or one
// longer than text, gives false.
bool contains_upper(std::string_view text, std::string_view pattern);

// A 64-bit hash of a text for hash tables and cache keys over long sequences:
// four independent products over 32 bytes at a time, then mixed. Any change
// of one 8-byte word changes the value.
std::uint64_t hash_text(std::string_view text);

// The same hash as a function object for unordered containers.
struct TextHash {
  std::size_t operator()(std::string_view text) const {
    return static_cast<std::size_t>(hash_text(text));
  }
};

}  // namespace qnd_text

#endif  // QND_TEXT_BYTE_TABLE_H

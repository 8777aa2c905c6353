// Fast general-notation doubles.
#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ios>
#include <iterator>

namespace qnd_number {

namespace {

constexpr int kMaxPrecision = 17;  // beyond that a double has no more digits to give

// num_put for doubles in the common case; the rest goes to the classic facet.
class GeneralDoublePut : public std::num_put<char> {
 protected:
  iter_type do_put(iter_type out, std::ios_base& str, char_type fill, double v) const override {
    constexpr auto kFlags = std::ios_base::floatfield | std::ios_base::showpoint |
                            std::ios_base::showpos | std::ios_base::uppercase;
    const std::streamsize precision = str.precision();
    if ((str.flags() & kFlags) != 0 || str.width() != 0 || precision < 1 ||
        precision > kMaxPrecision || !std::isfinite(v))
      return std::num_put<char>::do_put(out, str, fill, v);
    char buf[32];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, static_cast<int>(precision));
    // One write into the stream buffer, not one call per character.
    return std::copy(static_cast<const char*>(buf), static_cast<const char*>(result.ptr), out);
  }
};

}  // namespace

void append_general(std::string& out, double value, int precision) {
  char buf[64];
  if (std::isfinite(value) && precision >= 1 && precision <= kMaxPrecision) {
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
    out.append(buf, result.ptr);
    return;
  }
  const int n = std::snprintf(buf, sizeof buf, "%.*g", precision, value);
  if (n > 0) out.append(buf, static_cast<size_t>(n));
}

std::locale fast_number_locale() {
  static const std::locale locale(std::locale::classic(), new GeneralDoublePut);
  return locale;
}

}  // namespace qnd_number

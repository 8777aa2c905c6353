// Fast general-notation doubles.
#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ios>
#include <iterator>

namespace qnd_number {

namespace {

constexpr int kMaxPrecision = 17;  // beyond that a double has no more digits to give

// Powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr int kMaxFastPrecision = 15;

// "%.*g" of a finite nonzero v without the exact decimal expansion that
// to_chars makes. |v| is scaled by one exact power of ten to P digits before
// the point (s < 10^15): the product or quotient is correctly rounded, and
// every half-integer below 2^52 is a double, so the computed s lies on the same
// side of each half as the exact one, or on it. Its rounding to a whole number
// is therefore the correct one except when it falls on a half, which is left to
// to_chars (a tie to break, or a near one), as are values whose scale needs
// more than one power of ten. Returns the end of the text written at out, or
// nullptr when it leaves the value to to_chars.
char* fast_general(char* out, double v, int P) {
  if (P > kMaxFastPrecision || !std::isnormal(v)) return nullptr;
  const double a = std::fabs(v);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof a);
  // a lies in [2^b, 2^(b+1)); floor(b log10(2)) is floor(log10(a)) or one less
  // (78913 / 2^18 is log10(2) to better than 1e-6, exact in floor for |b| < 1024).
  const int b = static_cast<int>(bits >> 52) - 1023;
  int e = b >= 0 ? (b * 78913) >> 18 : -((-b * 78913 + (1 << 18) - 1) >> 18);
  double s = 0.0;
  for (int tries = 0;; ++tries) {
    const int k = P - 1 - e;
    if (k > kMaxExactPower || k < -kMaxExactPower || tries == 3) return nullptr;
    s = k >= 0 ? a * kPow10[k] : a / kPow10[-k];
    if (s >= kPow10[P]) {
      ++e;
    } else if (s < kPow10[P - 1]) {
      --e;
    } else {
      break;
    }
  }
  auto r = static_cast<unsigned long long>(s);  // s is positive: truncation is its floor
  const double fraction = s - static_cast<double>(r);
  if (fraction == 0.5) return nullptr;
  r += fraction > 0.5 ? 1 : 0;
  if (r == static_cast<unsigned long long>(kPow10[P])) {
    r /= 10;
    ++e;
  }
  // The P digits of r, most significant first, two at a time.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[kMaxFastPrecision + 1];
  int left = P;
  for (; left >= 2; left -= 2) {
    std::memcpy(digits + left - 2, kPairs + 2 * (r % 100), 2);
    r /= 100;
  }
  if (left == 1) digits[0] = static_cast<char>('0' + r);
  int kept = P;  // trailing zeros of the digits are dropped in %g
  while (kept > 1 && digits[kept - 1] == '0') --kept;
  if (v < 0) *out++ = '-';
  if (e < P && e >= -4) {
    if (e >= 0) {
      for (int i = 0; i <= e; ++i) *out++ = i < kept ? digits[i] : '0';
      if (kept > e + 1) {
        *out++ = '.';
        for (int i = e + 1; i < kept; ++i) *out++ = digits[i];
      }
    } else {
      *out++ = '0';
      *out++ = '.';
      for (int i = 0; i < -e - 1; ++i) *out++ = '0';
      for (int i = 0; i < kept; ++i) *out++ = digits[i];
    }
    return out;
  }
  *out++ = digits[0];
  if (kept > 1) {
    *out++ = '.';
    for (int i = 1; i < kept; ++i) *out++ = digits[i];
  }
  *out++ = 'e';
  *out++ = e < 0 ? '-' : '+';
  const int x = e < 0 ? -e : e;
  if (x >= 100) *out++ = static_cast<char>('0' + x / 100);
  *out++ = static_cast<char>('0' + x / 10 % 10);
  *out++ = static_cast<char>('0' + x % 10);
  return out;
}

// "%.*g" of a finite v for 1 <= precision <= 17, at out (32 bytes of room).
char* general_text(char* out, double v, int precision) {
  if (char* end = fast_general(out, v, precision)) return end;
  return std::to_chars(out, out + 32, v, std::chars_format::general, precision).ptr;
}

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
    const char* end = general_text(buf, v, static_cast<int>(precision));
    // One write into the stream buffer, not one call per character.
    return std::copy(static_cast<const char*>(buf), end, out);
  }
};

}  // namespace

void append_general(std::string& out, double value, int precision) {
  char buf[64];
  if (std::isfinite(value) && precision >= 1 && precision <= kMaxPrecision) {
    out.append(buf, general_text(buf, value, precision));
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

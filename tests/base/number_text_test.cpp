// Fast general-notation doubles against printf's "%.*g" at every precision,
// and a stream with the fast locale against a classic one under the flags that
// must keep the classic output: edge values, random bit patterns and values.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

TEST(NumberText, SameTextAsPrintfAndAsTheClassicLocale) {
  std::vector<double> values = {
      0.0,      -0.0,      1e-5,        123456.0,     1234567.0, 999999.5, 9.9999995,
      1.0 / 3,  1e21,      DBL_MAX,     DBL_TRUE_MIN, -22.2962,  2.5e-7,   0.000123456499999,
      HUGE_VAL, -HUGE_VAL, std::nan("")};
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> nice(-1000.0, 1000.0);
  for (int i = 0; i < 20000; ++i) {
    const auto bits = rng();
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
    values.push_back(nice(rng));
    // Halfway cases of every precision and their neighbours: d.ddd5 with 1 to
    // 17 digits at exponents around the switch to exponential notation, and
    // whole numbers, where the decimal rounding is hardest to get right.
    char text[64];
    const int digits = 1 + static_cast<int>(rng() % 17);
    const unsigned long long mantissa = rng() % 100000000000000000ULL;
    std::snprintf(text, sizeof text, "%.*llu5e%d", digits, mantissa,
                  static_cast<int>(rng() % 40) - 20);
    const double tie = std::strtod(text, nullptr);
    for (const double t : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, HUGE_VAL)}) {
      values.push_back(t);
      values.push_back(std::floor(t * 1e6));
    }
  }
  const std::vector<void (*)(std::ostream&)> formats = {
      [](std::ostream&) {}, [](std::ostream& o) { o << std::setprecision(0); },
      [](std::ostream& o) { o << std::fixed << std::setprecision(3); },
      [](std::ostream& o) { o << std::scientific << std::uppercase << std::showpos; },
      [](std::ostream& o) { o << std::showpoint << std::setw(12) << std::setfill('*'); }};
  char expected[512];
  for (size_t i = 0; i < values.size(); ++i) {
    for (int precision = 1; precision <= 17; precision += (precision < 7 ? 1 : 5)) {
      std::string text;
      qnd_number::append_general(text, values[i], precision);
      std::snprintf(expected, sizeof expected, "%.*g", precision, values[i]);
      ASSERT_EQ(text, expected) << precision;
    }
    for (size_t f = 0; f < formats.size() && i % 4 == 0; ++f) {
      std::ostringstream classic, fast;
      fast.imbue(qnd_number::fast_number_locale());
      for (std::ostringstream* out : {&classic, &fast}) {
        out->precision(static_cast<std::streamsize>(i % 19));
        formats[f](*out);
        *out << values[i] << ' ' << 42 << ' ' << 7.5f;
      }
      ASSERT_EQ(fast.str(), classic.str()) << "format " << f;
    }
  }
}

// Fast general-notation doubles against printf's "%.*g" and a classic-locale
// stream: edge values, random bit patterns and values, every precision, and
// the stream flags that must keep the classic output.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<double> test_values() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0, -0.0, 0.5, 1e-5, 0.0001, 123456.0, 1234567.0, 999999.5,
                                9.9999995, 1.0 / 3, 1e21, 1e-300, DBL_MAX, DBL_MIN,
                                DBL_TRUE_MIN, -22.2962, 2.5e-7, 0.000123456499999, inf, -inf,
                                std::nan("")};
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> nice(-1000.0, 1000.0);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = rng();
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
    values.push_back(nice(rng));
  }
  return values;
}

TEST(NumberText, AppendGeneralMatchesPrintfAtEveryPrecision) {
  char expected[512];
  for (const double v : test_values()) {
    for (int precision = 1; precision <= 17; precision += (precision < 7 ? 1 : 5)) {
      std::string text;
      qnd_number::append_general(text, v, precision);
      std::snprintf(expected, sizeof expected, "%.*g", precision, v);
      ASSERT_EQ(text, expected) << precision;
    }
  }
}

TEST(NumberText, StreamWithTheFastLocalePrintsAsTheClassicOne) {
  // Default flags, and flags that leave the number to the classic facet.
  const std::vector<void (*)(std::ostream&)> formats = {
      [](std::ostream&) {},
      [](std::ostream& o) { o << std::setprecision(10); },
      [](std::ostream& o) { o << std::setprecision(0); },
      [](std::ostream& o) { o << std::fixed << std::setprecision(3); },
      [](std::ostream& o) { o << std::scientific << std::uppercase; },
      [](std::ostream& o) { o << std::showpoint << std::showpos; },
      [](std::ostream& o) { o << std::setw(12) << std::setfill('*') << std::left; },
  };
  const std::vector<double> values = test_values();
  for (size_t f = 0; f < formats.size(); ++f) {
    for (size_t i = 0; i < values.size(); i += 4) {
      std::ostringstream classic, fast;
      classic.imbue(std::locale::classic());
      fast.imbue(qnd_number::fast_number_locale());
      formats[f](classic);
      formats[f](fast);
      classic << values[i] << ' ' << 42 << ' ' << 7.5f;
      fast << values[i] << ' ' << 42 << ' ' << 7.5f;
      ASSERT_EQ(fast.str(), classic.str()) << "format " << f;
    }
  }
}

}  // namespace

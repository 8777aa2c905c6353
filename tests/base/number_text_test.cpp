// Fast general-notation doubles against printf's "%.*g" and against a stream
// in the classic locale: edge values, every precision, random bit patterns,
// and the stream flags that must keep the classic output.
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

std::string printf_general(double v, int precision) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*g", precision, v);
  return buf;
}

std::vector<double> edge_values() {
  const double inf = std::numeric_limits<double>::infinity();
  return {0.0,     -0.0,         1.0,     -1.0,        0.5,     1e-5,    0.0001,  123456.0,
          1234567, 999999.5,     9.9999995, 0.1,       1.0 / 3, 2.0 / 3, 1e21,    1e-300,
          DBL_MAX, DBL_MIN,      DBL_TRUE_MIN, -DBL_MAX, 22.2962, 0.165483, 1.25e-7, 2.5e-7,
          100000,  1e15 + 0.5,   0.000123456499999, inf, -inf, std::nan("")};
}

double from_bits(std::uint64_t bits) {
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

TEST(NumberText, AppendGeneralMatchesPrintfAtEveryPrecision) {
  std::mt19937_64 rng(7);
  std::vector<double> values = edge_values();
  for (int i = 0; i < 20000; ++i) values.push_back(from_bits(rng()));
  std::uniform_real_distribution<double> nice(-1000.0, 1000.0);
  for (int i = 0; i < 20000; ++i) values.push_back(nice(rng));
  for (const double v : values) {
    for (int precision = 1; precision <= 17; precision += (precision < 7 ? 1 : 5)) {
      std::string text;
      qnd_number::append_general(text, v, precision);
      ASSERT_EQ(text, printf_general(v, precision)) << precision;
    }
  }
}

TEST(NumberText, StreamWithTheFastLocalePrintsAsTheClassicOne) {
  std::mt19937_64 rng(3);
  std::vector<double> values = edge_values();
  for (int i = 0; i < 5000; ++i) values.push_back(from_bits(rng()));
  // Default flags, and the flags that the fast path leaves to the classic facet.
  const std::vector<void (*)(std::ostream&)> formats = {
      [](std::ostream&) {},
      [](std::ostream& o) { o << std::setprecision(10); },
      [](std::ostream& o) { o << std::setprecision(0); },
      [](std::ostream& o) { o << std::fixed << std::setprecision(3); },
      [](std::ostream& o) { o << std::scientific; },
      [](std::ostream& o) { o << std::showpoint << std::showpos; },
      [](std::ostream& o) { o << std::uppercase; },
      [](std::ostream& o) { o << std::setw(12) << std::setfill('*') << std::left; },
  };
  for (size_t f = 0; f < formats.size(); ++f) {
    for (const double v : values) {
      std::ostringstream classic, fast;
      classic.imbue(std::locale::classic());
      fast.imbue(qnd_number::fast_number_locale());
      formats[f](classic);
      formats[f](fast);
      classic << v << ' ' << 42 << ' ' << 7.5f;
      fast << v << ' ' << 42 << ' ' << 7.5f;
      ASSERT_EQ(fast.str(), classic.str()) << "format " << f;
    }
  }
}

}  // namespace

// Log-gamma, log-factorials, the incomplete gamma function, the chi-square
// tail and inverse power sums against the standard library, closed forms,
// published tables (special_cases.txt) and plain sums; their diagnostics.
#include "withinpop/special_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "withinpop/log_capture.h"
#include "withinpop/table.h"

TEST(SpecialFunctionCases, EveryRow) {
  const auto rows = qnd_table::read_rows("withinpop/special_cases.txt");
  EXPECT_GE(rows.size(), 50u);
  for (const qnd_table::Row& row : rows) {
    SCOPED_TRACE("special_cases.txt line " + std::to_string(row.line) + ": " + row.text);
    const std::vector<std::string>& t = row.tokens;
    const std::string& f = t.at(0);
    const float a = static_cast<float>(qnd_table::eval(t.at(1)));
    const float x = t.at(2) == ":" ? 0.0f : static_cast<float>(qnd_table::eval(t[2]));
    LogCapture log;
    float p = 0.5f, gln = 0.0f;
    double value = 0.0;
    if (f == "gser") gser(&p, a, x, &gln);
    if (f == "gcf") gcf(&p, a, x, &gln);
    if (f == "chi2") value = Prob_of_chi_sq(a, x);
    if (f == "factorial") value = factorial(a);
    if (f == "factln") value = factln(static_cast<int>(a));
    if (f == "factlnl") value = static_cast<double>(factlnl(static_cast<int>(a)));
    const size_t logged = log.text().size();
    qnd_table::Fields fields;
    qnd_table::add_fields(fields, "p gln value logged", p, gln, value, logged);
    qnd_table::expect_fields(t, t.at(2) == ":" ? 3 : 4, fields);
    EXPECT_TRUE(log.contains(row.log)) << log.text();
  }
}

TEST(LogGammaAndFactorials, MatchStandardLibraryAndProducts) {
  for (double x : {0.1, 0.5, 1.0, 1.5, 2.0, 3.7, 10.0, 50.5, 171.0, 1000.0}) {
    const double tol = 1e-9 * std::fmax(1.0, std::fabs(std::lgamma(x)));
    EXPECT_NEAR(gammln(x), std::lgamma(x), tol) << x;
    EXPECT_NEAR(static_cast<double>(gammlnl(x)), std::lgamma(x), tol) << x;
  }
  double log_fact = 0.0;
  for (int n = 2; n <= 100; ++n) {
    log_fact += std::log(static_cast<double>(n));
    for (double v : {factln(n), static_cast<double>(factlnl(n)), factorial(static_cast<float>(n))})
      EXPECT_NEAR(v, log_fact, 1e-9 * log_fact) << n;
  }
  EXPECT_TRUE(factln(101) == gammln(102.0) && factln(5000) == gammln(5001.0));
  EXPECT_EQ(factlnl(101), gammlnl(102.0L));
}

// sum_{i<count} (a + i)^-r against the plain sum, and for a = 1, count = 2^31 -
// 1 against zeta(2) = pi^2/6, zeta(3) and H_(2^31 - 1) = ln(2^31) + gamma - 1/2^32.
TEST(InversePowerSum, PlainSumsAndZetaValues) {
  for (int r : {1, 2, 3, 7, 40})
    for (double a : {1.0, 0.3, 64.0, 100.0, 1e12})
      for (double count : {0.0, 1.0, 37.0, 3000.0}) {
        long double plain = 0.0L;
        for (double i = count - 1; i >= 0; i -= 1)
          plain += std::pow(static_cast<long double>(a) + i, -r);
        EXPECT_NEAR(inverse_power_sum(r, a, count), static_cast<double>(plain),
                    1e-15 * static_cast<double>(plain) + 1e-300)
            << r << " " << a << " " << count;
      }
  const double b = 2147483648.0;
  EXPECT_NEAR(inverse_power_sum(2, 1, b - 1), M_PI * M_PI / 6 - 1 / (b - 0.5), 1e-15);
  EXPECT_NEAR(inverse_power_sum(3, 1, b - 1), 1.2020569031595943, 1e-15);
  EXPECT_NEAR(inverse_power_sum(1, 1, b - 1), std::log(b) + 0.57721566490153286 - 0.5 / b, 1e-14);
}

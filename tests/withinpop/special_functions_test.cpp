// Log-gamma, log-factorials, the incomplete gamma function, the chi-square
// tail and inverse power sums against the standard library, closed forms,
// published tables and plain sums; their diagnostics.
#include "withinpop/special_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "withinpop/log_capture.h"

TEST(LogGammaAndFactorials, MatchStandardLibraryAndProducts) {
  for (double x : {0.1, 0.5, 1.0, 1.5, 2.0, 3.7, 10.0, 50.5, 171.0, 1000.0}) {
    const double tol = 1e-9 * std::fmax(1.0, std::fabs(std::lgamma(x)));
    EXPECT_NEAR(gammln(x), std::lgamma(x), tol) << x;
    EXPECT_NEAR(static_cast<double>(gammlnl(x)), std::lgamma(x), tol) << x;
  }
  EXPECT_EQ(factln(0) + factln(1) + factorial(0.0f) + factorial(1.0f) + factorial(-3.0f), 0.0);
  EXPECT_EQ(factlnl(0) + factlnl(1), 0.0L);
  double log_fact = 0.0;
  for (int n = 2; n <= 100; ++n) {
    log_fact += std::log(static_cast<double>(n));
    EXPECT_NEAR(factln(n), log_fact, 1e-9 * log_fact) << n;
    EXPECT_NEAR(static_cast<double>(factlnl(n)), log_fact, 1e-9 * log_fact) << n;
    EXPECT_NEAR(factorial(static_cast<float>(n)), log_fact, 1e-9 * log_fact) << n;
  }
  EXPECT_EQ(factln(101), gammln(102.0));
  EXPECT_EQ(factln(5000), gammln(5001.0));
  EXPECT_EQ(factlnl(101), gammlnl(102.0L));
  // factorial(n) takes the integer part of n + 0.1
  EXPECT_NEAR(factorial(4.95f), std::log(120.0), 1e-10);
  EXPECT_NEAR(factorial(5.8f), std::log(120.0), 1e-10);
  EXPECT_NEAR(factorial(1.95f), std::log(2.0), 1e-10);
  LogCapture log;
  EXPECT_EQ(factln(-1), 0.0);
  EXPECT_NE(log.text().find("#[ERROR # 1] from function \"factln(int n) negative factorial: "
                            "setting it to zero\" : numerical error\n"),
            std::string::npos)
      << log.text();
  LogCapture line;
  EXPECT_EQ(factlnl(-7), 0.0L);
  EXPECT_EQ(line.text(), "factlnl(int n) negative factorial: setting it to zero\n");
}

// P(1, x) = 1 - e^-x; Q(3, x) = e^-x (1 + x + x^2/2), by the series below
// a + 1 and by both at a + 1 and beyond.
TEST(IncompleteGamma, ClosedFormsAndDiagnostics) {
  float p = 0.0f, q = 0.0f, gln = 0.0f;
  for (float x : {0.1f, 0.5f, 1.0f, 1.9f}) {
    gser(&p, 1.0f, x, &gln);
    EXPECT_NEAR(p, 1.0 - std::exp(-x), 1e-6) << x;
    EXPECT_NEAR(gln, 0.0, 1e-6);
  }
  for (float x : {2.0f, 3.0f, 10.0f, 30.0f}) {
    gcf(&q, 1.0f, x, &gln);
    EXPECT_NEAR(q, std::exp(-x), 1e-6 * std::exp(-x) + 1e-12) << x;
  }
  for (float x : {0.5f, 2.0f, 3.5f, 4.0f, 5.0f, 6.0f, 9.0f}) {
    const double q3 = std::exp(-x) * (1 + x + x * x / 2.0);
    gser(&p, 3.0f, x, &gln);
    EXPECT_NEAR(p, 1.0 - q3, 2e-6) << x;
    EXPECT_NEAR(gln, std::log(2.0), 1e-6);
    if (x < 4.0f) continue;
    gcf(&q, 3.0f, x, &gln);
    EXPECT_NEAR(q, q3, 2e-6) << x;
  }
  LogCapture quiet;
  gser(&p, 2.0f, 0.0f, &gln);
  EXPECT_EQ(p, 0.0f);
  EXPECT_EQ(quiet.text(), "");
  LogCapture log;
  p = 0.5f;
  gser(&p, 2.0f, -1.0f, &gln);
  EXPECT_EQ(p, 0.0f);
  gser(&p, 500.0f, 700.0f, &gln);  // 100 terms are not enough
  gcf(&q, 100000.0f, 100002.0f, &gln);
  for (const char* text : {"\"gser() x less than 0\"", "\"gser() a too large, ITMAX too small \"",
                           "\"gcf() a too large, ITMAX too small in gcf\""})
    EXPECT_NE(log.text().find(text), std::string::npos) << text << log.text();
}

// Upper tail of chi-square: published critical values (3 decimals); with 2 df
// exp(-x/2); 0 df put all the mass at 0; a value not above 0 gives -1 silently,
// negative df are reported.
TEST(ChiSquareProbability, TablesClosedFormAndInvalidArguments) {
  const double table[][3] = {{1, 3.841, 0.05},   {1, 6.635, 0.01},  {5, 11.070, 0.05},
                             {10, 18.307, 0.05}, {10, 2.558, 0.99}, {30, 43.773, 0.05}};
  for (const auto& t : table)
    EXPECT_NEAR(Prob_of_chi_sq(static_cast<float>(t[0]), static_cast<float>(t[1])), t[2], 1e-4);
  for (double x : {0.05, 0.3, 0.99, 1.0, 1.5, 2.0, 4.0, 10.0})
    EXPECT_NEAR(Prob_of_chi_sq(2.0f, static_cast<float>(2 * x)), std::exp(-x), 1e-5) << x;
  EXPECT_EQ(Prob_of_chi_sq(0.0f, 0.5f) + Prob_of_chi_sq(0.0f, 3.0f), 0.0);
  LogCapture quiet;
  EXPECT_EQ(Prob_of_chi_sq(2.0f, 0.0f) + Prob_of_chi_sq(5.0f, -3.0f), -2.0);
  EXPECT_EQ(quiet.text(), "");
  LogCapture log;
  EXPECT_EQ(Prob_of_chi_sq(-1.0f, 3.0f), -1.0);
  EXPECT_NE(log.text().find("from function \"Prob_of_chi_sq()  invalid arguments\""),
            std::string::npos)
      << log.text();
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

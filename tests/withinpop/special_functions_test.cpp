#include "withinpop/special_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "withinpop/log_capture.h"

TEST(LogGamma, AgreesWithStandardLibrary) {
  for (double x : {0.1, 0.5, 1.0, 1.5, 2.0, 3.7, 10.0, 50.5, 171.0, 1000.0}) {
    EXPECT_NEAR(gammln(x), std::lgamma(x), 1e-9 * std::fmax(1.0, std::fabs(std::lgamma(x)))) << x;
    EXPECT_NEAR(static_cast<double>(gammlnl(x)), std::lgamma(x),
                1e-9 * std::fmax(1.0, std::fabs(std::lgamma(x))))
        << x;
  }
}

TEST(LogGamma, KnownValues) {
  EXPECT_NEAR(gammln(1.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(2.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(0.5), 0.5 * std::log(M_PI), 1e-10);
  EXPECT_NEAR(gammln(6.0), std::log(120.0), 1e-10);
}

TEST(LogFactorial, ZeroAndOneGiveZero) {
  EXPECT_EQ(factln(0), 0.0);
  EXPECT_EQ(factln(1), 0.0);
  EXPECT_EQ(factlnl(0), 0.0L);
  EXPECT_EQ(factlnl(1), 0.0L);
  EXPECT_EQ(factorial(0.0f), 0.0);
  EXPECT_EQ(factorial(1.0f), 0.0);
}

TEST(LogFactorial, SmallValuesAreLogsOfProducts) {
  double log_fact = 0.0;
  for (int n = 2; n <= 100; ++n) {
    log_fact += std::log(static_cast<double>(n));
    EXPECT_NEAR(factln(n), log_fact, 1e-9 * log_fact) << n;
    EXPECT_NEAR(static_cast<double>(factlnl(n)), log_fact, 1e-9 * log_fact) << n;
    EXPECT_NEAR(factorial(static_cast<float>(n)), log_fact, 1e-9 * log_fact) << n;
  }
  EXPECT_NEAR(factln(5), std::log(120.0), 1e-10);
}

TEST(LogFactorial, BeyondCacheIsLogGamma) {
  EXPECT_EQ(factln(101), gammln(102.0));
  EXPECT_EQ(factln(5000), gammln(5001.0));
  EXPECT_EQ(factlnl(101), gammlnl(102.0L));
}

TEST(LogFactorial, FactorialRoundsItsArgumentDown) {
  // m = integer part of n + 0.1
  EXPECT_NEAR(factorial(4.95f), std::log(120.0), 1e-10);
  EXPECT_NEAR(factorial(5.8f), std::log(120.0), 1e-10);
  EXPECT_NEAR(factorial(1.95f), std::log(2.0), 1e-10);
  EXPECT_EQ(factorial(-3.0f), 0.0);
}

TEST(LogFactorial, NegativeArgumentIsReportedAndGivesZero) {
  LogCapture log;
  EXPECT_EQ(factln(-1), 0.0);
  const std::string text = log.text();
  EXPECT_NE(text.find("#[ERROR # "), std::string::npos) << text;
  EXPECT_NE(text.find("from function \"factln(int n) negative factorial: setting it to zero\" : "
                      "numerical error\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(E.message(105), "numerical error");
}

TEST(LogFactorial, ExtendedNegativeArgumentWritesMessageLine) {
  LogCapture log;
  EXPECT_EQ(factlnl(-7), 0.0L);
  EXPECT_EQ(log.text(), "factlnl(int n) negative factorial: setting it to zero\n");
}

TEST(IncompleteGamma, ShapeOneIsExponential) {
  // P(1, x) = 1 - e^-x and Q(1, x) = e^-x.
  for (float x : {0.1f, 0.5f, 1.0f, 1.9f}) {
    float p = -1.0f;
    float gln = -1.0f;
    gser(&p, 1.0f, x, &gln);
    EXPECT_NEAR(p, 1.0 - std::exp(-x), 1e-6) << x;
    EXPECT_NEAR(gln, 0.0, 1e-6);
  }
  for (float x : {2.0f, 3.0f, 10.0f, 30.0f}) {
    float q = -1.0f;
    float gln = -1.0f;
    gcf(&q, 1.0f, x, &gln);
    EXPECT_NEAR(q, std::exp(-x), 1e-6 * std::exp(-x) + 1e-12) << x;
  }
}

TEST(IncompleteGamma, SeriesAndFractionAreComplementary) {
  // For a = 3: Q(3, x) = e^-x (1 + x + x^2/2). The continued fraction is meant
  // for x >= a + 1, the series for smaller x; both hold at a + 1 and beyond.
  for (float x : {4.0f, 5.0f, 6.0f, 9.0f}) {
    const double q = std::exp(-x) * (1 + x + x * x / 2.0);
    float gamser = 0.0f;
    float gammcf = 0.0f;
    float gln = 0.0f;
    gser(&gamser, 3.0f, x, &gln);
    gcf(&gammcf, 3.0f, x, &gln);
    EXPECT_NEAR(gamser, 1.0 - q, 2e-6) << x;
    EXPECT_NEAR(gammcf, q, 2e-6) << x;
    EXPECT_NEAR(gln, std::log(2.0), 1e-6);
  }
}

TEST(IncompleteGamma, SeriesBelowShapePlusOne) {
  for (float x : {0.5f, 2.0f, 3.5f}) {
    const double q = std::exp(-x) * (1 + x + x * x / 2.0);
    float gamser = 0.0f;
    float gln = 0.0f;
    gser(&gamser, 3.0f, x, &gln);
    EXPECT_NEAR(gamser, 1.0 - q, 2e-6) << x;
  }
}

TEST(IncompleteGamma, NegativeXIsReportedAndGivesZero) {
  LogCapture log;
  float gamser = 0.5f;
  float gln = 0.0f;
  gser(&gamser, 2.0f, -1.0f, &gln);
  EXPECT_EQ(gamser, 0.0f);
  EXPECT_NE(log.text().find("\"gser() x less than 0\""), std::string::npos) << log.text();

  LogCapture quiet;
  gser(&gamser, 2.0f, 0.0f, &gln);
  EXPECT_EQ(gamser, 0.0f);
  EXPECT_EQ(quiet.text(), "");
}

TEST(IncompleteGamma, NonConvergenceIsReported) {
  LogCapture log;
  float gamser = 0.0f;
  float gammcf = 0.0f;
  float gln = 0.0f;
  // Terms of the series grow while x / (a + k) > 1: 100 terms are not enough.
  gser(&gamser, 500.0f, 700.0f, &gln);
  EXPECT_NE(log.text().find("\"gser() a too large, ITMAX too small \""), std::string::npos)
      << log.text();
  gcf(&gammcf, 100000.0f, 100002.0f, &gln);
  EXPECT_NE(log.text().find("\"gcf() a too large, ITMAX too small in gcf\""), std::string::npos)
      << log.text();
}

TEST(ChiSquareProbability, NonPositiveValueGivesMinusOne) {
  LogCapture log;
  EXPECT_EQ(Prob_of_chi_sq(2.0f, 0.0f), -1.0);
  EXPECT_EQ(Prob_of_chi_sq(5.0f, -3.0f), -1.0);
  EXPECT_EQ(log.text(), "");
}

TEST(ChiSquareProbability, NegativeDegreesOfFreedomAreReported) {
  LogCapture log;
  EXPECT_EQ(Prob_of_chi_sq(-1.0f, 3.0f), -1.0);
  EXPECT_NE(log.text().find("from function \"Prob_of_chi_sq()  invalid arguments\""),
            std::string::npos)
      << log.text();
}

TEST(ChiSquareProbability, TwoDegreesOfFreedomAreExponential) {
  // With 2 df the upper tail at 2x is exp(-x).
  for (double x : {0.05, 0.3, 0.99, 1.0, 1.5, 2.0, 4.0, 10.0}) {
    EXPECT_NEAR(Prob_of_chi_sq(2.0f, static_cast<float>(2 * x)), std::exp(-x), 1e-5) << x;
  }
}

TEST(ChiSquareProbability, MatchesPublishedCriticalValues) {
  // Critical values from standard chi-square tables (3 decimals).
  EXPECT_NEAR(Prob_of_chi_sq(1.0f, 3.841f), 0.05, 1e-4);
  EXPECT_NEAR(Prob_of_chi_sq(1.0f, 6.635f), 0.01, 1e-4);
  EXPECT_NEAR(Prob_of_chi_sq(5.0f, 11.070f), 0.05, 1e-4);
  EXPECT_NEAR(Prob_of_chi_sq(10.0f, 18.307f), 0.05, 1e-4);
  EXPECT_NEAR(Prob_of_chi_sq(10.0f, 2.558f), 0.99, 1e-4);
  EXPECT_NEAR(Prob_of_chi_sq(30.0f, 43.773f), 0.05, 1e-4);
}

TEST(ChiSquareProbability, ZeroDegreesOfFreedomGiveZero) {
  // All the mass at 0: a positive value is never exceeded.
  EXPECT_EQ(Prob_of_chi_sq(0.0f, 0.5f), 0.0);
  EXPECT_EQ(Prob_of_chi_sq(0.0f, 3.0f), 0.0);
}

// sum_{i<count} (a + i)^-r against the plain sum (also for a not whole and
// for a far above count), and for a = 1, count = 2^31 - 1 against zeta(2) =
// pi^2/6, zeta(3) = 1.2020569031595943 and H_(2^31 - 1) = ln(2^31) + gamma -
// 1/2^32 + ... .
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

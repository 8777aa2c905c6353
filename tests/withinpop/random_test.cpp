// The generator against an independent reference and a naive version written
// here from its description, its seeding and its log lines, and the deviates
// drawn from it against their laws.
#include "withinpop/random.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/temp_dir.h"
#include "withinpop/log_capture.h"

namespace {

// The generator written out step by step from its description, in 64-bit
// arithmetic on a plain table, to check ran3 against.
class NaiveRan3 {
 public:
  explicit NaiveRan3(long long seed) : ma_(56, 0) {
    const long long big = 1000000000LL;
    long long mj = (161803398LL - std::llabs(seed)) % big, mk = 1;
    ma_[55] = mj;
    for (int i = 1; i <= 54; ++i) {
      const int ii = (21 * i) % 55;
      ma_[ii] = mk, mk = (mj - mk + big) % big, mj = ma_[ii];
    }
    for (int k = 1; k <= 4; ++k)
      for (int i = 1; i <= 55; ++i) ma_[i] = (ma_[i] - ma_[1 + (i + 30) % 55] + big) % big;
  }
  double next() {
    inext_ = inext_ % 55 + 1;
    inextp_ = inextp_ % 55 + 1;
    ma_[inext_] = (ma_[inext_] - ma_[inextp_] + 1000000000LL) % 1000000000LL;
    return ma_[inext_] * 1e-9;
  }

 private:
  std::vector<long long> ma_;
  int inext_ = 0;
  int inextp_ = 31;
};

// Moments of count draws: mean, variance and the fraction equal to `at`.
template <class Draw>
std::vector<double> moments_of(int count, double at, Draw draw) {
  double sum = 0.0, sum_sq = 0.0, hits = 0.0;
  for (double i = 0, x = 0; i < count; ++i) x = draw(), sum += x, sum_sq += x * x, hits += x == at;
  return {sum / count, sum_sq / count - (sum / count) * (sum / count), hits / count};
}

}  // namespace

TEST(Ran3, MatchesReferenceAndNaiveGenerator) {
  // First values printed by tests/withinpop/ran3_reference.py.
  int idum = 0;
  for (const std::vector<int>& v : {std::vector<int>{-12345, 860606660, 925464728, 418061483},
                                    {-1, 298227348, 715119168, 33021107}}) {
    idum = v[0];
    for (size_t i = 1; i < v.size(); ++i) EXPECT_DOUBLE_EQ(ran3(&idum), v[i] * 1e-9) << v[0];
    EXPECT_EQ(idum, 1);
  }
  for (int seed : {-12345, -1, -161803398, -999}) {
    NaiveRan3 naive(seed);
    idum = seed;
    for (int i = 0; i < 5000; ++i)
      ASSERT_DOUBLE_EQ(ran3(&idum), naive.next()) << "seed " << seed << " draw " << i;
    for (int value : {1, 0, 42}) {  // a non-negative idum continues the stream
      idum = value;
      EXPECT_TRUE(std::fabs(ran3(&idum) - naive.next()) < 1e-15 && idum == value) << value;
    }
  }
  // Seeds leaving a negative remainder when the table is seeded stay in [0, 1).
  for (int seed : {-161803399, -999999999, INT_MIN}) {
    idum = seed;
    double low = 1, high = 0;
    for (int i = 0; i < 20000; ++i)
      low = std::fmin(low, ran3(&idum)), high = std::fmax(high, ran3(&idum));
    EXPECT_TRUE(low >= 0.0 && high < 1.0) << seed;
  }
}

// A negative seed down to the smallest accepted one seeds the generator itself,
// is logged and writes no seed record; a positive one takes a clock seed,
// logged and recorded in randseed.txt; a seed below the range warns.
TEST(InitializeRan3, SeedsLogLinesAndRecord) {
  qnd_test::TempDir dir;
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    LogCapture log;
    initialize_ran3(-161803399);
    EXPECT_TRUE(log.has_kind("WARNING") && !log.contains("initialized with") &&
                log.contains("from function \"initialize_ran3(const int seed) \" : given seed is "
                             "too large, initializing ran3 with random seed \n"))
        << log.text();
  }
  for (int seed : {-12345, -161803398, 1}) {
    LogCapture log;
    initialize_ran3(seed);
    long used = seed;
    const std::string prefix = "Random number generator initialized with lidum=", text = log.text();
    if (seed < 0) {
      EXPECT_EQ(text, "Random generator initialized with seed=" + std::to_string(seed) + "\n");
      EXPECT_FALSE(std::filesystem::exists("randseed.txt"));
    } else {
      ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
      ASSERT_EQ(text.back(), '\n');
      used = std::stol(text.substr(prefix.size()));
      EXPECT_TRUE(used <= 0 && used > -2000000) << used;
      std::ifstream record("randseed.txt");
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(record), {}), text);
    }
    NaiveRan3 naive(used);
    naive.next();  // consumed by the seeding call
    int idum = 1;
    EXPECT_DOUBLE_EQ(ran3(&idum), naive.next());
  }
  std::filesystem::current_path(old);
}

// Integers and bootstrap indices are floor(n u) of the naive stream.
TEST(RandomIndices, FloorOfScaledUniform) {
  for (int i = 0, one = 1; i < 1000; ++i, one = 1) ASSERT_EQ(rand_long(&one), 0);
  int seed = -6;
  ran3(&seed);
  NaiveRan3 naive(-6);
  naive.next();
  for (int i = 0, n = 7; i < 7000; ++i, n = 7) ASSERT_EQ(rand_long(&n), long(7 * naive.next()));
  std::vector<int> index(500, -1);
  bootstrap_index(index.data(), 500);
  for (int i : index) EXPECT_EQ(i, static_cast<int>(500 * naive.next()));
}

// Gamma deviates of shape k have mean and variance k (order 1: P(X > 1) =
// e^-1); Poisson ones mean and variance m with P(0) = e^-m; geometric failures
// before a success P(0) = p and mean (1 - p)/p; degenerate arguments give 0.
TEST(Deviates, MomentsMatchTheirLaws) {
  EXPECT_EQ(igamma_dev(0) + igamma_dev(-3) + gamma_dev(0.0) + gamma_dev(-1.5), 0.0);
  int seed = -21;
  ran3(&seed);
  const int n = 200000;
  EXPECT_NEAR(moments_of(n, 0, [] { return igamma_dev(1) > 1.0 ? 1.0 : 0.0; })[0], std::exp(-1.0),
              0.005);
  for (double shape : {-3.0, -6.0, -12.0, 0.3, 1.0, 2.5, 7.75}) {  // negative: integer order
    const int order = shape < 0 ? static_cast<int>(-shape) : 0;
    const auto m = moments_of(n, -1, [=] { return order ? igamma_dev(order) : gamma_dev(shape); });
    EXPECT_NEAR(m[0], std::fabs(shape), 0.02 * std::fabs(shape) + 0.005) << shape;
    EXPECT_NEAR(m[1], std::fabs(shape), 0.05 * std::fabs(shape) + 0.01) << shape;
  }
  for (float mean : {3.0f, 50.0f}) {
    int idum = 1;
    bool integral = true;
    const auto m = moments_of(n, 0, [&] {
      const float k = poidev(mean, &idum);
      integral = integral && k >= 0 && k == std::floor(k);
      return static_cast<double>(k);
    });
    EXPECT_TRUE(integral) << mean;
    EXPECT_NEAR(m[0], mean, 0.01 * mean) << mean;
    EXPECT_NEAR(m[1], mean, 0.04 * mean) << mean;
    EXPECT_NEAR(m[2], std::exp(-mean), 0.003) << mean;
  }
  EXPECT_EQ(geometric(1.0) + geometric(0.0) + geometric(1e-11) + expdev(0.0) + expdev(1.0), 0.0);
  for (int routine = 0; routine < 2; ++routine) {
    const auto m = moments_of(n, 0, [&] { return routine == 0 ? geometric(0.25) : expdev(0.25); });
    EXPECT_NEAR(m[2], 0.25, 0.005) << routine;
    EXPECT_NEAR(m[0], 3.0, 0.05) << routine;
  }
}

// The generator ran3, its seeding, and the deviates built on it.
#include "withinpop/random.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <ostream>

#include "base/errors.h"
#include "globals.h"
#include "withinpop/special_functions.h"

namespace {

constexpr int32_t kBig = 1000000000;
constexpr int32_t kSeed = 161803398;
constexpr double kScale = 1.0e-9;
constexpr int32_t kClockSeedRange = 2000000;

// A seed below 2,000,000 that changes from run to run with the microseconds of
// the time of day. The runtime's rand() after srand(1) is a constant of the
// runtime and only perturbs the formula.
int clock_seed() {
  const double t = static_cast<double>(std::clock());
  std::srand(1);
  const int r = std::rand() % 1000;
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const long long micros =
      std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
  const int32_t s = static_cast<int32_t>((micros / 1000000) % 1000);
  const int32_t u = static_cast<int32_t>(micros % 1000000);
  const int32_t time_part = s * u;  // below 10^9: fits in 32 bits
  const double value = r * (t - r) + time_part;
  long long c = static_cast<long long>(value) % (kClockSeedRange - r);
  // A negative value (clock() failing or smaller than r) would give a positive
  // idum, which does not reseed an initialised generator.
  if (c < 0) c = -c;
  return static_cast<int>(c);
}

}  // namespace

double ran3(int* idum) {
  static int32_t ma[56];
  static int32_t inext = 0;
  static int32_t inextp = 0;
  static int32_t iff = 0;

  if (*idum < 0 || iff == 0) {
    iff = 1;
    // |idum| in 64 bits so that the most negative int has a magnitude.
    int64_t seed_mj = (kSeed - std::llabs(static_cast<long long>(*idum))) % kBig;
    // Seeds of magnitude above kSeed leave a negative remainder, which would put
    // the table out of [0, kBig) and the results out of [0, 1): bring it back.
    if (seed_mj < 0) seed_mj += kBig;
    int32_t mj = static_cast<int32_t>(seed_mj);
    ma[55] = mj;
    int32_t mk = 1;
    for (int i = 1; i <= 54; ++i) {
      const int ii = (21 * i) % 55;
      ma[ii] = mk;
      mk = mj - mk;
      if (mk < 0) mk += kBig;
      mj = ma[ii];
    }
    for (int k = 1; k <= 4; ++k) {
      for (int i = 1; i <= 55; ++i) {
        ma[i] -= ma[1 + (i + 30) % 55];
        if (ma[i] < 0) ma[i] += kBig;
      }
    }
    inext = 0;
    inextp = 31;
    *idum = 1;
  }
  if (++inext == 56) inext = 1;
  if (++inextp == 56) inextp = 1;
  int32_t mj = ma[inext] - ma[inextp];
  if (mj < 0) mj += kBig;
  ma[inext] = mj;
  const double value = mj * kScale;
  if (value >= 1.0) *_AOS_ << " ** strange ran3:" << value << '\n';
  return value;
}

void initialize_ran3(const int& seed, const std::string& recordDirectory) {
  if (seed >= 0) {
    int lidum = -clock_seed();
    *_AOS_ << "Random number generator initialized with lidum=" << lidum << '\n';
    std::ofstream record(recordDirectory + "randseed.txt", std::ios::out | std::ios::trunc);
    if (record) record << "Random number generator initialized with lidum=" << lidum << '\n';
    record.close();
    ran3(&lidum);
  } else if (seed >= -kSeed) {
    int lidum = seed;
    ran3(&lidum);
    *_AOS_ << "Random generator initialized with seed=" << seed << '\n';
  } else {
    E.error(Warning, "initialize_ran3(const int seed) ", 181);
    int lidum = -clock_seed();
    ran3(&lidum);
  }
}

long rand_long(int* n) {
  const double u = ran3(n);
  const long v = static_cast<long>(*n * u);
  return v == *n ? *n - 1 : v;
}

void bootstrap_index(int* index, const int n) {
  int idum = 1;
  for (int i = 0; i < n; ++i) index[i] = static_cast<int>(n * ran3(&idum));
}

double igamma_dev(int ia) {
  if (ia <= 0) return 0.0;
  int idum = 1;
  if (ia < 6) {
    double product = 1.0;
    for (int j = 0; j < ia; ++j) product *= ran3(&idum);
    return -std::log(product);
  }
  // Rejection from a Lorentzian envelope.
  const double am = ia - 1;
  const double s = std::sqrt(2.0 * am + 1.0);
  for (;;) {
    double p = 0.0;
    double q = 0.0;
    do {
      p = 2.0 * ran3(&idum) - 1.0;
      q = 2.0 * ran3(&idum) - 1.0;
    } while (p * p + q * q > 1.0);
    const double y = q / p;
    const double x = s * y + am;
    if (x <= 0.0) continue;
    const double envelope_ratio = (1.0 + y * y) * std::exp(am * std::log(x / am) - s * y);
    if (ran3(&idum) <= envelope_ratio) return x;
  }
}

double gamma_dev(double shape) {
  if (shape <= 0.0) return 0.0;
  const int k = static_cast<int>(shape);
  const double f = shape - k;
  const double integer_part = k >= 1 ? igamma_dev(k) : 0.0;
  if (f == 0.0) return integer_part;
  // Fractional shape: rejection method of Ahrens and Dieter (1974).
  constexpr double e = 2.718281828459;
  const double b = (f + e) / e;
  int idum = 1;
  for (;;) {
    const double p = b * ran3(&idum);
    if (p > 1.0) {
      const double x = -std::log((b - p) / f);
      if (ran3(&idum) <= std::pow(x, f - 1.0)) return integer_part + x;
    } else {
      const double x = std::pow(p, 1.0 / f);
      if (ran3(&idum) <= std::exp(-x)) return integer_part + x;
    }
  }
}

float poidev(float mean, int* idum) {
  constexpr double pi = 3.141592654;
  if (mean < 12.0f) {
    // Count uniforms until their product drops to exp(-mean).
    static float old_small_mean = -1.0f;
    static double g_small = 0.0;
    if (mean != old_small_mean) {
      old_small_mean = mean;
      g_small = std::exp(-static_cast<double>(mean));
    }
    float em = -1.0f;
    double t = 1.0;
    do {
      em += 1.0f;
      t *= ran3(idum);
    } while (t > g_small);
    return em;
  }
  // Rejection from a Lorentzian comparison function.
  static float old_mean = -1.0f;
  static double sq = 0.0;
  static double alxm = 0.0;
  static double g = 0.0;
  if (mean != old_mean) {
    old_mean = mean;
    sq = std::sqrt(2.0 * mean);
    alxm = std::log(static_cast<double>(mean));
    g = mean * alxm - gammln(mean + 1.0);
  }
  for (;;) {
    double y = 0.0;
    double em = 0.0;
    do {
      y = std::tan(pi * ran3(idum));
      em = sq * y + mean;
    } while (em < 0.0);
    em = std::floor(em);
    const double t = 0.9 * (1.0 + y * y) * std::exp(em * alxm - gammln(em + 1.0) - g);
    if (ran3(idum) <= t) return static_cast<float>(em);
  }
}

double geometric(const double p) {
  if (p < 1e-10 || p >= 1.0) return 0.0;
  int idum = 1;
  // A uniform of exactly 0 would make the count infinite: draw again.
  double u = 0.0;
  do {
    u = ran3(&idum);
  } while (u == 0.0);
  return std::floor(std::log(u) / std::log(1.0 - p));
}

double expdev(const double p) {
  // Outside (1e-10, 1) the ratio is infinite or undefined.
  if (p < 1e-10 || p >= 1.0) return 0.0;
  int idum = 1;
  return std::trunc(std::log(1.0 - ran3(&idum)) / std::log(1.0 - p));
}

// The process-wide uniform random number generator and the random deviates
// drawn from it. Every permutation test, resampling and simulation of the
// program takes its numbers from the one stream of ran3, in calling order.
// Callers pass ran3 the address of an integer holding a non-negative value;
// only a negative value is looked at, and it reseeds the generator.
#ifndef QND_WITHINPOP_RANDOM_H
#define QND_WITHINPOP_RANDOM_H

#include <string>

// Uniform deviate in [0, 1): subtractive lagged-Fibonacci generator (Knuth,
// lags 55 and 24). A negative *idum reinitialises the table from it and sets
// *idum to 1; the first call initialises the table as well.
double ran3(int* idum);

// Seeds the generator. seed >= 0: from the clock, recording the seed in the log
// and in "randseed.txt" of recordDirectory (a path ending in '/', or empty for
// the working directory); -161803398 <= seed < 0: from the seed itself; a seed
// below that range is reported (warning 181) and the clock is used.
void initialize_ran3(const int& seed, const std::string& recordDirectory);
inline void initialize_ran3(const int& seed) { initialize_ran3(seed, std::string()); }

// Uniform integer in [0, *n - 1]; *n also serves as the idum of ran3.
long rand_long(int* n);

// index[0..n-1] := indices in [0, n-1] drawn with replacement.
void bootstrap_index(int* index, const int n);

// Gamma deviate of integer order ia (0 when ia <= 0).
double igamma_dev(int ia);
// Gamma deviate of any positive shape (0 when shape <= 0).
double gamma_dev(double shape);
// Poisson deviate of the given mean, as a float holding an integer.
float poidev(float mean, int* idum);
// Number of failures before the first success of probability p (0 when p is
// below 1e-10 or not below 1).
double geometric(const double p);
// Integer part of ln(1 - U) / ln(1 - p) (0 when p is outside (1e-10, 1)).
double expdev(const double p);

#endif  // QND_WITHINPOP_RANDOM_H

// Distribution of the number of alleles K in a sample of n genes under the
// Ewens (1972) sampling formula, P(K = j) = |s(n, j)| theta^j / (theta (theta+1)
// ... (theta+n-1)), for any n up to the int range and any k, in log space so
// that neither tiny tails nor huge samples lose digits. Fu's Fs and the Ewens
// probabilities of the neutrality tests are built on it.
#ifndef QND_WITHINPOP_EWENS_H
#define QND_WITHINPOP_EWENS_H

namespace ewens {

// Work (in elementary updates, about a nanosecond each) above which a
// probability is not computed.
constexpr double kWorkBudget = 2.0e8;

// How a probability is computed (see ewens.cpp): the cheaper of the two ways,
// or one of them, for tests that check each against reference values.
enum class Method { kCheapest, kGeneByGene, kSplit };

// ln P(K >= k) and ln P(K < k) for n >= 1 genes and theta > 0. The tail that
// holds at most about half of the mass is summed from positive terms, the
// other is its complement, which then loses no digit. Returns false, with the
// values untouched, when the work would exceed kWorkBudget (samples above
// about 20,000 genes with many alleles, see the planning in ewens.cpp), or
// when the method asked for does not apply.
[[nodiscard]] bool log_tails(int n, int k, double theta, double& log_upper, double& log_lower,
                             Method method = Method::kCheapest);

// ln P(K = k), under the same conditions.
[[nodiscard]] bool log_probability_of(int n, int k, double theta, double& log_p);

// E[K] = sum_{i=0}^{n-1} theta / (theta + i).
double expected_alleles(int n, double theta);

}  // namespace ewens

#endif  // QND_WITHINPOP_EWENS_H

// Mean allele sizes behind (delta mu)^2: hand-computed cases from a data file,
// (delta mu)^2 of two RFLP samples by hand, and random samples against a naive
// reading of every allele of every gene copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "betweenpop/amova.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "withinpop/table.h"

namespace {

using Rows = std::vector<std::pair<std::string, int>>;  // (content, count)

Population sample_of(Haplo_DB& list, const Rows& rows, char missing) {
  std::vector<std::pair<HaploDef*, int>> entries;
  for (const auto& [content, count] : rows)
    entries.emplace_back(
        test_model::add_haplotype(list, "h" + std::to_string(list.size() + 1), content), count);
  Population p = test_model::haplotypic_sample("pop", entries);
  p.profile.MissingData = missing;
  return p;
}

// The long way: each gene copy in turn, each allele read anew as a number plus
// 0.5, truncated; blank-separated alleles, or one per character without a
// blank. DNA ambiguity codes and the missing character do not count.
std::vector<double> naive_means(const Rows& rows, char missing) {
  std::vector<double> sum, copies;
  for (const auto& [content, count] : rows) {
    std::vector<std::string> alleles;
    if (content.find(' ') == std::string::npos) {
      for (char c : content) alleles.emplace_back(1, c);
    } else {
      std::istringstream in(content);
      for (std::string a; in >> a;) alleles.push_back(a);
    }
    if (alleles.size() > sum.size()) {
      sum.resize(alleles.size(), 0.0);
      copies.resize(alleles.size(), 0.0);
    }
    for (int copy = 0; copy < count; ++copy)
      for (size_t l = 0; l < alleles.size(); ++l) {
        const char first = alleles[l][0];
        if (first == missing || std::string("NRYMKSWHBVD").find(first) != std::string::npos)
          continue;
        // Whole numbers are their own size, anything else is rounded half up.
        char* end = nullptr;
        const long whole = std::strtol(alleles[l].c_str(), &end, 10);
        sum[l] += *end == '\0' ? static_cast<double>(whole)
                               : static_cast<int>(std::atof(alleles[l].c_str()) + 0.5);
        copies[l] += 1;
      }
  }
  for (size_t l = 0; l < sum.size(); ++l) sum[l] = copies[l] > 0 ? sum[l] / copies[l] : 0.0;
  return sum;
}

// Means with the loci after the last non-zero one (left out) put back as 0.
std::vector<double> padded(std::vector<double> means, size_t loci) {
  EXPECT_LE(means.size(), loci);
  EXPECT_TRUE(means.empty() || means.back() != 0.0);
  means.resize(std::max(means.size(), loci), 0.0);
  return means;
}

}  // namespace

// Rows: the means of one sample, and (delta mu)^2 of it against a second.
TEST(DeltaMuMeanSizes, HandComputedCases) {
  ProfileSettings::DataType = DNA;  // ambiguity codes are missing
  const auto rows = qnd_table::read_rows("betweenpop/data/mean_sizes_cases.txt");
  EXPECT_EQ(rows.size(), 16u);
  for (const qnd_table::Row& row : rows) {
    SCOPED_TRACE("mean_sizes_cases.txt line " + std::to_string(row.line) + ": " + row.text);
    std::vector<std::vector<double>> means;
    Haplo_DB list;
    for (size_t at = 1; at < row.tokens.size(); at += 2) {
      Rows haps;
      std::istringstream in(row.tokens[at]);
      for (std::string h; std::getline(in, h, '|');) {
        for (char& c : h) c = c == '_' ? ' ' : c;
        haps.emplace_back(h.substr(h.find(':') + 1), std::stoi(h));
      }
      means.push_back(mean_allele_sizes_of(sample_of(list, haps, row.tokens[0][0])));
    }
    const std::vector<double> expected = qnd_table::eval_list(row.tokens.at(2));
    EXPECT_EQ(padded(means[0], expected.size()), expected);
    if (means.size() > 1) {
      EXPECT_NEAR(delta_mu_squared(means[0], means[1]), qnd_table::eval(row.tokens.at(4)), 1e-15);
    }
  }
}

TEST(DeltaMuMeanSizes, RandomSamplesMatchTheNaiveReading) {
  ProfileSettings::DataType = DNA;
  std::mt19937 gen(31337);
  const std::string chars = "0379ACN-?";
  const char* tokens[] = {"10", "12", "7.5", "x", "?", "1e1", "-3", "20.5"};
  for (int round = 0; round < 40; ++round) {
    Rows rows;
    const int haps = 1 + static_cast<int>(gen() % 12);
    const size_t length = 1 + gen() % 30;
    for (int h = 0; h < haps; ++h) {
      std::string content;
      if (round % 4 == 3 && gen() % 2 == 0) {  // blank-separated alleles
        for (size_t l = 0; l < 1 + gen() % 5; ++l) content += std::string(" ") + tokens[gen() % 8];
      } else {  // one character per site, some contents shorter
        const size_t n = gen() % 5 == 0 ? gen() % (length + 1) : length;
        for (size_t l = 0; l < n; ++l) content += chars[gen() % (round % 2 == 0 ? 4 : 9)];
      }
      rows.emplace_back(content, static_cast<int>(gen() % 5));
    }
    Haplo_DB list;
    const std::vector<double> naive = naive_means(rows, '?');
    EXPECT_EQ(padded(mean_allele_sizes_of(sample_of(list, rows, '?')), naive.size()), naive)
        << "round " << round;
  }
}

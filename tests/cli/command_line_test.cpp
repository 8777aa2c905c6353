// The argument helpers of the command line: numbers read like atof and
// truncated toward zero, and "." components dropped from project names.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

namespace {

TEST(ArgumentValue, ReadsLikeAtofAndTruncatesTowardZero) {
  // Out of range and not-a-number: no header mode, and not 0 for the append flag.
  const std::pair<const char*, int> cases[] = {
      {"1.7", 1}, {"0.9", 0},   {"-1.9", -1},       {"  2xyz", 2},       {"run_silent", 0},
      {"", 0},    {"3e2", 300}, {"1e300", INT_MIN}, {"-1e300", INT_MIN}, {"nan", INT_MIN}};
  for (const auto& [text, value] : cases) EXPECT_EQ(cli::truncated_value(text), value) << text;
}

TEST(ProjectName, DotComponentsAreDroppedExceptALeadingOne) {
  // ".." and names ending in a dot are no "." component.
  const std::pair<const char*, const char*> cases[] = {
      {"./proj.qnp", "./proj.qnp"},     {"./a/./b/./proj.qnp", "./a/b/proj.qnp"},
      {"a/././proj.qnp", "a/proj.qnp"}, {"/./data/proj.qnp", "/data/proj.qnp"},
      {"../proj.qnp", "../proj.qnp"},   {"a/../b/./proj.qnp", "a/../b/proj.qnp"},
      {"x./proj.qnp", "x./proj.qnp"},   {"v1../p.qnp", "v1../p.qnp"},
      {"proj.qnp", "proj.qnp"}};
  for (const auto& [name, expected] : cases)
    EXPECT_EQ(cli::normalise_project_name(name), expected) << name;
}

}  // namespace

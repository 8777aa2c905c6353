// Splitting a data line at blanks and tabs.
#include "project/reader_util.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> split(std::string_view text) {
  std::vector<std::string> tokens;
  for (std::string_view token : qnd_reader::split_blanks(text)) tokens.emplace_back(token);
  return tokens;
}

using Tokens = std::vector<std::string>;

TEST(SplitBlanks, BlanksAndTabsSeparateAndRunsGiveNoEmptyToken) {
  EXPECT_EQ(split("h1 3 ACGT"), (Tokens{"h1", "3", "ACGT"}));
  EXPECT_EQ(split(" \t h1\t\t3  AC GT \t"), (Tokens{"h1", "3", "AC", "GT"}));
  EXPECT_EQ(split("x"), (Tokens{"x"}));
}

TEST(SplitBlanks, EmptyOrBlankLineHasNoToken) {
  EXPECT_TRUE(split("").empty());
  EXPECT_TRUE(split(" \t  \t").empty());
}

TEST(SplitBlanks, OtherWhiteSpaceStaysInsideTokens) {
  // Only blanks and tabs split; a carriage return, a line feed or a NUL byte
  // belongs to its token.
  EXPECT_EQ(split(std::string_view("a\rb c\nd e\0f", 11)),
            (Tokens{"a\rb", "c\nd", std::string("e\0f", 3)}));
}

TEST(SplitBlanks, LongTokenSurroundedByBlanksIsOneToken) {
  const std::string sequence(10007, 'G');
  const Tokens tokens = split("id 1 " + sequence + " \t");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[2], sequence);
}

}  // namespace

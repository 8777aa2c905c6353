#include "text/my_string.h"

#include <gtest/gtest.h>

TEST(MyStringTokens, ExtractSubStrConsumesTokens) {
  my_string s("  ab cd");
  EXPECT_EQ(s.extract_sub_str(' '), "ab");
  EXPECT_EQ(s, " cd");
  EXPECT_EQ(s.extract_sub_str(' '), "cd");
  EXPECT_TRUE(s.is_null());
}

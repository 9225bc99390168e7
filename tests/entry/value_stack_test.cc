#include "entry/value_stack.h"

#include <gtest/gtest.h>

#include "format/int_bytes.h"

namespace xt {
namespace {

TEST(ValueStack, ItemsComeBackByteForByteInReverseOrder) {
  ValueStack values;
  pushValue(values, std::string("\0\x01", 2));
  pushValue(values, "");
  pushValue(values, int16Bytes(-2));
  EXPECT_EQ(bytesInt16(popValue(values)), -2);
  EXPECT_EQ(popValue(values), "");
  EXPECT_EQ(popValue(values), std::string("\0\x01", 2));
  EXPECT_EQ(popValue(values), "");  // empty stack
}

TEST(ValueStack, ADamagedLengthGivesBackWhatThereIs) {
  ValueStack values;
  values.bytes = std::string("ab\x10\x00", 4);  // claims 16 bytes, holds 2
  EXPECT_EQ(popValue(values), "ab");
  EXPECT_TRUE(values.bytes.empty());
}

}  // namespace
}  // namespace xt

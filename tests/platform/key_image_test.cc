#include "platform/key_image.h"

#include <gtest/gtest.h>

#include "engine_test_util.h"

namespace xt {
namespace {

using testutil::key;
using testutil::segment;
using testutil::specBytes;

// Stat's answer read back: the keys held whole, the collating sequence
// after them; an answer cut short gives the keys before the cut.
TEST(StatLayout, KeysHeldWholeAndTheSequenceAfterThem) {
  const std::string bytes = specBytes(30, {key({segment(1, 4), segment(10, 6)}), key({segment(20, 2, 0x04)})});
  StatLayout whole = readStatLayout(bytes);
  EXPECT_EQ(whole.recordLength, 30);
  ASSERT_TRUE(whole.complete());
  ASSERT_EQ(whole.keys.size(), 2u);
  EXPECT_EQ(whole.keys[0].length, 10);
  EXPECT_EQ(whole.keys[0].segments.size(), 2u);
  EXPECT_EQ(whole.keys[1].segments[0].flags & keyflag::kBinary, keyflag::kBinary);
  EXPECT_EQ(whole.acsOffset, static_cast<size_t>(kFileSpecSize + 3 * kSegmentSpecSize));

  StatLayout cut = readStatLayout(std::string_view(bytes).substr(0, kFileSpecSize + 2 * kSegmentSpecSize + 5));
  EXPECT_FALSE(cut.complete());
  ASSERT_EQ(cut.keys.size(), 1u);
  EXPECT_EQ(cut.keys[0].length, 10);
  EXPECT_TRUE(readStatLayout("short").keys.empty());
}

}  // namespace
}  // namespace xt

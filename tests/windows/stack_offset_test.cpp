// The trampoline really calls with the stack where it says, and passes
// arguments and the result through unchanged.
#include <cfloat>
#include <cstdint>

#include <gtest/gtest.h>

#include "tests/windows/stack_offset.h"

static_assert(FLT_EVAL_METHOD == 0, "float and double arithmetic must not keep excess precision");

namespace {

using wintest::anyFunction;
using wintest::callAtStackOffset;

extern "C" int32_t weightedSum(int32_t a, int32_t b, int32_t c, const int32_t *d) {
  return a + 2 * b + 3 * c + 4 * *d;
}

TEST(StackOffset, StackPointerIsWhereAsked) {
  for (uint32_t offset : {0u, 4u, 8u, 12u}) {
    const uint32_t atEntry = callAtStackOffset(anyFunction(&wintest::elvStackAtEntry), {}, offset);
    // At entry the return address sits one slot below the caller's stack pointer.
    EXPECT_EQ((atEntry + 4) % 16, offset);
  }
}

TEST(StackOffset, ArgumentsAndResultPassThrough) {
  const int32_t d = -1000;
  for (uint32_t offset : {0u, 4u, 8u, 12u}) {
    const uint32_t result = callAtStackOffset(
        anyFunction(&weightedSum),
        {wintest::slot(1), wintest::slot(-20), wintest::slot(300), wintest::slot(&d)}, offset);
    EXPECT_EQ(static_cast<int32_t>(result), 1 - 40 + 900 - 4000);
  }
}

} // namespace

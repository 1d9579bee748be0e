#include "container/bytes.h"

#include <gtest/gtest.h>

using namespace kaleon::container;

TEST(ConsumeToIndex, TakesThePrefix)
{
    Bytes buffer { 1, 2, 3, 4 };
    EXPECT_TRUE(consumeToIndex(buffer, 0).empty());
    EXPECT_EQ(buffer, (Bytes { 1, 2, 3, 4 }));
    EXPECT_EQ(consumeToIndex(buffer, 1), Bytes { 1 });
    EXPECT_EQ(buffer, (Bytes { 2, 3, 4 }));
    EXPECT_EQ(consumeToIndex(buffer, 3), (Bytes { 2, 3, 4 }));
    EXPECT_TRUE(buffer.empty());
}

TEST(ConstantTimeCompare, EqualOnlyForSameLengthAndBytes)
{
    EXPECT_TRUE(tgc_isEqualInConsistentTime(Bytes {}, Bytes {}));
    EXPECT_TRUE(tgc_isEqualInConsistentTime(Bytes { 1, 2 }, Bytes { 1, 2 }));
    EXPECT_FALSE(tgc_isEqualInConsistentTime(Bytes { 1, 2 }, Bytes { 1, 3 }));
    EXPECT_FALSE(tgc_isEqualInConsistentTime(Bytes { 1, 2 }, Bytes { 1, 2, 1 }));
    EXPECT_FALSE(tgc_isEqualInConsistentTime(Bytes { 1, 1 }, Bytes { 1 }));
    EXPECT_FALSE(tgc_isEqualInConsistentTime(Bytes {}, Bytes { 0 }));
    EXPECT_FALSE(tgc_isEqualInConsistentTime(Bytes { 0 }, Bytes {}));
}

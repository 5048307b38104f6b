// The string pool: 1-based ids in adding order, no sharing, stable pointers.
#include <gtest/gtest.h>

#include <string>

#include "text/StringPool.h"

namespace {

TEST(StringPoolTest, IdsCountFromOneAndEqualTextsGetTheirOwn) {
    auto pool = createStringPool();
    EXPECT_EQ(pool->add(u"abc"), 1);
    EXPECT_EQ(pool->add(u"abc"), 2);
    EXPECT_EQ(pool->add(u"\x82A0\x82A2"), 3);
    ASSERT_NE(pool->get(1), nullptr);
    ASSERT_NE(pool->get(3), nullptr);
    EXPECT_EQ(*pool->get(1), u"abc");
    EXPECT_EQ(*pool->get(2), u"abc");
    EXPECT_NE(pool->get(1), pool->get(2));
    EXPECT_EQ(*pool->get(3), u"\x82A0\x82A2");
}

TEST(StringPoolTest, IdsOutsideThePoolGiveNull) {
    auto pool = createStringPool();
    EXPECT_EQ(pool->get(1), nullptr);
    pool->add(u"x");
    pool->add(u"y");
    EXPECT_EQ(pool->get(0), nullptr);
    EXPECT_EQ(pool->get(-1), nullptr);
    EXPECT_EQ(pool->get(3), nullptr);
    EXPECT_EQ(pool->get(-2147483647 - 1), nullptr);
    EXPECT_EQ(pool->get(2147483647), nullptr);
}

TEST(StringPoolTest, EmptyTextIsAnOrdinaryEntry) {
    auto pool = createStringPool();
    EXPECT_EQ(pool->add(u""), 1);
    EXPECT_EQ(pool->add(u"z"), 2);
    ASSERT_NE(pool->get(1), nullptr);
    EXPECT_TRUE(pool->get(1)->empty());
}

TEST(StringPoolTest, StoresACopy) {
    auto pool = createStringPool();
    std::u16string text = u"first";
    const int id = pool->add(text);
    text = u"changed";
    EXPECT_EQ(*pool->get(id), u"first");
}

TEST(StringPoolTest, PointersStayValidWhileThePoolGrows) {
    auto pool = createStringPool();
    pool->add(u"kept");
    const std::u16string* first = pool->get(1);
    for (int i = 0; i < 10000; ++i) {
        const std::u16string text(static_cast<size_t>(i % 40), u'a');
        EXPECT_EQ(pool->add(text), i + 2);
    }
    EXPECT_EQ(pool->get(1), first);
    EXPECT_EQ(*first, u"kept");
    EXPECT_EQ(pool->get(10001)->size(), 9999u % 40);
}

}  // namespace

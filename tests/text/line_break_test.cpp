#include "text/LineBreak.h"

#include <gtest/gtest.h>

namespace kavelin {
namespace {

TEST(LineBreak, BreaksAtTheLastSpaceWithinTheFitAndConsumesOneUnit) {
    // 'one two' fits (7 units), the unit right after it is the space.
    EXPECT_EQ(breakLine(u"one two three", 7).length, 7u);
    EXPECT_EQ(breakLine(u"one two three", 7).consumed, 8u);
    // A fit of 9 ('one two t') still breaks after 'one two'.
    EXPECT_EQ(breakLine(u"one two three", 9).length, 7u);
    // Two spaces: only the first is consumed, the next line starts with ' three'.
    const LineBreak twoSpaces = breakLine(u"one two  three", 7);
    EXPECT_EQ(twoSpaces.length, 7u);
    EXPECT_EQ(std::u16string_view(u"one two  three").substr(twoSpaces.consumed), u" three");
}

TEST(LineBreak, TheEndOfTheTextIsABreakAndAWordWithoutSpaceIsCut) {
    EXPECT_EQ(breakLine(u"three", 5).length, 5u);
    EXPECT_EQ(breakLine(u"three", 5).consumed, 6u);
    EXPECT_EQ(breakLine(u"overlong", 3).length, 3u);
    EXPECT_EQ(breakLine(u"overlong", 3).consumed, 3u);
    // The unit at index 0 is never a break, so a line is never empty.
    EXPECT_EQ(breakLine(u" x", 1).length, 1u);
    EXPECT_EQ(breakLine(u" x", 1).consumed, 1u);
    // Unicode space separators break, the no-break space does not.
    EXPECT_EQ(breakLine(u"ab\u3000cd", 3).length, 2u);
    EXPECT_EQ(breakLine(u"ab\u00A0cd", 3).length, 3u);
}

} // namespace
} // namespace kavelin

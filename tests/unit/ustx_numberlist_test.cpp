// The project's number lists: every tick and value reads as its decimal, the
// kept texts of thousands and of values agree with it across their edges, and
// lists longer than the list's own buffer arrive whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "output/BlockOutput.h"
#include "platform/Platform.h"
#include "writers/ustx/NumberListText.h"

namespace {

enum class Kind { Ticks, Values };

// The text of each list, written through one NumberListText in turn.
std::string written(Kind kind, const std::vector<std::vector<int32_t>>& lists) {
    std::unique_ptr<std::FILE, platform::FileCloser> file(std::tmpfile());
    std::FILE* stream = file.get();
    BlockOutput out(stream);
    {
        NumberListText numbers(out);
        for (const std::vector<int32_t>& list : lists) {
            out.text().push_back('[');
            numbers.open();
            for (const int32_t number : list) {
                if (kind == Kind::Ticks) {
                    numbers.putTick(number);
                } else {
                    numbers.putValue(number);
                }
            }
            numbers.close();
            out.text().push_back(']');
        }
    }
    EXPECT_EQ(out.flush(), 0);
    std::string text;
    std::rewind(stream);
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text.push_back(static_cast<char>(c));
    return text;
}

std::string expected(const std::vector<std::vector<int32_t>>& lists) {
    std::string text;
    for (const std::vector<int32_t>& list : lists) {
        text.push_back('[');
        for (size_t i = 0; i < list.size(); ++i) {
            if (i > 0) text.append(", ");
            text.append(std::to_string(list[i]));
        }
        text.push_back(']');
    }
    return text;
}

TEST(NumberListTextTest, TicksReadAsDecimalsAcrossTheirThousands) {
    const std::vector<std::vector<int32_t>> lists = {
        {0, 5, 9, 10, 99, 100, 101, 199, 200, 999, 1000, 1005, 99999, 100000, 2147483647},
        {7},
        // Back below a thousand after the kept thousands changed, and negative ticks.
        {12345, 3, -1, -2147483647 - 1, 40},
        {}};
    EXPECT_EQ(written(Kind::Ticks, lists), expected(lists));
}

TEST(NumberListTextTest, ValuesInAndOutsideTheTableReadAsDecimals) {
    const std::vector<std::vector<int32_t>> lists = {
        {0, -1, 1, -9, 10, -99, 100, -240, 120, -1200, 1200, -1201, 1201, 2147483647,
         -2147483647 - 1},
        {-5}};
    EXPECT_EQ(written(Kind::Values, lists), expected(lists));
}

TEST(NumberListTextTest, ListsLongerThanTheBufferArriveWhole) {
    std::vector<std::vector<int32_t>> lists(2);
    for (int32_t i = 0; i < 200000; ++i) lists[0].push_back(i * 7);
    for (int32_t i = 0; i < 5000; ++i) lists[1].push_back(i % 2401 - 1200);
    EXPECT_EQ(written(Kind::Ticks, {lists[0]}), expected({lists[0]}));
    EXPECT_EQ(written(Kind::Values, {lists[1]}), expected({lists[1]}));
}

}  // namespace

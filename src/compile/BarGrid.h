// The bar lines of a song as its metre changes are recorded: each change
// starts a bar, and bars of its length follow until the next change. Before
// the first change the bars are of 4/4.
#pragma once

#include <cstdint>
#include <map>

class BarGrid {
public:
    // The first bar line at or after `time`.
    int64_t barLineFrom(int64_t time) const;
    // Records a metre change at `time`, a bar line. The first change recorded
    // at a time is the one that counts there.
    void record(int32_t time, int32_t numerator, int32_t denominator);

private:
    struct Metre {
        int32_t numerator;
        int32_t denominator;
    };
    std::map<int32_t, Metre> changes_;
};

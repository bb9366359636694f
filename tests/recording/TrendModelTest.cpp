// The chart's points: the time window kept, module changes marked, and the thinned series that
// keeps its shape, its spikes and its bounds while the time axis moves by steps.

#include "recording/TrendModel.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace velor {
namespace {

// A change of module is kept as a mark while it lies in the window; the same module is none.
TEST(TrendModelTest, ModuleChangesAreMarkedWhileInTheWindow) {
    TrendModel t;
    t.setModule(1000, 2);
    t.add(1000, {});
    t.setModule(2000, 2);
    t.add(2000, {});
    EXPECT_TRUE(t.moduleMarks().empty());
    t.setModule(3000, 5);
    t.add(3000, {});
    ASSERT_EQ(t.moduleMarks().size(), 1u);
    EXPECT_EQ(t.moduleMarks()[0].ms, 3000);
    EXPECT_EQ(t.moduleMarks()[0].address, 5);
    t.add(3000 + t.windowMs() + 1, {});
    EXPECT_TRUE(t.moduleMarks().empty());
}

TEST(TrendModelTest, KeepsOnlyTheChosenWindow) {
    TrendModel m;
    m.setWindowMinutes(1);
    std::array<float, kTrendInputs> v{};
    for (int s = 0; s <= 180; ++s) {  // three minutes at one point a second
        v[0] = static_cast<float>(s);
        m.add(1'000'000 + 1000LL * s, v);
    }
    EXPECT_EQ(m.size(), 61u);
    EXPECT_EQ(m.firstMs(), 1'000'000 + 120'000);
    EXPECT_EQ(m.lastMs(), 1'000'000 + 180'000);
    m.setWindowMinutes(10);
    EXPECT_EQ(m.size(), 61u);  // a wider window does not bring dropped points back
    m.add(1'000'000 + 181'000, v);
    EXPECT_EQ(m.size(), 62u);

    // The clock stepped back: the old points go, they would never leave the window.
    m.add(5, v);
    EXPECT_EQ(m.size(), 1u);
}

// The chart redraws every second: a thinned line must not change shape under the user's eyes,
// and the time axis moves by steps, always showing the newest point.
TEST(TrendModelTest, ThinnedLineKeepsItsShapeAndTheAxisMovesBySteps) {
    TrendModel m;
    m.setWindowMinutes(1);
    std::array<float, kTrendInputs> v{};
    auto addAt = [&](std::int64_t i) {
        v[0] = static_cast<float>((i * 7919) % 101);  // noisy
        m.add(1'700'000'000'000 + 100 * i, v);
    };
    std::int64_t i = 0;
    for (; i < 1200; ++i) addAt(i);
    const auto before = m.series(0, 200);
    addAt(i++);
    const auto after = m.series(0, 200);
    ASSERT_GE(before.size(), 100u);
    EXPECT_LE(after.size(), 202u);
    // Apart from the stretch at each end, the points are the same ones.
    const std::vector<QPointF> midBefore(before.begin() + 4, before.end() - 2);
    const auto from = std::find(after.begin(), after.end(), midBefore.front());
    ASSERT_NE(from, after.end());
    EXPECT_TRUE(std::equal(midBefore.begin(), midBefore.end(), from));

    const std::int64_t step = 5000;
    std::set<std::int64_t> ends;
    for (int k = 0; k < 200; ++k, ++i) {  // 20 s
        addAt(i);
        const auto [shownFrom, shownTo] = m.shownSpan(0);
        EXPECT_EQ(shownTo - shownFrom, m.windowMs());
        EXPECT_EQ(shownTo % step, 0);
        EXPECT_GT(shownTo, m.lastMs());
        EXPECT_LE(shownTo - m.lastMs(), step);
        ends.insert(shownTo);
    }
    EXPECT_LE(ends.size(), 5u);  // moved four or five times in 20 s, not 200
    TrendModel empty;
    EXPECT_EQ(empty.shownSpan(123'456).second, 125'000);
}

TEST(TrendModelTest, ThinnedSeriesKeepsSpikesAndBounds) {
    TrendModel m;
    m.setWindowMinutes(60);
    std::array<float, kTrendInputs> v{};
    for (int i = 0; i < 36000; ++i) {  // an hour at 10 points a second
        v[3] = i == 20000 ? 99.0f : (i == 30000 ? -7.0f : 1.0f);
        m.add(100LL * i, v);
    }
    const auto s = m.series(3, 1000);
    EXPECT_LE(s.size(), 1000u);
    EXPECT_GE(s.size(), 500u);
    double lo = 0, hi = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        lo = std::min(lo, s[i].y());
        hi = std::max(hi, s[i].y());
        if (i > 0) {
            EXPECT_LE(s[i - 1].x(), s[i].x());
        }
    }
    EXPECT_EQ(hi, 99.0);
    EXPECT_EQ(lo, -7.0);
    EXPECT_EQ(m.range(1u << 3), std::make_pair(-7.0, 99.0));
    EXPECT_EQ(m.range(0), std::make_pair(0.0, 1.0));
    EXPECT_TRUE(m.series(12, 100).empty());
}

}  // namespace
}  // namespace velor

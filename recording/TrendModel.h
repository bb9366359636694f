#pragma once
// The points of the live chart of the KALU inputs, without the chart: the values of the last
// minutes per input, older ones dropped as new ones come, so memory stays bounded by the chosen
// window. What is drawn is thinned to a fixed number of points per input (the lowest and the
// highest of each stretch), so a long window costs no more to draw than a short one.

#include <QPointF>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "modules/ModuleLayout.h"

namespace velor {

inline constexpr int kTrendInputs = static_cast<int>(kKaluInputs);

class TrendModel {
public:
    struct Point {
        std::int64_t ms = 0;  // milliseconds since the epoch
        float value = 0.0f;
    };

    // The window in minutes (1, 10, 60); points outside it are dropped at once.
    void setWindowMinutes(int minutes);
    int windowMinutes() const { return minutes_; }
    std::int64_t windowMs() const { return std::int64_t{minutes_} * 60'000; }

    void add(std::int64_t ms, const std::array<float, kTrendInputs>& values);
    void clear();

    // Where the answers came from another module than before: the time of the first answer of
    // the new module and its address. Kept while it lies in the window.
    struct ModuleMark {
        std::int64_t ms = 0;
        int address = 0;
    };
    // The module whose answer comes next (at ms); a change of module leaves a mark.
    void setModule(std::int64_t ms, int address);
    const std::deque<ModuleMark>& moduleMarks() const { return marks_; }

    std::size_t size() const { return points_.size(); }
    std::int64_t firstMs() const { return points_.empty() ? 0 : points_.front().ms; }
    std::int64_t lastMs() const { return points_.empty() ? 0 : points_.back().ms; }

    // Input (0..11) as chart points (x = ms since the epoch), at most about maxPoints of them:
    // beyond that, the lowest and the highest point of each stretch of the window's time, the
    // stretches fixed in time, so a line does not change shape as the window moves on.
    std::vector<QPointF> series(int input, std::size_t maxPoints) const;
    // The time the chart shows, {from, to} in ms since the epoch: the window, ending at the
    // first whole step (a twelfth of the window) after the newest point, or after nowMs with
    // none. The axis moves by steps, not with every point: each move lays out every line again.
    std::pair<std::int64_t, std::int64_t> shownSpan(std::int64_t nowMs) const;
    // Lowest and highest value of the given inputs (mask bit i = input i); {0,1} with none.
    std::pair<double, double> range(std::uint16_t inputMask) const;

private:
    struct Row {
        std::int64_t ms;
        std::array<float, kTrendInputs> values;
    };
    void trim();

    int minutes_ = 1;
    std::deque<Row> points_;
    std::deque<ModuleMark> marks_;
    int module_ = -1;  // none yet
};

}  // namespace velor

#include "recording/TrendModel.h"

#include <algorithm>
#include <cmath>

namespace velor {

void TrendModel::setWindowMinutes(int minutes) {
    minutes_ = std::max(1, minutes);
    trim();
}

void TrendModel::add(std::int64_t ms, const std::array<float, kTrendInputs>& values) {
    // The clock may step back (a time change): the older points would never leave the window.
    if (!points_.empty() && ms < points_.back().ms) clear();
    points_.push_back({ms, values});
    trim();
}

void TrendModel::clear() {
    points_.clear();
    marks_.clear();
}

void TrendModel::setModule(std::int64_t ms, int address) {
    if (module_ >= 0 && address != module_) marks_.push_back({ms, address});
    module_ = address;
}

void TrendModel::trim() {
    if (points_.empty()) return;
    const std::int64_t oldest = points_.back().ms - windowMs();
    while (!points_.empty() && points_.front().ms < oldest) points_.pop_front();
    while (!marks_.empty() && marks_.front().ms < oldest) marks_.pop_front();
}

std::vector<QPointF> TrendModel::series(int input, std::size_t maxPoints) const {
    std::vector<QPointF> out;
    if (input < 0 || input >= kTrendInputs || points_.empty()) return out;
    const auto i = static_cast<std::size_t>(input);
    auto put = [&](const Row& r) { out.emplace_back(static_cast<double>(r.ms), r.values[i]); };
    if (points_.size() <= maxPoints) {
        for (const Row& r : points_) put(r);
        return out;
    }
    const std::int64_t stretchMs = std::max<std::int64_t>(
        1, windowMs() / static_cast<std::int64_t>(std::max<std::size_t>(1, maxPoints / 2)));
    // Each stretch adds its lowest and its highest point, in time order: spikes stay visible.
    for (std::size_t b = 0; b < points_.size();) {
        const std::int64_t stretch = points_[b].ms / stretchMs;
        std::size_t lo = b, hi = b, k = b;
        for (; k < points_.size() && points_[k].ms / stretchMs == stretch; ++k) {
            if (points_[k].values[i] < points_[lo].values[i]) lo = k;
            if (points_[k].values[i] > points_[hi].values[i]) hi = k;
        }
        put(points_[std::min(lo, hi)]);
        if (lo != hi) put(points_[std::max(lo, hi)]);
        b = k;
    }
    return out;
}

std::pair<std::int64_t, std::int64_t> TrendModel::shownSpan(std::int64_t nowMs) const {
    const std::int64_t step = windowMs() / 12;
    const std::int64_t newest = points_.empty() ? nowMs : points_.back().ms;
    const std::int64_t end = (newest / step + 1) * step;
    return {end - windowMs(), end};
}

std::pair<double, double> TrendModel::range(std::uint16_t inputMask) const {
    double lo = INFINITY, hi = -INFINITY;
    for (const Row& r : points_) {
        for (int i = 0; i < kTrendInputs; ++i) {
            const double v = r.values[static_cast<std::size_t>(i)];
            if (!(inputMask & (1u << i)) || !std::isfinite(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (lo > hi) return {0.0, 1.0};
    if (lo == hi) return {lo - 1.0, hi + 1.0};
    return {lo, hi};
}

}  // namespace velor

#include "forms/PaintThrottle.h"

#include <algorithm>
#include <utility>

namespace aktarim {

PaintThrottle::PaintThrottle(std::function<void()> paint) : paint_(std::move(paint)) {
    deferred_.setSingleShot(true);
    QObject::connect(&deferred_, &QTimer::timeout, [this] { Request(true); });
}

void PaintThrottle::Request(bool force) {
    if (!force && last_.isValid() && last_.elapsed() < kIntervalMs) {
        if (!deferred_.isActive())
            deferred_.start(std::max<int>(1, kIntervalMs - static_cast<int>(last_.elapsed())));
        return;
    }
    deferred_.stop();
    paint_();
    // A hidden widget paints nothing; the request still counts, so that a
    // loop over a hidden widget is throttled as well.
    last_.restart();
}

}  // namespace aktarim

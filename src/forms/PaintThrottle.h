#pragma once
// "Repaint at once" for long loops: paints synchronously, but a request less
// than a frame after the last paint only schedules one for the frame's end,
// so a loop of thousands of steps stays fast. The last state is always
// painted, at the latest when events run again.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace aktarim {

class PaintThrottle {
  public:
    static constexpr int kIntervalMs = 16;

    // paint repaints the widget synchronously.
    explicit PaintThrottle(std::function<void()> paint);

    // force paints now whatever the time since the last paint.
    void Request(bool force = false);
    // A paint happened by other means (a paint event): the frame starts anew.
    void Painted() { last_.restart(); }

  private:
    std::function<void()> paint_;
    QElapsedTimer last_;
    QTimer deferred_;
};

}  // namespace aktarim

// Current local date and time, with an override for tests that check time-stamped texts.
#pragma once

#include <QDateTime>
#include <functional>

namespace tivra {

QDateTime currentDateTime();
// Milliseconds since the epoch by the same clock: cheap enough to ask per item of a long loop
// (the real clock needs no time-zone work), and moved by the test override like the above.
qint64 currentMSecsSinceEpoch();
// Replaces the clock (an empty function restores the real one).
void setClockForTesting(std::function<QDateTime()> clock);

}  // namespace tivra

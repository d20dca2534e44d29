// Current local date and time, with an override for tests that check time-stamped texts.
#pragma once

#include <QDateTime>
#include <functional>

namespace tivra {

QDateTime currentDateTime();
// Replaces the clock (an empty function restores the real one).
void setClockForTesting(std::function<QDateTime()> clock);

}  // namespace tivra

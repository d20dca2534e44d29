#include "core/clock.h"

namespace tivra {
namespace {
std::function<QDateTime()> &clockOverride()
{
    static std::function<QDateTime()> clock;
    return clock;
}
}  // namespace

QDateTime currentDateTime()
{
    const auto &clock = clockOverride();
    return clock ? clock() : QDateTime::currentDateTime();
}

qint64 currentMSecsSinceEpoch()
{
    const auto &clock = clockOverride();
    return clock ? clock().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}

void setClockForTesting(std::function<QDateTime()> clock)
{
    clockOverride() = std::move(clock);
}

}  // namespace tivra

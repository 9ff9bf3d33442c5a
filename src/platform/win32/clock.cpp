#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

std::uint32_t millisecondClock() { return timeGetTime(); }

TimerResolution::TimerResolution() : active_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

TimerResolution::~TimerResolution() {
    if (active_) timeEndPeriod(1);
}

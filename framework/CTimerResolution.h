// A raised system timer resolution (timeBeginPeriod), lowered again when the object goes out of scope.
#pragma once
#include "Afx.h"

#include <mmsystem.h>

class CTimerResolution {
public:
    explicit CTimerResolution(UINT periodMs) : period(periodMs), raised(::timeBeginPeriod(periodMs) == TIMERR_NOERROR) {}
    ~CTimerResolution()
    {
        if (raised)
            ::timeEndPeriod(period);
    }
    CTimerResolution(const CTimerResolution&) = delete;
    CTimerResolution& operator=(const CTimerResolution&) = delete;

private:
    UINT period;
    bool raised;
};

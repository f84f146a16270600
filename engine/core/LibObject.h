// The common base of every engine object: its construction starts the demo clock.
#pragma once
#include "engine/core/Clock.h"

class LibObject {
public:
    LibObject() { ClockStart(); }
    virtual ~LibObject() = default;
};

// Fixture of the include-order check: sound sits beside the engine and may not use the script.
#pragma once
#include "engine/core/Log.h"
#include "script/Timeline.h"

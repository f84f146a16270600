// Fixture of the include-order check: the core reaching up into the device.
#pragma once
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"

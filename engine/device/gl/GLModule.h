// The OpenGL device as the program's internal module; free of SDL and GL headers so the application can name it.
#pragma once
#include "engine/device/ModuleList.h"

// Its banner is the device's description; its factory makes a GLDevice.
InternalModule GLModule();

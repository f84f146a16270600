// Enumeration records and colour packing.
#include "engine/device/DeviceTypes.h"

int DeviceInfo::AddMode(const ModeInfo& mode)
{
    modes.push_back(mode);
    return static_cast<int>(modes.size()) - 1;
}

int DriverInfo::AddDevice(const DeviceInfo& device)
{
    devices.push_back(device);
    return static_cast<int>(devices.size()) - 1;
}

static uint32_t ColorByte(float component)
{
    // Truncation toward zero; NaN and out-of-range values would otherwise spill into
    // neighbouring channels.
    if (!(component > 0.0f))
        return 0;
    if (component >= 1.0f)
        return 255;
    return static_cast<uint32_t>(component * 255.0f);
}

uint32_t PackColor(float r, float g, float b)
{
    return 0xFF000000u | ColorByte(r) << 16 | ColorByte(g) << 8 | ColorByte(b);
}

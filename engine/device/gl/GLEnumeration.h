// Lists SDL displays, the OpenGL devices that really open on them and their modes (internal).
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"

// The native objects behind the enumeration records (owned by GLEnumeration).
struct GLModeObject {
    int width = 0;
    int height = 0;
    int bits = 0;
};
struct GLDeviceObject {
    std::string renderer;
    std::string version;
    bool hardware = false;
    std::vector<std::unique_ptr<GLModeObject>> modes;
};
struct GLDriverObject {
    int display = 0;
    std::vector<std::unique_ptr<GLDeviceObject>> devices;
};

// What a display reports, separated from SDL so the mode list rules can be checked alone.
struct DisplayReport {
    int desktopWidth = 0;
    int desktopHeight = 0;
    std::vector<std::pair<int, int>> sizes;  // as the display lists them (zeros are skipped)
};

// Every reported size plus the classic 4:3 sizes that fit the desktop, each at 16 and 32
// bits, without duplicates, sorted by width (then height, then bits).
std::vector<ModeInfo> BuildModeList(const DisplayReport& report);

// Adds mode to deviceInfo, with its native record kept by device.
void AddModeRecord(GLDeviceObject& device, DeviceInfo& deviceInfo, ModeInfo mode);

// True when the renderer string names one of Mesa's software rasterisers.
bool IsSoftwareRenderer(const std::string& renderer);

class GLEnumeration {
public:
    // Fills drivers (one per display that has at least one device that opens). Needs SDL video.
    void Enumerate(std::vector<DriverInfo>& drivers);
    // The highest OpenGL version a display offered that is too old for the device (false
    // when none was seen), so a machine without any driver can be told why.
    bool GetTooOldVersion(int& major, int& minor) const;

private:
    int oldMajor_ = -1;
    int oldMinor_ = -1;
    std::vector<std::unique_ptr<GLDriverObject>> drivers_;
};

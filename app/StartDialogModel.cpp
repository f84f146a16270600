// Start dialog contents without any toolkit: the three lists, their filling and preselection.
#include "app/StartDialogModel.h"

#include <cstdio>

#include "engine/device/RenderDevice.h"

bool IsListableMode(const ModeInfo& mode)
{
    if (mode.bitsPerPixel != 16 && mode.bitsPerPixel != 32)
        return false;
    if (mode.width <= 0)
        return false;
    // Height / width must be 0.75 exactly; in integers that is 4h == 3w.
    return static_cast<int64_t>(mode.height) * 4 == static_cast<int64_t>(mode.width) * 3;
}

std::string ModeText(const ModeInfo& mode)
{
    char text[64];
    std::snprintf(text, sizeof text, "%dx%dx%d", mode.width, mode.height, mode.bitsPerPixel);
    return text;
}

namespace {

std::vector<DriverInfo> CopyDrivers(RenderDevice& device)
{
    std::vector<DriverInfo> drivers;
    const int count = device.GetDriverCount();
    for (int i = 0; i < count; ++i)
        drivers.push_back(device.GetDriver(i));
    return drivers;
}

}  // namespace

StartDialogModel::StartDialogModel(RenderDevice& device)
    : StartDialogModel(CopyDrivers(device))
{
}

StartDialogModel::StartDialogModel(std::vector<DriverInfo> drivers)
    : drivers_(std::move(drivers))
{
    for (const DriverInfo& driver : drivers_)
        driverItems_.push_back(driver.description);
    selectedDriver_ = driverItems_.empty() ? -1 : 0;
    FillDevices();
}

void StartDialogModel::FillDevices()
{
    deviceItems_.clear();
    selectedDevice_ = -1;
    if (selectedDriver_ >= 0) {
        const DriverInfo& driver = drivers_[selectedDriver_];
        for (int i = 0; i < driver.GetDeviceCount(); ++i) {
            const std::string& description = driver.GetDevice(i).description;
            deviceItems_.push_back(description);
            if (description.find("Hardware") != std::string::npos)
                selectedDevice_ = i;  // the last hardware device wins
        }
        if (selectedDevice_ < 0 && !deviceItems_.empty())
            selectedDevice_ = 0;
    }
    FillModes();
}

void StartDialogModel::FillModes()
{
    modeItems_.clear();
    modeIndexes_.clear();
    selectedMode_ = -1;
    if (selectedDriver_ < 0 || selectedDevice_ < 0)
        return;
    const DeviceInfo& device = drivers_[selectedDriver_].GetDevice(selectedDevice_);
    for (int i = 0; i < device.GetModeCount(); ++i) {
        const ModeInfo& mode = device.GetMode(i);
        if (!IsListableMode(mode))
            continue;
        if (mode.width == 640 && mode.height == 480 && mode.bitsPerPixel == 32)
            selectedMode_ = static_cast<int>(modeItems_.size());  // the last such
        modeItems_.push_back(ModeText(mode));
        modeIndexes_.push_back(i);
    }
    if (selectedMode_ < 0 && !modeItems_.empty())
        selectedMode_ = 0;
}

void StartDialogModel::SelectDriver(int index)
{
    if (index < 0 || index >= static_cast<int>(driverItems_.size()))
        return;
    selectedDriver_ = index;
    FillDevices();
}

void StartDialogModel::SelectDevice(int index)
{
    if (index < 0 || index >= static_cast<int>(deviceItems_.size()))
        return;
    selectedDevice_ = index;
    FillModes();
}

void StartDialogModel::SelectMode(int index)
{
    if (index < 0 || index >= static_cast<int>(modeItems_.size()))
        return;
    selectedMode_ = index;
}

bool StartDialogModel::CanStart() const
{
    return selectedDriver_ >= 0 && selectedDevice_ >= 0 && selectedMode_ >= 0;
}

const ModeInfo* StartDialogModel::GetSelectedModeInfo() const
{
    if (!CanStart())
        return nullptr;
    return &drivers_[selectedDriver_].GetDevice(selectedDevice_).GetMode(
        modeIndexes_[selectedMode_]);
}

bool StartDialogModel::Apply(RenderDevice& device) const
{
    if (!CanStart())
        return false;
    const DriverInfo& driver = drivers_[selectedDriver_];
    const DeviceInfo& chosenDevice = driver.GetDevice(selectedDevice_);
    device.SelectDriver(driver);
    device.SelectDevice(chosenDevice);
    device.SelectMode(*GetSelectedModeInfo());
    return true;
}

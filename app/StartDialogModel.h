// Start dialog contents without any toolkit: the three lists, their filling and preselection.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"

class RenderDevice;

class StartDialogModel {
public:
    // Copies the device's drivers; selects the first driver and fills the other lists.
    explicit StartDialogModel(RenderDevice& device);
    // The same from plain driver records (the device's list, in order).
    explicit StartDialogModel(std::vector<DriverInfo> drivers);

    const std::vector<std::string>& GetDriverItems() const { return driverItems_; }
    const std::vector<std::string>& GetDeviceItems() const { return deviceItems_; }
    const std::vector<std::string>& GetModeItems() const { return modeItems_; }
    // -1 when the list is empty.
    int GetSelectedDriver() const { return selectedDriver_; }
    int GetSelectedDevice() const { return selectedDevice_; }
    int GetSelectedMode() const { return selectedMode_; }

    // Another driver refills devices and modes; another device refills the modes.
    // Indexes outside the list are ignored.
    void SelectDriver(int index);
    void SelectDevice(int index);
    void SelectMode(int index);

    // Start is refused while any list is empty.
    bool CanStart() const;
    // The mode record behind the selected resolution item (nullptr when none).
    const ModeInfo* GetSelectedModeInfo() const;
    // Hands the three selections to the device, driver first. False (nothing handed)
    // when Start is refused.
    bool Apply(RenderDevice& device) const;

    // Starts checked every time the dialog opens.
    bool fullScreen = true;

private:
    void FillDevices();
    void FillModes();

    std::vector<DriverInfo> drivers_;
    std::vector<std::string> driverItems_;
    std::vector<std::string> deviceItems_;
    std::vector<std::string> modeItems_;
    std::vector<int> modeIndexes_;  // resolution item -> index in the device's mode list
    int selectedDriver_ = -1;
    int selectedDevice_ = -1;
    int selectedMode_ = -1;
};

// Only 4:3 modes at 16 or 32 bits are offered.
bool IsListableMode(const ModeInfo& mode);
// "%dx%dx%d" with width, height and bits.
std::string ModeText(const ModeInfo& mode);

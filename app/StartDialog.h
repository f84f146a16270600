// Start dialog (GTK): driver, device, resolution and full screen, or quit.
#pragma once
#include <string>

class RenderDevice;

class StartDialog {
public:
    // Modal. True when the user pressed Start: the choice is then stored in the device
    // (driver, device, mode in that order) and IsFullScreen tells the check box state.
    // Raises an application error when no display is available for the dialog.
    bool Run(RenderDevice& device, const std::string& caption);
    bool IsFullScreen() const { return fullScreen_; }

private:
    bool fullScreen_ = true;
};

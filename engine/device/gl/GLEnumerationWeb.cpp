// Enumeration on the web: the page's canvas is the one display, WebGL 2 its one device.
#include <memory>
#include "engine/device/gl/GLEnumeration.h"

void GLEnumeration::Enumerate(std::vector<DriverInfo>& drivers)
{
    auto native = std::make_unique<GLDriverObject>();
    native->display = 0;
    auto device = std::make_unique<GLDeviceObject>();
    device->renderer = "WebGL 2";
    device->version = "OpenGL ES 3.0";
    device->hardware = true;  // the browser decides; the page cannot tell

    DeviceInfo deviceInfo;
    deviceInfo.name = "WebGL 2";
    deviceInfo.description = "Browser's WebGL 2 (OpenGL ES 3.0)";
    deviceInfo.native = device.get();
    // The canvas may take any size; the usual 4:3 sizes are offered, in 32 bits only (the
    // back buffer of a 16-bit mode would need RGB565 blits WebGL 2 does not promise).
    DisplayReport report;
    report.desktopWidth = 1600;
    report.desktopHeight = 1200;
    for (const ModeInfo& mode : BuildModeList(report))
        if (mode.bitsPerPixel == 32) AddModeRecord(*device, deviceInfo, mode);

    DriverInfo driver;
    driver.name = "Browser";
    driver.description = "The page's canvas";
    driver.native = native.get();
    driver.AddDevice(deviceInfo);
    native->devices.push_back(std::move(device));
    drivers.push_back(driver);
    drivers_.push_back(std::move(native));
}

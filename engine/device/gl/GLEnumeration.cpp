// Enumeration of SDL displays, probed OpenGL devices and display modes.
#include "engine/device/gl/GLEnumeration.h"
#ifndef STARFALL_WEB  // the web build enumerates its canvas in GLEnumerationWeb.cpp
#include <SDL2/SDL.h>
#endif
#include <algorithm>
#include <tuple>
#include "engine/device/gl/GLContext.h"
#include "engine/device/gl/GLError.h"

std::vector<ModeInfo> BuildModeList(const DisplayReport& report)
{
    std::vector<std::pair<int, int>> sizes;
    for (auto size : report.sizes)
        if (size.first > 0 && size.second > 0) sizes.push_back(size);
    static const int kClassic[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};
    for (const auto& c : kClassic)
        if (c[0] <= report.desktopWidth && c[1] <= report.desktopHeight) sizes.emplace_back(c[0], c[1]);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    std::vector<ModeInfo> modes;
    for (auto size : sizes)
        for (int bits : {16, 32}) {
            ModeInfo mode;
            mode.width = size.first;
            mode.height = size.second;
            mode.bitsPerPixel = bits;
            modes.push_back(mode);
        }
    return modes;
}

void AddModeRecord(GLDeviceObject& device, DeviceInfo& deviceInfo, ModeInfo mode)
{
    auto modeObject = std::make_unique<GLModeObject>();
    modeObject->width = mode.width;
    modeObject->height = mode.height;
    modeObject->bits = mode.bitsPerPixel;
    mode.native = modeObject.get();
    device.modes.push_back(std::move(modeObject));
    deviceInfo.AddMode(mode);
}

bool IsSoftwareRenderer(const std::string& renderer)
{
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"})
        if (renderer.find(name) != std::string::npos) return true;
    return false;
}

#ifndef STARFALL_WEB
namespace {

// Opens a hidden window with a core context on the display to see what GL really offers.
// foundMajor/foundMinor get the version the display offers (-1 when it offers none).
bool ProbeDisplay(int display, GLDeviceObject& device, int& foundMajor, int& foundMinor)
{
    foundMajor = foundMinor = -1;
    // A device already running keeps its context current afterwards.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SetCoreContextAttributes();
    SDL_Window* window = SDL_CreateWindow("Vireo probe", SDL_WINDOWPOS_UNDEFINED_DISPLAY(display),
                                          SDL_WINDOWPOS_UNDEFINED_DISPLAY(display), 16, 16,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) return false;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    bool ok = false;
    if (context == nullptr) {
        // No core context of the version needed: what does the display offer at all?
        int major = 0, minor = 0;
        if (ReadOfferedVersion(window, major, minor)) {
            foundMajor = major;
            foundMinor = minor;
        }
        SetCoreContextAttributes();
    } else {
        int major = 0, minor = 0;
        ReadContextVersion(major, minor);
        foundMajor = major;
        foundMinor = minor;
        ok = IsVersionSufficient(major, minor);
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        device.renderer = renderer ? renderer : "unknown renderer";
        device.version = version ? version : "";
        device.hardware = !IsSoftwareRenderer(device.renderer);
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    if (previousContext != nullptr) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return ok;
}

}  // namespace

void GLEnumeration::Enumerate(std::vector<DriverInfo>& drivers)
{
    int displays = SDL_GetNumVideoDisplays();
    for (int d = 0; d < displays; ++d) {
        auto native = std::make_unique<GLDriverObject>();
        native->display = d;
        auto device = std::make_unique<GLDeviceObject>();
        int major = -1, minor = -1;
        if (!ProbeDisplay(d, *device, major, minor)) {
            bool tooOld = major >= 0 && !IsVersionSufficient(major, minor);
            if (tooOld && (major > oldMajor_ || (major == oldMajor_ && minor > oldMinor_))) {
                oldMajor_ = major;
                oldMinor_ = minor;
            }
            continue;
        }

        DisplayReport report;
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(d, &desktop) == 0) {
            report.desktopWidth = desktop.w;
            report.desktopHeight = desktop.h;
        }
        int count = SDL_GetNumDisplayModes(d);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode{};
            if (SDL_GetDisplayMode(d, i, &mode) == 0) report.sizes.emplace_back(mode.w, mode.h);
        }
        if (report.desktopWidth > 0) report.sizes.emplace_back(report.desktopWidth, report.desktopHeight);

        DeviceInfo deviceInfo;
        deviceInfo.name = "OpenGL 3.3 Core";
        deviceInfo.description = std::string(device->hardware ? "Hardware accelerated OpenGL: " : "Software rendered OpenGL: ") +
                                 device->renderer + " (" + device->version + ")";
        deviceInfo.native = device.get();
        for (const ModeInfo& mode : BuildModeList(report)) AddModeRecord(*device, deviceInfo, mode);

        DriverInfo driver;
        const char* name = SDL_GetDisplayName(d);
        driver.name = name && *name ? name : "Display " + std::to_string(d + 1);
        driver.description = "Display " + std::to_string(d + 1) + " (" + SDL_GetCurrentVideoDriver() + ")";
        driver.native = native.get();
        driver.AddDevice(deviceInfo);
        native->devices.push_back(std::move(device));
        drivers.push_back(driver);
        drivers_.push_back(std::move(native));
    }
}

#endif  // STARFALL_WEB

bool GLEnumeration::GetTooOldVersion(int& major, int& minor) const
{
    if (oldMajor_ < 0) return false;
    major = oldMajor_;
    minor = oldMinor_;
    return true;
}

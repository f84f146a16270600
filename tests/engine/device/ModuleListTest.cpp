// Tests of the module list: the internal module, device creation and shared-library modules.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include "engine/core/Log.h"
#include "engine/device/ModuleList.h"
#include "engine/device/gl/GLModule.h"
#include "engine/device/RenderDevice.h"
#include "support/TestImages.h"

namespace {

// Builds a shared library from C source with the system compiler; false when none works.
bool BuildLibrary(const std::filesystem::path& source, const std::filesystem::path& library, const std::string& code)
{
    std::ofstream(source) << code;
    std::string command = "cc -shared -fPIC -o '" + library.string() + "' '" + source.string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(library);
}

const char* kModuleSource =
    "#include <string.h>\n"
    "struct Description { char name[100]; unsigned a, b, c; };\n"
    "static struct Description mine;\n"
    "const struct Description* VireoModuleDescribe(struct Description* block) {\n"
    "    (void)block; memset(&mine, 0, sizeof mine); strcpy(mine.name, \"Test\"); mine.a = 7; return &mine;\n"
    "}\n"
    "void* VireoModuleFactory(void) { return 0; }\n";

}  // namespace

TEST(ModuleList, InternalModuleIsTheOnlyEntryAfterStartUp)
{
    DeviceModuleList list(GLModule());
    EXPECT_EQ(list.GetModuleCount(), 0);
    list.AddInternalModule(".\\drv");
    ASSERT_EQ(list.GetModuleCount(), 1);
    EXPECT_EQ(list.GetModule(0).fileName, "Internal Module");
    EXPECT_STREQ(list.GetModule(0).description.name, "OpenGL Module for Vireo! Library");
    EXPECT_EQ(list.GetModule(0).description.value1, 0u);
    EXPECT_EQ(list.GetModule(0).description.value3, 0u);
    EXPECT_TRUE(list.GetFolder().empty());
}

TEST(ModuleList, CreateDeviceInstallsTheLogCallbackFirst)
{
    DeviceModuleList list(GLModule());
    list.AddInternalModule(".\\drv");
    LogCallback previous = GetLogCallback();
    {
        // No callback: the device's lines go nowhere.
        std::unique_ptr<RenderDevice> device(list.CreateDevice(0, nullptr));
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(GetLogCallback(), nullptr);
        EXPECT_STREQ(device->GetDescription(), "OpenGL Module for Vireo! Library");
        EXPECT_GE(device->GetDriverCount(), 1);
    }
    LogCapture capture;  // installs its own callback
    LogCallback capturing = GetLogCallback();
    SetLogCallback(nullptr);
    std::unique_ptr<RenderDevice> device(list.CreateDevice(0, capturing));
    EXPECT_EQ(GetLogCallback(), capturing);
    EXPECT_TRUE(capture.Contains("Found Module [Internal module](OpenGL Module for Vireo! Library)"));
    SetLogCallback(previous);
}

TEST(ModuleList, SharedLibraryModulesAreDescribedAndListed)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "modules";
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (!BuildLibrary(dir / "x.c", dir / "x.so", kModuleSource)) GTEST_SKIP() << "no C compiler to build a module";
    ASSERT_TRUE(BuildLibrary(dir / "plain.c", dir / "plain.so", "int Unrelated(void) { return 1; }\n"));
    std::ofstream(dir / "broken.so") << "not a library";
    fs::remove(dir / "x.c");
    fs::remove(dir / "plain.c");

    DeviceModuleList list(GLModule());
    list.SetFolder(dir.string());
    list.AddInternalModule(".\\drv");
    {
        LogCapture capture;
        EXPECT_TRUE(list.TryAddModule("x.so"));
        EXPECT_TRUE(capture.Contains("Found Module [x.so](Test)"));
    }
    ASSERT_EQ(list.GetModuleCount(), 2);
    EXPECT_EQ(list.GetModule(1).fileName, "x.so");
    EXPECT_STREQ(list.GetModule(1).description.name, "Test");
    EXPECT_EQ(list.GetModule(1).description.value1, 7u);
    EXPECT_FALSE(list.TryAddModule("missing.so"));
    EXPECT_FALSE(list.TryAddModule("plain.so"));  // loads, but has no description entry

    // Scan goes through the folder in name order; what is not a module is reported and skipped.
    DeviceModuleList scanned(GLModule());
    scanned.SetFolder(dir.string());
    testing::internal::CaptureStdout();
    scanned.Scan();
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("o Not a valid DLL [broken.so]\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("o Not a valid DLL [plain.so]\n"), std::string::npos) << printed;
    ASSERT_EQ(scanned.GetModuleCount(), 1);
    EXPECT_EQ(scanned.GetModule(0).fileName, "x.so");

    // Library modules are listed but the device always comes from the internal module.
    std::unique_ptr<RenderDevice> device(scanned.CreateDevice(0, nullptr));
    EXPECT_STREQ(device->GetDescription(), "OpenGL Module for Vireo! Library");
}

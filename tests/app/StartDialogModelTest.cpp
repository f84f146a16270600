// Start dialog lists: 4:3 filter, 16/32 bits, preselection, refill on change, refusal of Start.
#include <gtest/gtest.h>

#include "app/StartDialogModel.h"
#include "support/RecordingDevice.h"

namespace {

ModeInfo Mode(int w, int h, int bits)
{
    ModeInfo m;
    m.width = w;
    m.height = h;
    m.bitsPerPixel = bits;
    return m;
}

DeviceInfo Device(const std::string& description, std::vector<ModeInfo> modes)
{
    DeviceInfo d;
    d.name = description;
    d.description = description;
    d.modes = std::move(modes);
    return d;
}

DriverInfo Driver(const std::string& description, std::vector<DeviceInfo> devices)
{
    DriverInfo d;
    d.name = description;
    d.description = description;
    d.devices = std::move(devices);
    return d;
}

using Items = std::vector<std::string>;

}  // namespace

TEST(StartDialogModel, ListsOnly4By3ModesAt16Or32BitsAndPreselects640x480x32)
{
    StartDialogModel model({Driver("Primary", {Device("Soft", {
        Mode(320, 200, 32), Mode(640, 480, 8), Mode(640, 480, 16), Mode(640, 480, 24),
        Mode(640, 480, 32), Mode(800, 600, 32), Mode(1280, 1024, 32), Mode(1366, 768, 32),
        Mode(0, 0, 32)})})});
    EXPECT_EQ(model.GetModeItems(), (Items{"640x480x16", "640x480x32", "800x600x32"}));
    EXPECT_EQ(model.GetSelectedMode(), 1);
    ASSERT_NE(model.GetSelectedModeInfo(), nullptr);
    EXPECT_EQ(model.GetSelectedModeInfo()->width, 640);
    EXPECT_EQ(model.GetSelectedModeInfo()->bitsPerPixel, 32);

    // Without 640x480x32 the first listed item is preselected.
    StartDialogModel other({Driver("D", {Device("X", {Mode(1024, 768, 16), Mode(1600, 1200, 32)})})});
    EXPECT_EQ(other.GetModeItems(), (Items{"1024x768x16", "1600x1200x32"}));
    EXPECT_EQ(other.GetSelectedMode(), 0);

    // Two 640x480x32 entries: the last one is chosen.
    StartDialogModel twice({Driver("D", {Device("X", {Mode(640, 480, 32), Mode(640, 480, 16),
                                                       Mode(640, 480, 32)})})});
    EXPECT_EQ(twice.GetSelectedMode(), 2);
}

TEST(StartDialogModel, PreselectsTheLastHardwareDeviceOrTheFirst)
{
    StartDialogModel model({Driver("D", {Device("Software", {}), Device("Hardware A", {}),
                                         Device("Emulation", {}), Device("Hardware B", {}),
                                         Device("hardware C", {})})});
    EXPECT_EQ(model.GetDeviceItems().size(), 5u);
    EXPECT_EQ(model.GetSelectedDevice(), 3);  // "hardware C" does not match: case-sensitive

    StartDialogModel none({Driver("D", {Device("Software", {}), Device("Reference", {})})});
    EXPECT_EQ(none.GetSelectedDevice(), 0);
}

TEST(StartDialogModel, ChangingDriverOrDeviceRefillsTheListsBelow)
{
    StartDialogModel model({
        Driver("First", {Device("Hardware 1", {Mode(640, 480, 32)})}),
        Driver("Second", {Device("Hardware 2", {Mode(800, 600, 16), Mode(1024, 768, 32)}),
                          Device("Software 2", {Mode(320, 240, 32)})}),
    });
    EXPECT_EQ(model.GetDriverItems(), (Items{"First", "Second"}));
    EXPECT_EQ(model.GetSelectedDriver(), 0);
    EXPECT_EQ(model.GetDeviceItems(), (Items{"Hardware 1"}));

    model.SelectDriver(1);
    EXPECT_EQ(model.GetDeviceItems(), (Items{"Hardware 2", "Software 2"}));
    EXPECT_EQ(model.GetSelectedDevice(), 0);
    EXPECT_EQ(model.GetModeItems(), (Items{"800x600x16", "1024x768x32"}));
    EXPECT_EQ(model.GetSelectedMode(), 0);

    model.SelectMode(1);
    model.SelectDevice(1);
    EXPECT_EQ(model.GetModeItems(), (Items{"320x240x32"}));
    EXPECT_EQ(model.GetSelectedMode(), 0);
    EXPECT_EQ(model.GetSelectedModeInfo()->width, 320);

    // Out-of-range selections change nothing.
    model.SelectDriver(7);
    model.SelectDevice(-1);
    model.SelectMode(3);
    EXPECT_EQ(model.GetSelectedDriver(), 1);
    EXPECT_EQ(model.GetSelectedDevice(), 1);
    EXPECT_EQ(model.GetSelectedMode(), 0);
}

TEST(StartDialogModel, StartIsRefusedWhileAListIsEmpty)
{
    StartDialogModel noDrivers(std::vector<DriverInfo>{});
    EXPECT_FALSE(noDrivers.CanStart());
    EXPECT_EQ(noDrivers.GetSelectedDriver(), -1);
    EXPECT_EQ(noDrivers.GetSelectedModeInfo(), nullptr);

    StartDialogModel noDevices({Driver("D", {})});
    EXPECT_FALSE(noDevices.CanStart());
    EXPECT_EQ(noDevices.GetSelectedDevice(), -1);

    // Only modes that are filtered out: the resolution list stays empty.
    StartDialogModel noModes({Driver("D", {Device("Hardware", {Mode(640, 480, 24),
                                                              Mode(1280, 1024, 32)})}),
                              Driver("E", {Device("Hardware", {Mode(640, 480, 16)})})});
    EXPECT_TRUE(noModes.GetModeItems().empty());
    EXPECT_FALSE(noModes.CanStart());
    noModes.SelectDriver(1);
    EXPECT_TRUE(noModes.CanStart());
    EXPECT_TRUE(noModes.fullScreen);
}

TEST(StartDialogModel, StartHandsTheChosenRecordsToTheDevice)
{
    RecordingDevice device;
    StartDialogModel model({Driver("D0", {Device("Soft", {Mode(640, 480, 32)})}),
                            Driver("D1", {Device("Hardware X", {Mode(640, 480, 24), Mode(1280, 1024, 32),
                                                                Mode(640, 480, 16), Mode(800, 600, 32)})})});
    model.SelectDriver(1);
    ASSERT_EQ(model.GetModeItems(), (Items{"640x480x16", "800x600x32"}));
    // Items are filtered, so item 1 must map back to the fourth record of the device.
    model.SelectMode(1);
    ASSERT_TRUE(model.Apply(device));
    ASSERT_NE(device.GetSelectedDriver(), nullptr);
    ASSERT_NE(device.GetSelectedDevice(), nullptr);
    ASSERT_NE(device.GetSelectedMode(), nullptr);
    EXPECT_EQ(device.GetSelectedDriver()->description, "D1");
    EXPECT_EQ(device.GetSelectedDevice()->description, "Hardware X");
    EXPECT_EQ(ModeText(*device.GetSelectedMode()), "800x600x32");

    // Refused: nothing reaches the device.
    RecordingDevice untouched;
    StartDialogModel empty({Driver("D", {Device("Hardware", {Mode(1280, 1024, 32)})})});
    EXPECT_FALSE(empty.Apply(untouched));
    EXPECT_EQ(untouched.GetSelectedDriver(), nullptr);
    EXPECT_EQ(untouched.GetSelectedMode(), nullptr);

    // The device's own lists feed the model the same way.
    StartDialogModel fromDevice(device);
    EXPECT_EQ(fromDevice.GetDriverItems(), (Items{"Display-less device for tests"}));
    EXPECT_EQ(fromDevice.GetSelectedMode(), 1);  // 640x480x32
}

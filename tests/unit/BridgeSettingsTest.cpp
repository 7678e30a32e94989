// Settings shown in the panel and copied back: selections, unknown stored values, model presets.
#include <gtest/gtest.h>

#include "bridge/core/BridgeSettings.h"
#include "bridge/core/ComPortList.h"
#include "bridge/core/ModelPreset.h"
#include "bridge/core/SerialEncodings.h"

TEST(BridgeSettings, ARadioButtonWinsOverTheListOfOtherPorts)
{
    // The panel unchooses the list when a radio button is clicked; should both be set, the button wins.
    // (That stored values come back unchanged, what the panel cannot show too, is the fuzz target's.)
    BridgeSettings settings;
    settings.comPort = 14;
    PanelValues panel = settings.ToPanel();
    panel.com2Selected = 1;
    settings.CopyFromPanel(panel);
    EXPECT_EQ(settings.comPort, 2);
}

TEST(ComPortList, NamesOnlyWindowsPortNumbers)
{
    EXPECT_EQ(ComPortList::ParseName("COM5"), 5);
    EXPECT_EQ(ComPortList::ParseName(" com14 "), 14);
    EXPECT_EQ(ComPortList::ParseName("COM255"), 255);
    for (const char* name : {"COM0", "COM256", "COM05", "COM", "COM5x", "LPT1", "COM1234", "", "\\\\.\\COM5"})
        EXPECT_EQ(ComPortList::ParseName(name), 0) << name;
}

TEST(ComPortList, EntriesInNumberOrderWithoutTheRadioPortsAndTheChosenOneEvenWhenAbsent)
{
    const std::vector<ComPortList::Present> present = {
        {10, ""}, {5, "USB-SERIAL CH340 (COM5)"}, {1, ""}, {7, "Port komunikacyjny"}, {9, ""}, {10, "Adapter"}, {300, ""}};
    auto entries = ComPortList::Entries(present, 14);
    std::vector<std::pair<int, std::string>> seen;
    for (const auto& entry : entries)
        seen.emplace_back(entry.number, entry.label);
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{5, "USB-SERIAL CH340 (COM5)"},
                                                               {7, "Port komunikacyjny (COM7)"},
                                                               {9, "COM9"},
                                                               {10, "Adapter (COM10)"},
                                                               {14, "COM14 (nieobecny)"}}));
    // A chosen port that is present is listed once, unmarked; COM1 and COM2 are the radio buttons'.
    EXPECT_EQ(ComPortList::Entries(present, 9).size(), 4u);
    EXPECT_EQ(ComPortList::Entries(present, 2).size(), 4u);
}

TEST(BridgeSettings, CopyBackTakesSelectionsPortsAndNormalisedFlags)
{
    BridgeSettings settings;
    PanelValues panel = settings.ToPanel();
    panel.com1Selected = 0;
    panel.com2Selected = 1;
    panel.speedIndex = 12;
    panel.stopBitsIndex = 2;
    panel.logToFile = 5;
    panel.listenPort = 6000;
    settings.CopyFromPanel(panel);
    EXPECT_EQ(settings.comPort, 2);
    EXPECT_EQ(settings.baudRate, 115200);
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(settings.logToFile, 1);
    EXPECT_EQ(settings.listenPort, 6000);
}

TEST(ModelPreset, EveryModelHasItsSpeedAndStopBits)
{
    const struct {
        int position;
        const char* speed;
        const char* stopBits;
    } expected[] = {{0, "4800", "2"},  {1, "4800", "2"},  {2, "4800", "2"},  {3, "7200", "1"},
                    {4, "19200", "2"}, {5, "19200", "2"}, {6, "56000", "1"}, {7, "2400", "1"},
                    {8, "2400", "1"},  {9, "2400", "1"},  {10, "115200", "1"}};
    for (const auto& row : expected) {
        auto preset = ModelPreset::ForModel(row.position);
        ASSERT_TRUE(preset) << row.position;
        EXPECT_STREQ(SerialEncodings::SpeedText(preset->speedIndex), row.speed) << row.position;
        EXPECT_STREQ(SerialEncodings::StopBitsText(preset->stopBitsIndex), row.stopBits) << row.position;
        EXPECT_STREQ(SerialEncodings::ParityText(preset->parityIndex), "None ");
        EXPECT_NE(ModelPreset::ModelName(row.position), nullptr);
    }
    for (const int outside : {-1, 11})
        EXPECT_FALSE(ModelPreset::ForModel(outside) || ModelPreset::ModelName(outside)) << outside;
}

TEST(BridgeSettings, WhatThePanelCannotShowKeepsThePortsOwnSettingAndNoPortIsNoLine)
{
    BridgeSettings settings;
    settings.comPort = 256;
    settings.baudRate = 12345;
    settings.parity = 9;
    settings.stopBits = 2;
    const BridgeOptions options = settings.ToOptions();
    EXPECT_EQ(options.comPort, 0);
    EXPECT_EQ(options.serial.baudRate, SerialParameters::KEEP);
    EXPECT_EQ(options.serial.parity, SerialParameters::KEEP);
    EXPECT_EQ(options.serial.stopBits, 2);
}

TEST(BridgeSettings, RelativeLogAndTraceNamesAreTakenInsideTheFolder)
{
    const std::string folder = "C:\\ProgramData\\MORVEK\\Vextor";
    BridgeSettings settings;
    settings.traceFileName = "trace.txt";
    BridgeOptions options = settings.ToOptions(folder);
    EXPECT_EQ(options.logFileName, folder + "\\Kavrel.txt");
    EXPECT_EQ(options.traceFileName, folder + "\\trace.txt");
    for (const char* placed : {"D:\\logs\\k.txt", "d:k.txt", "\\\\server\\share\\k.txt", "\\k.txt", "/k.txt"})
        EXPECT_EQ(BridgeSettings::InFolder(placed, folder), placed);
    EXPECT_EQ(BridgeSettings::InFolder("", folder), "");
    EXPECT_EQ(BridgeSettings::InFolder("logs\\k.txt", folder + "\\"), folder + "\\logs\\k.txt");
    // Without a folder the names stay as the panel has them.
    EXPECT_EQ(settings.ToOptions().logFileName, "Kavrel.txt");
}

// The settings reader: string settings from the machine's registry, bounded texts, the help path.
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/sandbox.h"
#include "ui/help.h"
#include "ui/settings.h"

using namespace kel::ui;

namespace {
class SettingsTest : public ::testing::Test {
protected:
    void setSetting(const char* name, DWORD type, const Bytes& data, std::size_t count = 0) {
        HKEY key = nullptr;
        char noClass[] = "";
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, noClass, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, data.data(),
                       static_cast<DWORD>(count ? count : data.size()));
        RegCloseKey(key);
    }
    static Bytes text(const std::string& value) {
        Bytes bytes(value.begin(), value.end());
        bytes.push_back(0);
        return bytes;
    }

    RegistrySandbox sandbox{true};
};

TEST_F(SettingsTest, StringSettingsAreReadAndAnythingElseGivesTheDefault) {
    char face[32] = {};
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // no key
    EXPECT_STREQ(face, "Arial");
    setSetting("Other", REG_SZ, text("x"));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // no value
    EXPECT_STREQ(face, "Arial");
    setSetting("FontName", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1);
    EXPECT_STREQ(face, "Arial");
    setSetting("FontName", REG_SZ, text("Tahoma"));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), 1);
    EXPECT_STREQ(face, "Tahoma");
    setSetting("FontName", REG_SZ, text(std::string(40, 'F')));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // does not fit
    EXPECT_STREQ(face, "Arial");
}

TEST_F(SettingsTest, ReadTextsAreAlwaysTerminatedWithinTheBuffer) {
    char face[8];
    std::memset(face, '#', sizeof(face));
    // Fills the buffer, no terminator (which a string gets when the byte after it is zero).
    setSetting("FontName", REG_SZ, Bytes(9, 'W'), 8);
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), 1);
    EXPECT_STREQ(face, "WWWWWWW");
    char tiny[4];
    EXPECT_EQ(readSetting("Missing", tiny, sizeof(tiny), "Arial"), -1);
    EXPECT_STREQ(tiny, "Ari");
}

TEST_F(SettingsTest, TheHelpFileIsLookedForInTheHelpPathOrNextToTheModule) {
    char path[kHelpPathSize] = {};
    helpFilePath(path);
    EXPECT_EQ(std::string(path), folderOfProgram() + "Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("C:\\Docs\\Help\\"));
    helpFilePath(path);
    EXPECT_STREQ(path, "C:\\Docs\\Help\\Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("C:\\Docs\\Help"));
    helpFilePath(path);
    EXPECT_STREQ(path, "C:\\Docs\\Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("D:"));
    helpFilePath(path);
    EXPECT_STREQ(path, "D:Orvalle1.chm");
    setSetting("Help Path", REG_DWORD, {1, 0, 0, 0});
    helpFilePath(path);
    EXPECT_EQ(std::string(path), folderOfProgram() + "Orvalle1.chm");

    char shortPath[12] = "C:\\Docs\\x";
    replaceFileName(shortPath, sizeof(shortPath), "Orvalle1.chm");
    EXPECT_STREQ(shortPath, "C:\\Docs\\Orv");
}

} // namespace

// The settings file on Linux: what its lines answer, where it lives, and reading it for real.
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "presets/file_preset_store.h"
#include "presets/preset_files_format.h"
#include "ui/settings.h"
#include "ui/settings_file.h"

using namespace kel::ui;

namespace {

struct Case {
    std::string text;
    const char* name;
    int size;
    int answer;
    const char* result;
};

TEST(SettingsFile, LinesAnswerAsTheRegistryDoes) {
    using namespace std::string_literals;
    const Case cases[] = {
        {"", "FontName", 32, -1, "Arial"},
        {"FontName=DejaVu Sans", "FontName", 32, 1, "DejaVu Sans"},
        {"  fontname =  DejaVu Sans  \n", "FontName", 32, 1, "DejaVu Sans"},
        {"FONTNAME=Liberation Serif\n", "FontName", 32, 1, "Liberation Serif"},
        {"FontName=\n", "FontName", 32, -1, "Arial"},
        {"FontName=   \r\n", "FontName", 32, -1, "Arial"},
        {"Layout=tall\r\nFontName=Tahoma\r\nHelpPath=/opt/help/\r\n", "FontName", 32, 1, "Tahoma"},
        {"Layout=tall\r\nFontName=Tahoma\r\nHelpPath=/opt/help/\r\n", "HelpPath", 32, 1,
         "/opt/help/"},
        // The last line naming the setting decides, even when it is empty.
        {"FontName=A\nFontName=B\n", "FontName", 32, 1, "B"},
        {"FontName=A\nFontName=\n", "FontName", 32, -1, "Arial"},
        {"FontName=A\nfontname = B\nLayout=wide", "FontName", 32, 1, "B"},
        // Other names, and lines that name nothing.
        {"FontNames=A", "FontName", 32, -1, "Arial"},
        {"Font Name=A", "FontName", 32, -1, "Arial"},
        {"# FontName=A", "FontName", 32, -1, "Arial"},
        {"FontName", "FontName", 32, -1, "Arial"},
        {"Help Path=/opt/help/", "HelpPath", 32, -1, "Arial"},
        {"Layout=tall\nKnobs=linear\n", "FontName", 32, -1, "Arial"},
        // Only the first "=" separates.
        {"HelpPath=/opt/a=b/", "HelpPath", 32, 1, "/opt/a=b/"},
        // A value fits when it leaves room for the terminator; a longer one is no value, and the
        // default is cut to fit.
        {"FontName=1234567", "FontName", 8, 1, "1234567"},
        {"FontName=12345678", "FontName", 8, -1, "Arial"},
        {"FontName=12345678", "FontName", 4, -1, "Ari"},
        {"FontName=A", "FontName", 1, -1, ""},
        // A zero byte makes no text; it ends no line either.
        {"FontName=Ar\0ial"s, "FontName", 32, -1, "Arial"},
        {"Layout=tall\0\nFontName=Tahoma"s, "FontName", 32, 1, "Tahoma"},
    };
    for (const Case& c : cases) {
        char text[64];
        std::memset(text, '#', sizeof(text));
        EXPECT_EQ(parseSetting(c.text, c.name, text, c.size, "Arial"), c.answer) << c.text;
        EXPECT_STREQ(text, c.result) << c.text;
        EXPECT_EQ(text[c.size], '#') << c.text << ": written past the buffer";
    }
}

TEST(SettingsFile, NoBufferOrNoNameWritesNothing) {
    char text[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(parseSetting("FontName=A", "FontName", text, 0, "Arial"), -1);
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(parseSetting("FontName=A", "FontName", nullptr, 4, "Arial"), -1);
    EXPECT_EQ(parseSetting("FontName=A", nullptr, text, 4, "Arial"), -1);
    EXPECT_STREQ(text, "Ari");
    EXPECT_EQ(parseSetting("FontName=A", "HelpPath", text, 4, nullptr), -1);
    EXPECT_STREQ(text, "");
}

TEST(SettingsFile, TheFileIsTheOneBesideTheUserPresets) {
    const struct {
        const char* xdg;
        const char* home;
        const char* file;
    } cases[] = {
        {"/x/config", "/home/u", "/x/config/Sonadrix/Orvalle Vol.2/settings"},
        {"/x/config//", "/home/u", "/x/config/Sonadrix/Orvalle Vol.2/settings"},
        {nullptr, "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2/settings"},
        {"", "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2/settings"},
        {"relative", "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2/settings"},
        {"/", "/home/u", "/Sonadrix/Orvalle Vol.2/settings"},
        {nullptr, "/", "/.config/Sonadrix/Orvalle Vol.2/settings"},
        {nullptr, "home", ""},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        const std::string file = settingsFileFor(c.xdg, c.home);
        EXPECT_EQ(file, c.file) << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "");
        const std::string presets = kel::presets::presetFolderFor(c.xdg, c.home);
        EXPECT_EQ(file, presets.empty() ? "" : presets + "/" + kSettingsFileName);
    }
}

class UserSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/settings_linux_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* value = getenv(name);
            saved.emplace_back(name, value ? value : "");
            hadValue.push_back(value != nullptr);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved.size(); ++i) {
            if (hadValue[i]) {
                setenv(saved[i].first.c_str(), saved[i].second.c_str(), 1);
            } else {
                unsetenv(saved[i].first.c_str());
            }
        }
        std::filesystem::remove_all(folder);
    }
    void write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    std::string folder;
    std::vector<std::pair<std::string, std::string>> saved;
    std::vector<bool> hadValue;
};

TEST_F(UserSettingsFile, MissingOrUnreadableFilesGiveTheDefault) {
    char face[32];
    EXPECT_EQ(
        readSettingFile(folder + "/none", kFontNameSetting, face, sizeof(face), kDefaultFontName),
        -1);
    EXPECT_STREQ(face, "Arial");
    EXPECT_EQ(readSettingFile(folder, kFontNameSetting, face, sizeof(face), kDefaultFontName), -1);
    EXPECT_STREQ(face, "Arial");
    EXPECT_EQ(readSettingFile("", kFontNameSetting, face, sizeof(face), kDefaultFontName), -1);
    EXPECT_STREQ(face, "Arial");
    write(folder + "/settings", "FontName=Liberation Sans\r\n");
    EXPECT_EQ(readSettingFile(folder + "/settings", kFontNameSetting, face, sizeof(face),
                              kDefaultFontName),
              1);
    EXPECT_STREQ(face, "Liberation Sans");
    // Of a file far larger than a settings file, its first part counts.
    write(folder + "/settings",
          "FontName=Tahoma\n" + std::string(kMaxSettingsFileSize, '#') + "\nFontName=Too Far\n");
    EXPECT_EQ(readSettingFile(folder + "/settings", kFontNameSetting, face, sizeof(face),
                              kDefaultFontName),
              1);
    EXPECT_STREQ(face, "Tahoma");
}

TEST_F(UserSettingsFile, ReadSettingReadsTheFileTheEnvironmentNames) {
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("HOME", (folder + "/home").c_str(), 1);
    EXPECT_EQ(userSettingsFile(), kel::presets::defaultPresetFolder() + "/settings");
    char face[32];
    EXPECT_EQ(readSetting(kFontNameSetting, face, sizeof(face), kDefaultFontName), -1);
    EXPECT_STREQ(face, "Arial");

    write(folder + "/config/Sonadrix/Orvalle Vol.2/settings",
          "Layout=tall\nFontName=DejaVu Serif\nHelpPath=/opt/orvalle/\n");
    write(folder + "/home/.config/Sonadrix/Orvalle Vol.2/settings", "FontName=Home Font\n");
    EXPECT_EQ(readSetting(kFontNameSetting, face, sizeof(face), kDefaultFontName), 1);
    EXPECT_STREQ(face, "DejaVu Serif");
    char help[64];
    EXPECT_EQ(readSetting(kHelpPathSetting, help, sizeof(help), ""), 1);
    EXPECT_STREQ(help, "/opt/orvalle/");

    // Without XDG_CONFIG_HOME, the home folder's .config.
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(userSettingsFile(), kel::presets::defaultPresetFolder() + "/settings");
    EXPECT_EQ(readSetting(kFontNameSetting, face, sizeof(face), kDefaultFontName), 1);
    EXPECT_STREQ(face, "Home Font");
    EXPECT_EQ(readSetting(kHelpPathSetting, help, sizeof(help), ""), -1);
    EXPECT_STREQ(help, "");
}

} // namespace

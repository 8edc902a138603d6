// The version resource of both plug-in modules, read the way Windows reads it for the properties
// of a file. KEL_PROJECT_VERSION is the CMake project version, passed in by CMakeLists.txt.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/integration/module_paths.h"

namespace {

struct VersionCase {
    const char* file;
    const char* description;
};

const VersionCase kModules[] = {
    {kCleanModule, "HN-6 Clean Preamp"},
    {kCrunchModule, "KR-6 Crunch Preamp"},
};

class VersionResourceTest : public ::testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override {
        const std::string path = besideThisProgram(GetParam().file);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << path << " has no version resource";
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    }

    const void* query(const std::string& path, UINT& length) {
        void* value = nullptr;
        return VerQueryValueA(block.data(), path.c_str(), &value, &length) ? value : nullptr;
    }

    std::vector<char> block;
};

TEST_P(VersionResourceTest, FixedInfoHoldsTheProjectVersionOfADll) {
    UINT length = 0;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(query("\\", length));
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    // "1.0" is 1.0.0.0: the fields the project version leaves out are 0.
    DWORD v[4] = {};
    std::sscanf(KEL_PROJECT_VERSION, "%lu.%lu.%lu.%lu", &v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(info->dwFileVersionMS, (v[0] << 16) | v[1]);
    EXPECT_EQ(info->dwFileVersionLS, (v[2] << 16) | v[3]);
    EXPECT_EQ(info->dwProductVersionMS, (v[0] << 16) | v[1]);
    EXPECT_EQ(info->dwProductVersionLS, (v[2] << 16) | v[3]);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_P(VersionResourceTest, StringsNameTheVendorProductAndPlugIn) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query("\\VarFileInfo\\Translation", length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "one language and code page";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const std::string description = GetParam().description;
    const std::pair<const char*, std::string> strings[] = {
        {"CompanyName", "Sonadrix"},
        {"ProductName", "Orvalle Vol.2"},
        {"FileDescription", description},
        {"FileVersion", KEL_PROJECT_VERSION},
        {"ProductVersion", KEL_PROJECT_VERSION},
        {"OriginalFilename", description + ".dll"},
        {"LegalCopyright", "Copyright (C) 2026 Sonadrix"},
    };
    for (const auto& [key, expected] : strings) {
        const auto* text = static_cast<const char*>(
            query(std::string("\\StringFileInfo\\040904B0\\") + key, length));
        ASSERT_NE(text, nullptr) << key;
        EXPECT_EQ(std::string(text), expected) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, VersionResourceTest, ::testing::ValuesIn(kModules));

} // namespace

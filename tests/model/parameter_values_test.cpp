#include "model/parameter_values.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace kel::model;

namespace {

TEST(ParameterValues, SettingsSurviveTheWayThereAndBackExceptWhereTruncationBites) {
    EXPECT_EQ(settingThroughParameterValue(50, 0, 100), 50);
    EXPECT_EQ(settingThroughParameterValue(66, 0, 100), 66);
    EXPECT_EQ(settingThroughParameterValue(45, 0, 100), 44);
    EXPECT_EQ(settingThroughParameterValue(70, 0, 100), 69);
    EXPECT_EQ(settingThroughParameterValue(71, 0, 100), 70);
    for (int setting = 0; setting <= 15; ++setting) {
        EXPECT_EQ(settingThroughParameterValue(setting, 0, 15), setting) << setting;
    }
    EXPECT_EQ(toParameterValue(70, 0, 100), 0.699999988f);
}

TEST(ParameterValues, ToPresetValueTruncatesAndClamps) {
    EXPECT_EQ(toPresetValue(1.0f, 0, 100), 100);
    EXPECT_EQ(toPresetValue(0.0f, 0, 15), 0);
    EXPECT_EQ(toPresetValue(0.5f, 0, 15), 7);
    EXPECT_EQ(toPresetValue(0.999f, 0, 100), 99);
    EXPECT_EQ(toPresetValue(-0.001f, 0, 100), 0);
}

TEST(ParameterValues, OutOfRangeAndNonFiniteValuesGiveAnEnd) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(toPresetValue(1.5f, 0, 100), 100);
    EXPECT_EQ(toPresetValue(-3.0f, 0, 100), 0);
    EXPECT_EQ(toPresetValue(1e30f, 0, 100), 100);
    EXPECT_EQ(toPresetValue(-1e30f, 0, 15), 0);
    EXPECT_EQ(toPresetValue(inf, 0, 15), 15);
    EXPECT_EQ(toPresetValue(-inf, 0, 15), 0);
    EXPECT_EQ(toPresetValue(nan, 0, 100), 0);
    EXPECT_EQ(toPresetValue(nan, 5, 10), 5);
    EXPECT_EQ(toPresetValue(std::numeric_limits<float>::max(), 0, 100), 100);
    EXPECT_EQ(toPresetValue(std::numeric_limits<float>::denorm_min(), 0, 100), 0);
}

// A value in setting units ends like toPresetValue's product: truncated toward zero, clamped.
TEST(ParameterValues, TruncateToSettingTruncatesClampsAndSendsNaNLow) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double value;
        int low, high, setting;
    } cases[] = {
        {80.0, 0, 100, 80}, {80.999, 0, 100, 80}, {99.9999, 0, 100, 99}, {0.5, 0, 15, 0},
        {14.99, 0, 15, 14}, {15.0, 0, 15, 15},    {15.01, 0, 15, 15},    {-0.5, 0, 100, 0},
        {-1.0, 0, 100, 0},  {1e300, 0, 100, 100}, {inf, 0, 15, 15},      {-inf, 0, 15, 0},
        {nan, 0, 100, 0},   {nan, 5, 10, 5},      {7.5, 5, 10, 7},       {4.9, 5, 10, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(truncateToSetting(c.value, c.low, c.high), c.setting)
            << c.value << " in " << c.low << ".." << c.high;
    }
    // The same ends as the way through a normalised value.
    for (float value : {0.0f, 0.33f, 0.7f, 0.999f, 1.0f, 1.5f, -2.0f}) {
        EXPECT_EQ(truncateToSetting(100.0 * static_cast<double>(value), 0, 100),
                  toPresetValue(value, 0, 100))
            << value;
    }
}

TEST(ParameterValues, ToParameterValueClampsTheSetting) {
    EXPECT_EQ(toParameterValue(150, 0, 100), 1.0f);
    EXPECT_EQ(toParameterValue(-20, 0, 15), 0.0f);
    EXPECT_EQ(toParameterValue(std::numeric_limits<int>::min(), 0, 100), 0.0f);
    EXPECT_EQ(toParameterValue(std::numeric_limits<int>::max(), 0, 100), 1.0f);
    EXPECT_EQ(toParameterValue(3, 0, 5), 0.6f);
    EXPECT_EQ(toParameterValue(1, 1, 1), 0.0f); // empty range, no division by zero
}

} // namespace

#include "model/parameter_values.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace kel::model;

namespace {

int roundTrip(int setting, int high) {
    return toPresetValue(toParameterValue(setting, 0, high), 0, high);
}

TEST(ParameterValues, SettingsSurviveTheWayThereAndBackExceptWhereTruncationBites) {
    EXPECT_EQ(roundTrip(50, 100), 50);
    EXPECT_EQ(roundTrip(66, 100), 66);
    EXPECT_EQ(roundTrip(45, 100), 44);
    EXPECT_EQ(roundTrip(70, 100), 69);
    EXPECT_EQ(roundTrip(71, 100), 70);
    for (int setting = 0; setting <= 15; ++setting) {
        EXPECT_EQ(roundTrip(setting, 15), setting) << setting;
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

TEST(ParameterValues, ToParameterValueClampsTheSetting) {
    EXPECT_EQ(toParameterValue(150, 0, 100), 1.0f);
    EXPECT_EQ(toParameterValue(-20, 0, 15), 0.0f);
    EXPECT_EQ(toParameterValue(std::numeric_limits<int>::min(), 0, 100), 0.0f);
    EXPECT_EQ(toParameterValue(std::numeric_limits<int>::max(), 0, 100), 1.0f);
    EXPECT_EQ(toParameterValue(3, 0, 5), 0.6f);
    EXPECT_EQ(toParameterValue(1, 1, 1), 0.0f); // empty range, no division by zero
}

} // namespace

// A bank whose refresh fails (this program carries no menu resources) holds no slot names of its
// own: it must not write placeholders over the names that every instance shares.
#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"

using namespace kel::clean;
using namespace kel::presets;

namespace {

TEST(BankWithoutMenus, AFailedRefreshLeavesTheSharedSlotNamesAlone) {
    RegistrySandbox sandbox;
    const char* names[] = {"Low Hot", "My Lead", "High Hot", "Mid Drive"};
    for (int slot = 1; slot <= 4; ++slot) {
        ASSERT_TRUE(writeSlotName(slot, names[slot - 1]));
    }
    {
        KelPresetBank bank(CleanModel::description);
        EXPECT_FALSE(bank.refresh());
        EXPECT_FALSE(bank.saveQuickSlots());
    } // the destructor saves the slots as well
    for (int slot = 1; slot <= 4; ++slot) {
        EXPECT_EQ(readSlotName(slot), names[slot - 1]) << slot;
    }
}

} // namespace

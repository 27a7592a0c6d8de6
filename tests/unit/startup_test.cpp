// Start-up and shut-down of the magnifier window.
#include <gtest/gtest.h>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

// The start without settings: settings_test.cpp, AFirstRun...; the options' defaults:
// settings_test.cpp, Options.

// The close leaves a mouse speed Vimo did not change alone. Giving a slowed mouse its
// speed back: lock_measure_test.cpp, Slowing.
TEST(Failures, AFailingHandlerKeepsTheProgramRunningAndTheCloseLeavesTheMouseAlone) {
  Running v;
  v.desktop.FailNextFormGetDc(sim::GetDcFailure::kThrow);
  EXPECT_TRUE(v.form->Tick());
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_EQ(v.desktop.LiveDcs(), 0) << "the screen's context was given back";
  // The next tick runs as usual.
  v.Ticks(1);
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  v.desktop.SetUserMouseSpeed(14);  // the user's own change while Vimo runs
  v.form->Close();
  EXPECT_EQ(v.desktop.MouseSpeed(), 14);
}

}  // namespace
}  // namespace vimo::test

// What the creation tests use: the shared dialog drivers and control readers, the test
// PKI's store scenarios, and screenshots of the windows a command shows.
#pragma once

#include <string>

#include "common/control_readers.h"
#include "common/dialog_driver.h"
#include "common/screenshot.h"
#include "common/test_support.h"
#include "pki/store_scenario.h"

namespace CreationTest {

using namespace TestSupport;
using TestPki::KitNameOf;
using TestPki::StoreScenario;
using TestPki::SystemStoreExists;

// Saves `window` (the whole screen for null) as screenshots\<name>.png beside the program.
inline void Screenshot(HWND window, const std::string& name) {
    TestSupport::SaveScreenshot(window, TestSupport::Widen(name));
}

} // namespace CreationTest

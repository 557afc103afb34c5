#pragma once

// The document against simulated instruments for the window tests: one QApplication for the
// test program, and the document's wait windows (connecting, wait message, countdown).
#include <kestal/dialogs/WaitDialogs.h>

#include "ConnectionFixture.h"
#include "TestConfig.h"
#include <testing/QtTestApp.h>

namespace varno::kestal::testing {

class WindowConnectionFixture : public ConnectionFixture {
protected:
    static void SetUpTestSuite()
    {
        isolateSettings();
        varno::testing::qtTestApp();
    }

    void SetUp() override
    {
        ConnectionFixture::SetUp();
        InstallWaitDialogs(*doc);
    }
};

} // namespace varno::kestal::testing

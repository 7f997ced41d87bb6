#pragma once
// Included once by a test program whose every test reaches the test server: before its first
// test, the platform must say this machine is connected. In a Wine prefix started a moment
// ago it may not yet, and a download then gives up at once, which a test expecting a failure
// would take for the failure it expects.
#include "testsupport.h"

#include <gtest/gtest.h>

namespace testsupport {

class OnlineFirst : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(waitUntilOnline(10000)) << "the platform never said this machine was connected";
    }
};

inline ::testing::Environment* const onlineFirst = ::testing::AddGlobalTestEnvironment(new OnlineFirst);

}  // namespace testsupport

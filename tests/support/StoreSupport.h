#pragma once

// Store answers in assertions.

#include "storage/LocalDatabase.h"

#include <gtest/gtest.h>

// The answer as an assertion result: a failure shows the store's reason.
inline ::testing::AssertionResult Done(const StoreResult& result) {
    if (result)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << result.reason;
}

#pragma once

#include "text/FontSystem.h"

#include <gtest/gtest.h>

namespace kavelin::test {

// Keeps the font system up for the duration of a test.
class FontSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initFontSystem()); }
    void TearDown() override { shutdownFontSystem(); }
};

} // namespace kavelin::test

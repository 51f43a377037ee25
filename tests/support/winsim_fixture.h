// Every test starts from a freshly reset simulated system.
#pragma once

#include <gtest/gtest.h>
#include <winsim/control.h>

class WinsimTest : public ::testing::Test {
  protected:
    void SetUp() override { winsim::reset(); }
    void TearDown() override { winsim::reset(); }
};

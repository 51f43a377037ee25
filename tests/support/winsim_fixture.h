// Every test starts from a freshly reset simulated system. The same tests also build for Windows, where each
// test case runs in a process of its own and there is nothing to reset.
//
// A test that can only set up or observe its world through winsim's control API, where Windows has no means
// for it, is compiled on winsim alone, with its reason on the same line:
//     #if WINSIM_ONLY  // the recorded input log has no counterpart on Windows
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#define WINSIM_ONLY 0

class WinsimTest : public ::testing::Test {};
#else
#define WINSIM_ONLY 1

#include <winsim/control.h>

class WinsimTest : public ::testing::Test {
  protected:
    void SetUp() override { winsim::reset(); }
    void TearDown() override { winsim::reset(); }
};
#endif

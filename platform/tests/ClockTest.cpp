#include "platform/Clock.h"
#include "platform/Debugger.h"

#include <gtest/gtest.h>

using namespace quorvel::platform;

namespace {

TEST(Clock, TicksAdvanceAcrossASleep) {
    const std::uint64_t before = GetTickCount64();
    const std::uint32_t before32 = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount64() - before, 20u);
    EXPECT_GE(static_cast<std::uint32_t>(GetTickCount() - before32), 20u);
    Sleep(0);
}

TEST(Debugger, TracerPidIsReadFromTheStatusText) {
    struct Case {
        const char* text;
        long pid;
    } cases[] = {
        {"Name:\tx\nState:\tR\nTracerPid:\t0\nUid:\t0\n", 0},
        {"Name:\tx\nTracerPid:\t4711\n", 4711},
        {"TracerPid: 12", 12},
        {"Name:\tx\n", 0},
        {"TracerPid:\tnot a number\n", 0},
        {"XTracerPid:\t5\n", 0},
        {"TracerPid:\t99999999999999999999\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TracerPidFromStatus(c.text), c.pid) << c.text;
    // The test is not run under a debugger.
    EXPECT_FALSE(IsDebuggerPresent());
}

} // namespace

#include "platform/message_hub.h"

#include <gtest/gtest.h>

namespace {

LRESULT Recorder(HWND, UINT msg, WPARAM w, LPARAM l, void* user) {
    auto* seen = static_cast<std::vector<std::tuple<UINT, WPARAM, LPARAM>>*>(user);
    seen->emplace_back(msg, w, l);
    return static_cast<LRESULT>(w) + 100;
}

TEST(MessageHub, RegistersOneNumberPerNameFromC000) {
    UINT a = RegisterWindowMessage("kt_test_first_name");
    UINT b = RegisterWindowMessage("kt_test_second_name");
    EXPECT_GE(a, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, RegisterWindowMessage("kt_test_first_name"));
    EXPECT_EQ(a, RegisterWindowMessage("KT_TEST_FIRST_NAME"));
    EXPECT_EQ(0u, RegisterWindowMessage(""));
    EXPECT_EQ(0u, RegisterWindowMessage(nullptr));
}

TEST(MessageHub, SendMessageCallsTheHandlerSynchronouslyAndReturnsItsResult) {
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> seen;
    HWND wnd = CreateMessageWindow(&Recorder, &seen);
    ASSERT_NE(nullptr, wnd);
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_EQ(107, SendMessage(wnd, 0xC123, 7, 42));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(std::make_tuple(UINT{0xC123}, WPARAM{7}, LPARAM{42}), seen[0]);
    EXPECT_TRUE(DestroyMessageWindow(wnd));
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(0, SendMessage(wnd, 0xC123, 7, 42));
    EXPECT_EQ(1u, seen.size());
    EXPECT_EQ(0, SendMessage(nullptr, 1, 2, 3));
}

TEST(MessageHub, HandlesAreDistinctAndSurviveTheThirtyTwoBitRoundTrip) {
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> one, two;
    HWND a = CreateMessageWindow(&Recorder, &one);
    HWND b = CreateMessageWindow(&Recorder, &two);
    EXPECT_NE(a, b);
    SendMessage(NumberToHandle(HandleToNumber(b)), 1, 0, 0);
    EXPECT_TRUE(one.empty());
    EXPECT_EQ(1u, two.size());
    DestroyMessageWindow(a);
    DestroyMessageWindow(b);
}

}  // namespace

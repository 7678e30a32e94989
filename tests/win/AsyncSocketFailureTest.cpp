// A socket handler that throws: the thread's hook hears of it, and the notifications go on.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Loopback.h"
#include "framework/AfxSocket.h"
#include "framework/CAsyncSocket.h"

namespace {
class ThrowingListener : public CAsyncSocket {
public:
    void OnAccept(int) override
    {
        CAsyncSocket accepted;
        Accept(accepted);
        ++accepts;
        throw std::runtime_error("handler failed");
    }
    int accepts = 0;
};
}

TEST(AsyncSocketFailure, AThrowingHandlerGoesToTheHookAndTheSocketGoesOn)
{
    ASSERT_TRUE(AfxSocketInit());
    std::vector<std::string> reported;
    CAsyncSocket::SetFailureHook([&](const std::exception& e) { reported.push_back(e.what()); });
    ThrowingListener listener;
    ASSERT_TRUE(listener.Create(0, SOCK_STREAM, CAsyncSocket::ALL_EVENTS, "127.0.0.1"));
    ASSERT_TRUE(listener.Listen());
    std::string address;
    UINT port = 0;
    ASSERT_TRUE(listener.GetSockName(address, port));
    for (int i = 1; i <= 2; ++i) {
        Loopback::Client(static_cast<int>(port)).Close();
        ASSERT_TRUE(Loopback::PumpUntil([&] { return listener.accepts == i; })) << "accept " << i;
    }
    EXPECT_EQ(reported, (std::vector<std::string>{"handler failed", "handler failed"}));
    CAsyncSocket::SetFailureHook(nullptr);
}

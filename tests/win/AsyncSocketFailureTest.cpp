// A socket handler that throws: the thread's hook hears of it, and the notifications go on.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

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

void Connect(UINT port)
{
    SOCKET client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::closesocket(client);
}

bool PumpUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    return true;
}
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
        Connect(port);
        ASSERT_TRUE(PumpUntil([&] { return listener.accepts == i; })) << "accept " << i;
    }
    EXPECT_EQ(reported, (std::vector<std::string>{"handler failed", "handler failed"}));
    CAsyncSocket::SetFailureHook(nullptr);
}

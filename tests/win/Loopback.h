// Helpers of the socket tests: a free port, a client on loopback, and the thread's messages handled until a condition holds.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace Loopback {
inline sockaddr_in Address(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    return address;
}

inline int FreePort()
{
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Address(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    return ::ntohs(address.sin_port);
}

// A connected client that only sends, closed at the end of its scope or by Close().
struct Client {
    explicit Client(int port) : handle(::socket(AF_INET, SOCK_STREAM, 0))
    {
        const sockaddr_in address = Address(port);
        ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    ~Client() { Close(); }
    void Close()
    {
        if (handle != INVALID_SOCKET)
            ::closesocket(handle);
        handle = INVALID_SOCKET;
    }
    void Send(const std::string& bytes) const { ::send(handle, bytes.data(), static_cast<int>(bytes.size()), 0); }
    SOCKET handle;
};

// Handles the thread's messages until the condition holds; false after the deadline.
inline bool PumpUntil(const std::function<bool()>& condition, double seconds = 10)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
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

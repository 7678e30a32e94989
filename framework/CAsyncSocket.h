// A non-blocking Windows Sockets 1.1 socket whose notifications arrive as window messages on its creating thread.
#pragma once
#include <exception>
#include <functional>
#include <string>

#include "Afx.h"

class CAsyncSocket {
public:
    CAsyncSocket() = default;
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    static constexpr long ALL_EVENTS = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

    // Creates the socket, asks for the notifications in `events` and binds it (any address when null).
    bool Create(UINT port = 0, int type = SOCK_STREAM, long events = ALL_EVENTS, const char* address = nullptr);
    bool Listen(int backlog = 5);
    // Takes the next waiting client into `connected`, which then notifies like this socket.
    virtual bool Accept(CAsyncSocket& connected);
    // Takes the next waiting client without giving it an object yet, so that it can be looked at
    // first; INVALID_SOCKET when it has gone already. Adopt it, or close it with closesocket.
    SOCKET AcceptHandle(sockaddr_in& peer);
    // Makes an accepted handle this object's, notifying like any socket of this thread.
    bool Adopt(SOCKET handle);
    // A dotted IPv4 address, or a host name looked up (blocking); false with WSAEWOULDBLOCK while connecting.
    bool Connect(const char* host, UINT port);
    int Receive(void* buffer, int length, int flags = 0);
    int Send(const void* buffer, int length, int flags = 0);
    void Close();
    // Hands the handle over without closing it; the object no longer notifies.
    SOCKET Detach();
    bool GetSockName(std::string& address, UINT& port) const;
    bool IsOpen() const { return m_hSocket != INVALID_SOCKET; }
    static int GetLastError() { return ::WSAGetLastError(); }
    // Removes this thread's notification window, before the code behind it is unloaded.
    static void TermThread();
    // A notification handler of this thread's sockets threw: the handler is abandoned and the
    // failure goes to `hook` (set by whoever runs the thread; none: it goes no further). The
    // framework shows nothing itself, since the thread may have no one to show it to.
    static void SetFailureHook(std::function<void(const std::exception&)> hook);

    SOCKET m_hSocket = INVALID_SOCKET;  // creating thread only

    virtual void OnReceive(int errorCode) { (void)errorCode; }
    virtual void OnSend(int errorCode) { (void)errorCode; }
    virtual void OnOutOfBandData(int errorCode) { (void)errorCode; }
    virtual void OnAccept(int errorCode) { (void)errorCode; }
    virtual void OnConnect(int errorCode) { (void)errorCode; }
    virtual void OnClose(int errorCode) { (void)errorCode; }

private:
    bool Attach(SOCKET socket, long events);
    static LRESULT CALLBACK NotifyWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void Dispatch(SOCKET socket, UINT message, LPARAM lParam);
};

// One fetch connection: connect with retries, wait for data, collect the reply with time-outs.
#include "CNewsConnection.h"

#include <cstring>

#include "../framework/CHostLookup.h"

CNewsConnection::CNewsConnection(std::string serverHost, int serverPort)
    : socket(std::make_unique<CNewsSocket>()), host(std::move(serverHost)), port(serverPort),
      reply(new std::uint8_t[REPLY_LIMIT]())
{
}

CNewsConnection::~CNewsConnection()
{
    if (open)
        Disconnect();
    ::Sleep(100);
    socket.reset();
    if (quitSeen)
        ::PostQuitMessage(quitCode);
}

// A clock that only runs forward: setting the system time during a fetch stretches no time-out.
std::int64_t CNewsConnection::NowMs()
{
    return static_cast<std::int64_t>(::GetTickCount64());
}

bool CNewsConnection::PastFetchLimit()
{
    if (!limitReached && NowMs() - fetchStart > FETCH_LIMIT_MS)
        limitReached = true;
    return limitReached;
}

void CNewsConnection::DispatchOneMessage()
{
    if (quitSeen)
        return;
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return;
    if (msg.message == WM_QUIT) {
        quitSeen = true;
        quitCode = static_cast<int>(msg.wParam);
        return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

bool CNewsConnection::WaitForEventOrMessage(HANDLE event, DWORD sliceMs) const
{
    if (quitSeen)
        return ::WaitForSingleObject(event, sliceMs) == WAIT_OBJECT_0;
    return ::MsgWaitForMultipleObjectsEx(1, &event, sliceMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

void CNewsConnection::WaitForMessage(DWORD sliceMs) const
{
    ::MsgWaitForMultipleObjectsEx(0, nullptr, sliceMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

std::string CNewsConnection::ResolveHost()
{
    if (::inet_addr(host.c_str()) != INADDR_NONE)
        return host;
    CHostLookup lookup;
    if (!lookup.Start(host.c_str()))
        return {};
    // The answer comes as a message: the host's own messages are dispatched meanwhile, one per pass.
    while (!lookup.Done()) {
        WaitForMessage(100);
        DispatchOneMessage();
        if (quitSeen || PastFetchLimit())
            return {};
    }
    in_addr address{};
    if (!lookup.Address(address))
        return {};
    return ::inet_ntoa(address);
}

int CNewsConnection::OneAttempt()
{
    open = 0;
    // Whatever goes wrong inside an attempt, it is a failed attempt, never a false success.
    try {
        if (!socket->Create(0, SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr)) {
            connected = 0;
            return 1;
        }
        timeout = TIMEOUT_MS;
        // A name that cannot be resolved fails the attempt as an invalid address would.
        const std::string address = ResolveHost();
        if (address.empty()) {
            ::WSASetLastError(WSAEINVAL);
        } else if (socket->Connect(address.c_str(), static_cast<UINT>(port))) {
            connected = 1;
            return 0;
        }
        if (CAsyncSocket::GetLastError() == WSAEWOULDBLOCK && WaitForConnect() > 0) {
            connected = 1;
            return 0;
        }
    } catch (...) {
    }
    connected = 0;
    open = 0;
    socket->Close();
    return 1;
}

int CNewsConnection::WaitForSocketEvent(HANDLE event, DWORD sliceMs)
{
    const std::int64_t start = NowMs();
    for (;;) {
        if (WaitForEventOrMessage(event, sliceMs))
            return 1;
        DispatchOneMessage();
        // The host is ending: its socket notifications are no longer dispatched, so waiting on is pointless.
        if (quitSeen)
            return -4;
        if (PastFetchLimit())
            return -5;
        if (NowMs() - start > timeout)
            return -2;
        if (socket->closed)
            return -3;
    }
}

int CNewsConnection::WaitForConnect()
{
    const int result = WaitForSocketEvent(socket->connectEvent.Handle(), 10);
    if (result < 0)
        return result;
    return socket->lastError == 0 ? 1 : 0;
}

int CNewsConnection::ConnectWithRetries()
{
    fetchStart = NowMs();
    for (int attempt = 0; attempt < 3 && !quitSeen && !PastFetchLimit(); ++attempt) {
        if (OneAttempt() == 0) {
            open = 1;
            return 0;
        }
        Disconnect();
        open = 0;
    }
    Disconnect();
    return 1;
}

void CNewsConnection::Disconnect()
{
    if (open) {
        socket->Close();
        ::Sleep(10);
    }
    connected = 0;
    open = 0;
}

int CNewsConnection::WaitForData()
{
    if (!connected)
        return -3;
    if (socket->Count() > 0)
        return socket->Count();
    const int result = WaitForSocketEvent(socket->dataEvent.Handle(), 100);
    return result < 0 ? result : socket->Count();
}

int CNewsConnection::ReadAll()
{
    if (!open)
        return -3;
    std::int64_t start = NowMs();
    for (;;) {
        const std::int64_t now = NowMs();
        DispatchOneMessage();
        if (quitSeen)
            return -4;
        if (PastFetchLimit())
            return -5;
        if (now - start > timeout)
            return -2;  // the socket stays open until the connection is destroyed
        const int taken = socket->Take(reply.get() + replyLength, REPLY_LIMIT - replyLength);
        if (taken > 0) {
            replyLength += taken;
            start = NowMs();
        }
        if (socket->closed) {
            connected = 0;
            open = 0;
            socket->Close();
            return -3;
        }
        // Nothing came: sleep until data, a message or a short slice, instead of spinning.
        if (taken <= 0)
            WaitForEventOrMessage(socket->dataEvent.Handle(), 50);
    }
}

// The traffic log: the log file's prefixed entries and the raw copy of the client's bytes to a log receiver.
#include "TrafficLog.h"

#include <chrono>

#include "../../framework/CFileException.h"
#include "../core/TrafficLogFormat.h"

void TrafficLog::OpenFile(const std::string& fileName)
{
    auto opened = std::make_unique<CFile>(fileName, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite);
    std::lock_guard guard(fileLock);
    file = std::move(opened);
    exchangeEntries.OtherEntry();
}

void TrafficLog::CloseFile()
{
    std::lock_guard guard(fileLock);
    CloseFileLocked();
}

void TrafficLog::CloseFileLocked()
{
    if (file) {
        file->Close();
        file.reset();
    }
}

void TrafficLog::Write(const std::string& prefix, const void* data, std::size_t length)
{
    std::lock_guard guard(fileLock);
    if (!file)
        return;
    exchangeEntries.OtherEntry();
    WriteOrGiveUp(prefix.data(), prefix.size());
    if (length > 0)
        WriteOrGiveUp(data, length);
}

void TrafficLog::WriteExchange(const void* data, std::size_t length)
{
    std::lock_guard guard(fileLock);
    if (!file || length == 0)
        return;
    const double nowMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    if (exchangeEntries.StartsEntry(length, nowMs))
        WriteOrGiveUp(TrafficLogFormat::EXCHANGE_PREFIX, sizeof TrafficLogFormat::EXCHANGE_PREFIX - 1);
    WriteOrGiveUp(data, length);
}

void TrafficLog::WriteOrGiveUp(const void* data, std::size_t length)
{
    if (!file)
        return;
    try {
        file->Write(data, length);
    } catch (const CFileException& failure) {
        // A log that cannot be written never holds the relay: it stops until the next Listen.
        CloseFileLocked();
        if (onFileFailure)
            onFileFailure(failure);
    }
}

void TrafficLog::ConnectReceiver(const std::string& address, int port)
{
    link.Create(0, SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr);
    link.role = ROLE_LOG_LINK;
    link.owner = this;
    link.Connect(address.c_str(), static_cast<UINT>(port));
}

void TrafficLog::CloseReceiver()
{
    link.Close();
}

void TrafficLog::CopyToReceiver(const void* data, int length)
{
    if (link.IsOpen())
        link.Send(data, length, 0);
}

void TrafficLog::OnSocketReceive(CBridgeSocket& socket)
{
    char discard[CBridgeSocket::CHUNK_SIZE];
    socket.Receive(discard, sizeof discard);
}

void TrafficLog::OnSocketClose(CBridgeSocket& socket)
{
    socket.Close();
}

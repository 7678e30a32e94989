// The traffic log: the log file's prefixed entries and the raw copy of the client's bytes to a log receiver.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "../../framework/CFile.h"
#include "../../framework/CFileException.h"
#include "CBridgeSocket.h"
#include "../core/ExchangeEntryGrouping.h"

// Both outputs live from the Listen that opens them to the Stop that closes them. The file is
// written by two threads, each entry whole under the log's lock: the window thread writes the
// client's entries and the records', the serial worker the exchange's. The receiver is the
// window thread's alone.
class TrafficLog : private IBridgeSocketOwner {
public:
    // A write to the file failed (a full disk, say): the file is closed until the next Listen and
    // this is told once, with the failure. It is called inside the write, on the writing thread
    // and under the log's lock, so it must only hand the failure on.
    std::function<void(const CFileException&)> onFileFailure;

    // Starts the file afresh; throws CFileException when it cannot be made.
    void OpenFile(const std::string& fileName);
    void CloseFile();
    // One entry: the prefix, then the bytes if any, each with one write. Nothing while no file is open.
    void Write(const std::string& prefix, const void* data = nullptr, std::size_t length = 0);
    // The exchange's bytes: a new entry under the exchange's prefix, or the current one goes on.
    void WriteExchange(const void* data, std::size_t length);

    // Connects once; what happens to the connection is not awaited or reported.
    void ConnectReceiver(const std::string& address, int port);
    void CloseReceiver();
    // The client's bytes, as they came; lost for the receiver when they cannot be sent.
    void CopyToReceiver(const void* data, int length);

private:
    void WriteOrGiveUp(const void* data, std::size_t length);
    void CloseFileLocked();

    // The receiver's own notifications: what it says is dropped; when it goes, it is gone until the next Listen.
    void OnSocketAccept(CBridgeSocket&) override {}
    void OnSocketReceive(CBridgeSocket& socket) override;
    void OnSocketClose(CBridgeSocket& socket) override;

    std::mutex fileLock;  // the file and the grouping are used by both threads, only under it
    std::unique_ptr<CFile> file;
    ExchangeEntryGrouping exchangeEntries;
    CBridgeSocket link;  // window thread only
};

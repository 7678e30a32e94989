// The connection trace file: one line per event with the local time, appended across runs, readable meanwhile.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "../../framework/CFile.h"

// Any thread may write: the window thread's events, and a log file's failure on whichever thread
// wrote the log. The lock keeps each line whole and guards the file.
class ConnectionTrace {
public:
    ConnectionTrace() = default;
    ConnectionTrace(const ConnectionTrace&) = delete;
    ConnectionTrace& operator=(const ConnectionTrace&) = delete;

    // A write failed (a full disk, say): the trace is closed until the next Open and this is told
    // once, with the failure's text, on the writing thread and outside the lock. It must not hold
    // the caller (the relay may be waiting) nor write to the trace.
    std::function<void(const std::string&)> onFailure;

    // Opens the file for appending, creating it if needed; others may read it meanwhile but not
    // write it. Throws CFileException when it cannot be opened.
    void Open(const std::string& fileName);
    void Close();
    // One line: the local time with milliseconds, then the event (ConnectionTraceFormat's texts).
    // Nothing while the trace is closed; never throws.
    void Write(std::string_view event);

private:
    mutable std::mutex lock;
    std::unique_ptr<CFile> file;  // guarded by lock
};

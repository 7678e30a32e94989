// The connection trace file: one line per event with the local time, appended across runs, readable meanwhile.
#include "ConnectionTrace.h"

#include "../../framework/CFileException.h"
#include "../core/ConnectionTraceFormat.h"

namespace {
TraceTime LocalNow()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TraceTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}
}

void ConnectionTrace::Open(const std::string& fileName)
{
    auto opened = std::make_unique<CFile>(fileName, CFile::modeCreate | CFile::modeNoTruncate |
                                                        CFile::modeReadWrite | CFile::shareDenyWrite);
    opened->SeekToEnd();
    std::lock_guard<std::mutex> guard(lock);
    file = std::move(opened);
}

void ConnectionTrace::Close()
{
    std::lock_guard<std::mutex> guard(lock);
    file.reset();
}

void ConnectionTrace::Write(std::string_view event)
{
    std::string failure;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!file)
            return;
        const std::string line = ConnectionTraceFormat::Line(LocalNow(), event);
        try {
            file->Write(line.data(), line.size());
            return;
        } catch (const CFileException& error) {
            // A trace that cannot be written never holds the relay: it stops until the next Open.
            file.reset();
            failure = error.what();
        }
    }
    if (onFailure)
        onFailure(failure);
}

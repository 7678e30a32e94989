// The connection trace file: appended across opens, one stamped line per event, readable while it is written.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "bridge/engine/ConnectionTrace.h"

TEST(ConnectionTrace, AppendsAcrossOpensAndAViewerMayReadMeanwhile)
{
    char directory[MAX_PATH];
    ::GetTempPathA(MAX_PATH, directory);
    const std::string path = std::string(directory) + "trace-test-" + std::to_string(::GetCurrentProcessId()) + ".txt";
    ::DeleteFileA(path.c_str());
    {
        ConnectionTrace trace;
        trace.Open(path);
        trace.Write("listen 0.0.0.0 data 5000 config 5002");
        HANDLE viewer = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(viewer, INVALID_HANDLE_VALUE) << "a viewer cannot open the trace";
        HANDLE writer = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "another writer got in";
        for (HANDLE handle : {viewer, writer}) {
            if (handle != INVALID_HANDLE_VALUE)
                ::CloseHandle(handle);
        }
    }
    ConnectionTrace again;
    again.Open(path);
    again.Write("stop\r\n");
    again.Close();
    again.Write("after close");

    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    file.close();
    ::DeleteFileA(path.c_str());
    const std::regex expected(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} listen 0\.0\.0\.0 data 5000 config 5002\r\n)"
                              R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} stop  \r\n)");
    EXPECT_TRUE(std::regex_match(text.str(), expected)) << text.str();
}

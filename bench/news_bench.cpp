// Times one news fetch from a local server and the CPU a fetch uses while a silent server holds it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <algorithm>

#include "framework/AfxSocket.h"
#include "news/CNewsConnection.h"
#include "news/CNewsManager.h"

namespace {
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}

int main(int argc, char** argv)
{
    if (argc < 3 || !AfxSocketInit()) {
        std::fprintf(stderr, "usage: news_bench SERVE_PORT SILENT_PORT\n");
        return 2;
    }
    const int servePort = std::atoi(argv[1]);
    const int silentPort = std::atoi(argv[2]);

    std::vector<double> fetches;
    for (int i = 0; i < 7; ++i) {
        CNewsManager manager;
        manager.SetHost("127.0.0.1");
        manager.SetPort(servePort);
        const double start = Now();
        manager.Fetch();
        fetches.push_back((Now() - start) * 1000);
        if (manager.GetCount() != 3)
            std::fprintf(stderr, "fetch %d got %zu messages\n", i, manager.GetCount());
    }
    std::sort(fetches.begin(), fetches.end());
    std::printf("fetch_ms_median=%.1f\nfetch_ms_min=%.1f\nfetch_ms_max=%.1f\n", fetches[fetches.size() / 2],
                fetches.front(), fetches.back());

    {
        CNewsManager manager;
        manager.SetHost("127.0.0.1");
        manager.SetPort(silentPort);
        const double cpuStart = CpuSeconds(), start = Now();
        manager.Fetch();
        const double wall = Now() - start, cpu = CpuSeconds() - cpuStart;
        std::printf("silent_fetch_s=%.1f\nsilent_cpu_percent=%.2f\n", wall, cpu / wall * 100);
    }

    // The same waiting done the old way: clock, one message, a take, with no pause between passes.
    {
        CNewsConnection connection("127.0.0.1", silentPort);
        connection.ConnectWithRetries();
        const double cpuStart = CpuSeconds(), start = Now();
        MSG msg;
        while (Now() - start < 5.0) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        const double wall = Now() - start, cpu = CpuSeconds() - cpuStart;
        std::printf("busy_loop_cpu_percent=%.2f\n", cpu / wall * 100);
    }
    return 0;
}

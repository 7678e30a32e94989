#!/usr/bin/env python3
"""Runs bench/news_bench.exe under wine64 against a local news server; writes its section of docs/benchmarks.md."""
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from run import replace_section  # noqa: E402
from wineenv import BUILD, WineSession, wait_for  # noqa: E402

PORT = 47100


def main():
    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "news_server.py"), "--port", str(PORT),
                               "--modes", "serve,silent"], stdout=subprocess.PIPE, text=True)
    wait_for(lambda: server.stdout.readline().startswith("silent"), 20, "news server")
    session = WineSession(own_display=True)
    try:
        out = subprocess.run(["/usr/lib/wine/wine64", os.path.join(BUILD, "news_bench.exe"), str(PORT),
                              str(PORT + 1)], env=session.env, capture_output=True, text=True, timeout=300).stdout
    finally:
        session.close()
        server.terminate()
        server.wait(10)
    f = dict(line.strip().split("=") for line in out.splitlines() if "=" in line)
    text = f"""## News fetch

`bash bench/news_run.sh` on this machine, {time.strftime('%Y-%m-%d')}; the news library's fetch under wine64
against `tools/news_server.py` on 127.0.0.1 (three messages).

| measurement | figure |
|---|---|
| one fetch, median of 7 (min / max) | {f['fetch_ms_median']} ms ({f['fetch_ms_min']} / {f['fetch_ms_max']}) |
| pauses the fetch itself demands | 200 ms (100 ms after connecting, 100 ms when the connection is destroyed) |
| a silent server holding the fetch | {f['silent_fetch_s']} s (10 s for the first data, 10 s of silence) |
| CPU of the host thread meanwhile | {f['silent_cpu_percent']} % of a core (target: under 5 %) |
| the same wait as a loop without pauses | {f['busy_loop_cpu_percent']} % of a core |

A fetch costs the design's own 200 ms of pauses plus a few milliseconds of work. While it waits,
the host thread sleeps until data, a window message or a 50 ms slice, instead of polling. The loop
without pauses is measured in the library's own process only: under Wine each message peek is a call
into Wine's server, which burns the rest of that core; on Windows the loop takes the whole core itself.
"""
    print(text)
    replace_section(os.path.join(ROOT, "docs", "benchmarks.md"), "news", text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

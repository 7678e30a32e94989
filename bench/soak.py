#!/usr/bin/env python3
"""Soak: thousands of client cycles against the bridge under Wine, with memory and handles watched.

A cycle connects to the data port, sends "AT\\r", waits for the exchange's "OK\\r\\n" and closes. Mixed in,
by the cycle's number: an immediate reconnect (connect and close at once, then the cycle), a takeover
whose old client closes at once, and a speed record on the configuration port. Every failed cycle
is counted. Every 1 000 cycles the bridge's resident memory (VmRSS of its process) and its handle
count are sampled. The handle count is the number of entries the system's handle table holds for
the process (NtQuerySystemInformation with SystemHandleInformation, asked by tools/uidriver.exe),
which Wine's server answers; GetProcessHandleCount answers 0 under Wine. Figures are printed and
written to docs/benchmarks.md.
"""
import argparse
import os
import shutil
import socket
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from exchange_sim import SimulatedExchange  # noqa: E402
from run import replace_section, wait_port  # noqa: E402
from wineenv import BUILD, UiDriver, WineSession, hexed  # noqa: E402

SETTINGS = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def answered(client):
    """Sends "AT\\r" on the connected client; true when the exchange's "OK\\r\\n" comes back."""
    client.settimeout(10)
    client.sendall(b"AT\r")
    answer = b""
    while len(answer) < 4:
        chunk = client.recv(64)
        if not chunk:
            break
        answer += chunk
    return answer == b"OK\r\n"


def ask(port):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as client:
        return answered(client)


def takeover(port):
    old = socket.create_connection(("127.0.0.1", port), timeout=10)
    new = socket.create_connection(("127.0.0.1", port), timeout=10)
    old.close()
    with new:
        return answered(new)


def cycle(number, data_port, config_port):
    kind = number % 10
    if kind == 7:
        socket.create_connection(("127.0.0.1", data_port), timeout=10).close()
    elif kind == 8:
        return takeover(data_port)
    elif kind == 9:
        rate = 9600 if number % 20 == 9 else 19200
        with socket.create_connection(("127.0.0.1", config_port), timeout=10) as config:
            config.sendall(bytes([3, 0, 0, 0, 0]) + rate.to_bytes(4, "little"))
    return ask(data_port)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cycles", type=int, default=10000)
    parser.add_argument("--output", default=os.path.join(ROOT, "docs", "benchmarks.md"))
    args = parser.parse_args()

    session = WineSession(own_display=True)
    workdir = tempfile.mkdtemp(prefix="vextor-soak-")
    try:
        exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="at")
        shutil.copy(os.path.join(BUILD, "vextor.exe"), workdir)
        driver = UiDriver(session)
        data_port, config_port = 47200, 47201
        dword = lambda value: value.to_bytes(4, "little").hex()  # noqa: E731
        driver.ok("regset", hexed(SETTINGS), hexed("Numer portu"), 4, dword(1))
        driver.ok("regset", hexed(SETTINGS), hexed("Prędkość transmisji"), 4, dword(19200))
        driver.ok("regset", hexed(SETTINGS), hexed("Portu IP nasłuchu"), 4, dword(data_port))
        proc = session.start(os.path.join(workdir, "vextor.exe"), workdir)
        panel = driver.find("kavrel", 30000)
        driver.set_text(panel, 1036, str(config_port))
        driver.ok("click", panel, 1006)
        wait_port(data_port)

        failures, samples = 0, []
        start = time.perf_counter()
        for number in range(1, args.cycles + 1):
            try:
                ok = cycle(number, data_port, config_port)
            except OSError:
                ok = False
            failures += 0 if ok else 1
            if number % 1000 == 0:
                handles = int(driver.ok("handles", panel)[0])
                samples.append((number, failures, rss_kib(proc.pid), handles))
                print(f"cycle {number}: {failures} failed, RSS {samples[-1][2]} KiB, {handles} handles", flush=True)
        elapsed = time.perf_counter() - start
        proc.kill()
        proc.wait(15)
        driver.close()
        exchange.close()
    finally:
        session.close()
        shutil.rmtree(workdir, ignore_errors=True)

    first, last = samples[0], samples[-1]
    lines = ["## Soak", "", f"`bash bench/soak.sh` on this machine, {time.strftime('%Y-%m-%d')}: {args.cycles} client "
             f"cycles in {elapsed:.0f} s against the bridge under wine64 and the simulated exchange on a pty. A cycle "
             "connects, sends \"AT\\r\", takes \"OK\\r\\n\" and closes; every tenth starts with an immediate "
             "reconnect, every tenth is a takeover whose old client closes at once, every tenth follows a speed "
             "record.", "",
             "| cycle | failed so far | resident memory KiB | handles |", "|---|---|---|---|"]
    lines += [f"| {n} | {failed} | {rss} | {handles} |" for n, failed, rss, handles in samples]
    lines += ["", f"Failed cycles: {failures}. From cycle {first[0]} to {last[0]}: resident memory "
              f"{last[2] - first[2]:+d} KiB, handles {last[3] - first[3]:+d}. Handles are the entries Wine's "
              "server keeps for the process in the system's handle table (NtQuerySystemInformation, "
              "SystemHandleInformation, through tools/uidriver.exe; GetProcessHandleCount answers 0 under Wine); "
              "resident memory is VmRSS of the Windows process, whose id wine64 gives.", ""]
    text = "\n".join(lines)
    print(text)
    replace_section(args.output, "soak", text)
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

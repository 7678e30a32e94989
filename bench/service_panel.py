#!/usr/bin/env python3
"""Figures of the panel as the service's face, under Wine: how soon the panel shows the service's
changes, the service's CPU with the panel open and with it closed, and the round trip through the
service with and without a reader on the status pipe that never reads.

bash bench/service_panel.sh   (installs, builds, then runs this; figures go to docs/benchmarks.md)
"""
import argparse
import os
import socket
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from run import (BUILD, ROOT, VextorService, cpu_seconds, percentile, replace_section, restart_windows,  # noqa: E402
                 round_trips_of, settle)
from exchange_sim import SimulatedExchange  # noqa: E402
from wineenv import WineSession, hexed, wait_for  # noqa: E402

PORT = 47300
STATUS, SPEED = 1038, 1018
PIPE = "\\\\.\\pipe\\Vextor.status"
SAMPLES = 10


def idle_cpu(pids, seconds=10.0):
    before = [cpu_seconds(p) for p in pids]
    time.sleep(seconds)  # measuring a span of idle time, not waiting for anything
    return [(cpu_seconds(p) - b) / seconds * 100 for p, b in zip(pids, before)]


def until(condition, timeout=10.0):
    """Seconds until the condition held, asked as often as the driver answers."""
    start = time.perf_counter()
    wait_for(condition, timeout, "the panel to follow", interval=0.002)
    return time.perf_counter() - start


def serves(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def ms(values):
    return f"{statistics.median(values) * 1000:.0f} / {max(values) * 1000:.0f}"


def baseline_idle(session, exchange, build):
    """The idle CPU of another build's service (the bridge before the panel could follow it)."""
    service = type("Baseline", (VextorService,), {"name": "baseline", "build": build})(session, exchange, PORT)
    try:
        with socket.create_connection(("127.0.0.1", PORT), timeout=30) as client:
            settle(client)
            return idle_cpu(service.pids())
    finally:
        service.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--baseline", metavar="LABEL=DIR", help="a build whose idle service is measured first")
    args = parser.parse_args()
    session = WineSession(own_display=True)
    restart_windows(session)
    exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="echo")
    figures = {}
    label = None
    if args.baseline:
        label, folder = args.baseline.split("=", 1)
        figures["baseline"] = baseline_idle(session, exchange, folder)
    service = type("Service", (VextorService,), {"name": "service", "build": BUILD})(session, exchange, PORT)
    driver = service.driver
    panel_process = None
    try:
        client = socket.create_connection(("127.0.0.1", PORT), timeout=30)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        settle(client)
        service_pids = service.pids()
        figures["closed"] = idle_cpu(service_pids)
        panel_process = session.start(service.exe, service.workdir)
        panel = driver.find("kavrel", 30000)
        wait_for(lambda: driver.text(panel, STATUS) == "127.0.0.1", 30, "the panel linked")
        cpu = idle_cpu(service_pids + [panel_process.pid])
        figures["open"], figures["panel"] = cpu[:-1], cpu[-1]
        client.close()
        wait_for(lambda: driver.text(panel, STATUS) == "(brak połączenia)", 10, "the client gone")

        appear = []
        for _ in range(SAMPLES):
            other = socket.socket()
            other.bind(("127.0.0.2", 0))
            other.connect(("127.0.0.1", PORT))
            appear.append(until(lambda: driver.text(panel, STATUS) == "127.0.0.2"))
            other.close()
            wait_for(lambda: driver.text(panel, STATUS) == "(brak połączenia)", 10, "the client gone")
        figures["appear"] = appear

        speeds = []
        with socket.create_connection(("127.0.0.1", service.com_port + 100), timeout=10) as config:
            for i in range(SAMPLES):
                rate, index = (2400, 4) if i % 2 == 0 else (9600, 7)
                config.sendall(bytes([3, 0, 0, 0, 0]) + rate.to_bytes(4, "little"))
                speeds.append(until(lambda: driver.selection(panel, SPEED) == index))
        figures["speed"] = speeds

        reconnect = []
        for _ in range(3):
            subprocess.run(["/usr/lib/wine/wine64", "net", "stop", "Vextor"], env=session.env, capture_output=True,
                           timeout=60)
            wait_for(lambda: driver.ask("svcstate", hexed("Vextor")).startswith("ok 1 "), 60, "stopped")
            subprocess.run(["/usr/lib/wine/wine64", "sc", "start", "Vextor"], env=session.env, capture_output=True,
                           timeout=60)
            wait_for(lambda: driver.ask("svcstate", hexed("Vextor")).startswith("ok 4 "), 60, "running",
                     interval=0.002)
            reconnect.append(until(lambda: driver.text(panel, STATUS) == "(brak połączenia)", 30))
        figures["reconnect"] = reconnect
        service.service_pid = wait_for(service._service_process, 30, "the service's process")

        # A new data port written to the machine's key and applied with PARAMCHANGE, until it serves.
        applied = []
        for port in (PORT + 1, PORT, PORT + 1, PORT):
            driver.ok("regset", hexed(VextorService.MACHINE_KEY), hexed("Portu IP nasłuchu"), 4,
                      port.to_bytes(4, "little").hex())
            start = time.perf_counter()
            assert driver.control_service("Vextor", 6) == 0
            wait_for(lambda: serves(port), 30, f"port {port}", interval=0.002)
            applied.append(time.perf_counter() - start)
        figures["applied"] = applied

        client = socket.create_connection(("127.0.0.1", PORT), timeout=30)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        settle(client)
        rtt = {"without": [], "with": []}
        for _ in range(2):
            rtt["without"].append(round_trips_of(client, 500)[1])
            stuck = driver.hold_pipe(PIPE)
            rtt["with"].append(round_trips_of(client, 500)[1])
            driver.release_pipe(stuck)
        figures["rtt"] = rtt
        client.close()
    finally:
        if panel_process and panel_process.poll() is None:
            panel_process.kill()
            panel_process.wait(15)
        service.close()
        exchange.close()
        session.close()

    rtt_text = lambda pairs: ", ".join(f"{p50:.2f} / {p99:.2f}" for p50, p99 in pairs)  # noqa: E731
    text = "\n".join([
        "## The panel as the service's face", "",
        f"`bash bench/service_panel.sh` on this machine ({os.cpu_count()} cores), {time.strftime('%Y-%m-%d')}: "
        "the x86_64 build run as a service by Wine's service manager, the panel beside it in the same Windows.", "",
        "| figure | value |", "|---|---|"] + ([
        f"| the service of the build {label}, before the panel followed it: a client connected and idle | "
        f"{figures['baseline'][0]:.2f} % (Wine's server {sum(figures['baseline'][1:]):.2f} %) |"]
        if "baseline" in figures else []) + [
        f"| service's CPU, a client connected and idle, panel closed | {figures['closed'][0]:.2f} % "
        f"(Wine's server {sum(figures['closed'][1:]):.2f} %) |",
        f"| the same with the panel open and idle | {figures['open'][0]:.2f} % (Wine's server "
        f"{sum(figures['open'][1:]):.2f} %); the panel itself {figures['panel']:.2f} % |",
        f"| a client from 127.0.0.2 in the panel's status line, p50 / max of {SAMPLES} | {ms(figures['appear'])} ms |",
        f"| a speed record in the panel's speed list, p50 / max of {SAMPLES} | {ms(figures['speed'])} ms |",
        f"| panel linked again after `net stop` and `sc start`, from RUNNING, p50 / max of 3 | "
        f"{ms(figures['reconnect'])} ms |",
        f"| a new data port applied with PARAMCHANGE until it serves, p50 / max of 4 | {ms(figures['applied'])} ms |",
        f"| 1-byte round trip p50 / p99 ms, 500 each, twice: no other reader | {rtt_text(figures['rtt']['without'])} |",
        f"| the same with a reader on the status pipe that never reads | {rtt_text(figures['rtt']['with'])} |",
        "", "CPU is % of one core over 10 s. The panel reads the service's status pipe on a thread of its "
        "own that sleeps in a read until the service writes; it asks the service manager once a second "
        "only while it has no link.", ""])
    print(text)
    replace_section(os.path.join(ROOT, "docs", "benchmarks.md"), "service-panel", text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

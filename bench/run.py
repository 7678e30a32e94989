#!/usr/bin/env python3
"""Measures our bridge beside socat and ser2net on the same simulated exchange and pty.

For each bridge: round trips of 1, 16 and 100-byte messages with the exchange echoing (p50/p99),
1 MiB each way with integrity checked, a paced exchange-to-client stream at 115200 baud 8N1
(11 520 bytes/s in 16-byte bursts) with the delay of each burst and the CPU meanwhile, and the CPU
the bridge uses while a client is connected and idle. Our bridge logs to a file throughout, and the
log's average exchange entry is counted. Several builds of our bridge can be compared in one run
(--vextor LABEL=DIR); --runs repeats the whole set, interleaved, and reports medians.
Figures are printed and written to docs/benchmarks.md.
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from exchange_sim import SimulatedExchange  # noqa: E402
from wineenv import BUILD, UiDriver, WineSession, hexed, hold_new_session, wait_for  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
MIB = 1 << 20


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def wait_port(port, timeout=20):
    def ready():
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            return False
    wait_for(ready, timeout, f"port {port}", interval=0.1)


class Vextor:
    name = "vextor (under wine64)"
    build = BUILD
    window_thread = True  # the panel's thread runs the engine: its calls per burst are counted

    def __init__(self, session, exchange, port):
        self.session = session
        self.workdir = tempfile.mkdtemp(prefix="vextor-bench-")
        shutil.copy(os.path.join(self.build, "vextor.exe"), self.workdir)
        self.driver = UiDriver(session)
        key = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
        dword = lambda value: value.to_bytes(4, "little").hex()  # noqa: E731
        self.driver.ok("regset", hexed(key), hexed("Numer portu"), 4, dword(1))
        self.driver.ok("regset", hexed(key), hexed("Prędkość transmisji"), 4, dword(115200))
        self.driver.ok("regset", hexed(key), hexed("Portu IP nasłuchu"), 4, dword(port))
        self.com_port = port + 100  # the RFC 2217 port, where the build has one
        self.driver.ok("regset", hexed(key), hexed("rfc2217Port"), 4, dword(self.com_port))
        self.driver.ok("regset", hexed(key), hexed("Logowanie do pliku"), 4, dword(1))
        self.driver.ok("regset", hexed(key), hexed("Nazwa pliku logowania"), 1, hexed("bench.txt") + "00")
        self.log = os.path.join(self.workdir, "bench.txt")
        self.proc = session.start(os.path.join(self.workdir, "vextor.exe"), self.workdir)
        panel = self.driver.find("kavrel", 30000)
        # A click that lands before the panel is ready is lost: click until the bridge listens.
        for _ in range(5):
            self.driver.ok("click", panel, 1006)
            try:
                wait_for(lambda: self.driver.ask("gettext", panel, 1006) == "ok " + hexed("&Stop"), 10, "listening")
                break
            except AssertionError:
                continue
        # The listeners are up before the button reads "&Stop". No probe connection: a client
        # right behind a short connection was cut off by builds before that fault was mended.
        # Wine's server does the port and socket calls on the program's behalf: count it too.
        self.helpers = self._wineservers()

    def _wineservers(self):
        return [pid for pid in map(int, subprocess.run(["pgrep", "wineserver"], capture_output=True,
                                                       text=True).stdout.split())
                if self._same_prefix(pid)]

    def _same_prefix(self, pid):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                return f"WINEPREFIX={self.session.prefix}".encode() in f.read().split(b"\0")
        except OSError:
            return False

    def pids(self):
        return [self.proc.pid] + self.helpers

    def close(self):
        self.proc.kill()
        self.proc.wait(15)
        self.driver.close()
        shutil.rmtree(self.workdir, ignore_errors=True)


class VextorService(Vextor):
    """The same build run as a service by Wine's service manager: the machine's settings, its log in
    the data folder, no window."""
    MACHINE_KEY = "HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.\\vextor\\Settings"
    window_thread = False

    def __init__(self, session, exchange, port):
        self.session = session
        self.workdir = tempfile.mkdtemp(prefix="vextor-service-bench-")
        self.exe = os.path.join(self.workdir, "vextor.exe")
        shutil.copy(os.path.join(self.build, "vextor.exe"), self.exe)
        self.driver = UiDriver(session)
        dword = lambda value: value.to_bytes(4, "little").hex()  # noqa: E731
        for name, value in (("Numer portu", 1), ("Prędkość transmisji", 115200), ("Portu IP nasłuchu", port),
                            ("configPort", port + 200), ("rfc2217Port", port + 100), ("Logowanie do pliku", 1)):
            self.driver.ok("regset", hexed(self.MACHINE_KEY), hexed(name), 4, dword(value))
        self.driver.ok("regset", hexed(self.MACHINE_KEY), hexed("Nazwa pliku logowania"), 1, hexed("bench.txt") + "00")
        self.com_port = port + 100
        data = os.path.join(session.prefix, "drive_c", "ProgramData", "MORVEK", "Vextor")
        self.log = os.path.join(data, "bench.txt")
        if os.path.exists(self.log):
            os.unlink(self.log)
        # Installed, the service starts at once with these settings.
        subprocess.run(["/usr/lib/wine/wine64", self.exe, "--install-service"], cwd=self.workdir, env=session.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True,
                       timeout=120)
        wait_port_listening(port, 60)
        wait_port_listening(self.com_port, 60)
        self.service_pid = wait_for(self._service_process, 30, "the service's process")
        self.helpers = self._wineservers()

    def _service_process(self):
        for pid in map(int, subprocess.run(["pgrep", "-f", "vextor.exe"], capture_output=True, text=True).stdout.split()):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    words = f.read().split(b"\0")
            except OSError:
                continue
            if b"--service" in words and self._same_prefix(pid):
                return pid
        return None

    def pids(self):
        return [self.service_pid] + self.helpers

    def close(self):
        for command in (["net", "stop", "Vextor"], [self.exe, "--uninstall-service"]):
            subprocess.run(["/usr/lib/wine/wine64", *command], cwd=self.workdir, env=self.session.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=120)
        self.driver.close()
        shutil.rmtree(self.workdir, ignore_errors=True)


class Socat:
    name = "socat"

    def __init__(self, session, exchange, port):
        tty = os.readlink(exchange.link)
        self.proc = subprocess.Popen(["socat", f"TCP-LISTEN:{port},bind=127.0.0.1,reuseaddr",
                                      f"FILE:{tty},raw,echo=0,b115200"], stderr=subprocess.DEVNULL)
        wait_port_listening(port)

    def pids(self):
        return [self.proc.pid]

    def close(self):
        self.proc.kill()
        self.proc.wait(10)


class Ser2net:
    name = "ser2net"

    def __init__(self, session, exchange, port):
        tty = os.readlink(exchange.link)
        self.config = tempfile.NamedTemporaryFile("w", suffix=".yaml", delete=False)
        self.config.write(f"connection: &bench\n  accepter: tcp,127.0.0.1,{port}\n"
                          f"  connector: serialdev,{tty},115200n81,local\n  options:\n    kickolduser: true\n")
        self.config.close()
        self.proc = subprocess.Popen(["ser2net", "-n", "-d", "-c", self.config.name],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_port(port)

    def pids(self):
        return [self.proc.pid]

    def close(self):
        self.proc.kill()
        self.proc.wait(10)
        os.unlink(self.config.name)


def restart_windows(session):
    """A new session for the services, up before an exchange takes COM1: the services link the COM
    ports afresh when they start."""
    hold_new_session(session)
    subprocess.run(["/usr/lib/wine/wine64", "wineboot"], env=session.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)


def wait_port_listening(port, timeout=20):
    # socat without fork serves one connection: look for the listener instead of connecting.
    def listening():
        out = subprocess.run(["ss", "-ltnH", f"sport = :{port}"], capture_output=True, text=True).stdout
        return bool(out.strip())
    wait_for(listening, timeout, f"listener on {port}", interval=0.1)


def recv_exactly(sock, count):
    data = bytearray()
    while len(data) < count:
        chunk = sock.recv(min(65536, count - len(data)))
        if not chunk:
            raise AssertionError(f"connection closed after {len(data)} of {count} bytes")
        data += chunk
    return bytes(data)


def settle(client):
    """Waits until the bridge has taken the client: an echo of a probe comes back (what the exchange
    sends before the bridge has accepted is dropped), then drains the echoes of earlier probes."""
    client.settimeout(1)
    for _ in range(30):
        client.sendall(b"!")
        try:
            if client.recv(64):
                break
        except socket.timeout:
            continue
    client.settimeout(0.3)
    try:
        while client.recv(64):
            pass
    except socket.timeout:
        pass
    client.settimeout(60)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def entry_average(log, since):
    """Average exchange entry in the log after byte `since`: bytes per "\\nCentrala:" prefix."""
    with open(log, "rb") as f:
        f.seek(since)
        text = f.read()
    # The stream has no other traffic: all but the prefixes is the exchange's bytes.
    prefixes = text.count(b"\nCentrala:")
    return (len(text) - prefixes * len(b"\nCentrala:")) / prefixes if prefixes else 0.0


def paced_delays(exchange, client, stream, chunk=16):
    """Streams from the exchange at 115200 baud; the delay of each burst until its last byte arrived (ms)."""
    arrivals = []  # (time, bytes received so far)
    got = bytearray()
    exchange.send_paced(stream, 11520, chunk)
    while len(got) < len(stream):
        data = client.recv(65536)
        if not data:
            break
        got += data
        arrivals.append((time.perf_counter(), len(got)))
    delays = []
    index = 0
    for offset, sent in exchange.sent_at:
        end = min(offset + chunk, len(stream))
        while index < len(arrivals) and arrivals[index][1] < end:
            index += 1
        if index < len(arrivals):
            delays.append((arrivals[index][0] - sent) * 1000)
    return bytes(got), delays


def window_thread_calls(pid, exchange, client, seconds=5):
    """System calls of the window thread (the process's first thread) per exchange burst, over a
    paced stream of its own: every wake-up of a thread under Wine makes some, so none means it
    slept throughout."""
    out = tempfile.NamedTemporaryFile(suffix=".strace", delete=False).name
    tracer = subprocess.Popen(["strace", "-qq", "-p", str(pid), "-o", out], stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)  # strace attaching: it gives no sign when it has, and a stream before would go uncounted
        stream = os.urandom(11520 * seconds)
        got, _ = paced_delays(exchange, client, stream)
        assert got == stream, "stream under strace incomplete"
    finally:
        tracer.terminate()
        tracer.wait(10)
    with open(out) as f:
        calls = sum(1 for line in f if "(" in line and not line.startswith("+++"))
    os.unlink(out)
    return calls / (len(stream) / 16)


def round_trips_of(client, round_trips):
    """p50 and p99 of echoed messages of 1, 16 and 100 bytes (no 0xFF, which telnet would double), ms."""
    figures = {}
    for size in (1, 16, 100):
        times = []
        message = bytes((i * 7 + size) % 255 for i in range(size))
        for _ in range(round_trips):
            start = time.perf_counter()
            client.sendall(message)
            assert recv_exactly(client, size) == message, "echo corrupted"
            times.append((time.perf_counter() - start) * 1000)
        figures[size] = (statistics.median(times), percentile(times, 0.99))
    return figures


def measure(bridge_class, session, exchange, port, stream_seconds, round_trips):
    figures = {}
    bridge = bridge_class(session, exchange, port)
    try:
        client = socket.create_connection(("127.0.0.1", port), timeout=30)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        exchange.mode = "echo"
        settle(client)
        for size, figure in round_trips_of(client, round_trips).items():
            figures[f"rtt{size}"] = figure
        exchange.mode = "sink"
        exchange.take_received()

        block = os.urandom(MIB)
        start = time.perf_counter()
        client.sendall(block)
        received = exchange.wait_received(MIB, timeout=600)
        figures["up"] = MIB / (time.perf_counter() - start) / 1024
        figures["up_ok"] = received == block
        exchange.take_received()

        block = os.urandom(MIB)
        start = time.perf_counter()
        exchange.send(block)
        got = recv_exactly(client, MIB)
        figures["down"] = MIB / (time.perf_counter() - start) / 1024
        figures["down_ok"] = got == block

        pids = bridge.pids()
        stream = os.urandom(11520 * stream_seconds)
        client.settimeout(stream_seconds + 60)
        log = getattr(bridge, "log", None)
        mark = os.path.getsize(log) if log else 0
        before = [cpu_seconds(p) for p in pids]
        start = time.perf_counter()
        got, delays = paced_delays(exchange, client, stream)
        elapsed = time.perf_counter() - start
        after = [cpu_seconds(p) for p in pids]
        figures["stream_ok"] = got == stream
        figures["entry"] = entry_average(log, mark) if log else -1.0
        figures["delay"] = (statistics.median(delays), percentile(delays, 0.99)) if delays else (0, 0)
        figures["stream_cpu"] = ((after[0] - before[0]) / elapsed * 100, (sum(after[1:]) - sum(before[1:])) / elapsed * 100)

        if getattr(bridge, "window_thread", False):
            figures["window_calls"] = window_thread_calls(bridge.proc.pid, exchange, client)

        before = [cpu_seconds(p) for p in pids]
        idle = 10.0
        time.sleep(idle)  # measuring a span of idle time, not waiting for anything
        after = [cpu_seconds(p) for p in pids]
        figures["idle_cpu"] = ((after[0] - before[0]) / idle * 100, (sum(after[1:]) - sum(before[1:])) / idle * 100)
        client.close()

        if isinstance(bridge, Vextor):
            # The same round trips through the RFC 2217 port (its client takes over the line).
            try:
                com = socket.create_connection(("127.0.0.1", bridge.com_port), timeout=5)
            except OSError:
                com = None  # a build without it
            if com:
                with com:
                    com.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                    exchange.mode = "echo"
                    settle(com)  # the server's telnet offers are read and dropped here too
                    rtt = round_trips_of(com, round_trips)
                    figures["rtt_com"] = tuple(rtt[size][0] for size in (1, 16, 100))
    finally:
        bridge.close()
    return figures


EXPLANATION = """
Reading the figures:

- Round trip. The serial worker waits on events: a 1-byte overlapped read that completes with the
  exchange's first byte, then one read of what the driver has queued behind it, which completes at
  once; it sends what it read to the client itself. The client's bytes still come through the window
  thread, which receives them and hands one chunk at a time to the worker. What is left is Wine's
  server: about fifteen microseconds of ours and as much of the server's per call into it.
  ser2net's 100-byte figure is its own character-timeout batching, not the line.
- Throughput. One chunk of at most 1 020 client bytes is on its way to the port at a time (TCP holds
  the client back meanwhile); the exchange's output goes from the worker's reads straight to the
  client, through a ring of up to 1 MiB that holds what a slow client has not taken yet.
- Paced stream: the exchange writes 16 bytes every 1.39 ms; the delay is until a burst's last byte
  reached the client. "INCOMPLETE" would mark a loss; every block and the stream are compared byte
  for byte.
- CPU in the stream. A burst wakes only the worker: its wait, the read of the queued bytes, the send
  and the next 1-byte read are about ten calls into Wine's server, which is what an event-driven relay
  costs under Wine (a one-thread test program doing just that measured 10 % of a core, the server as
  much again). The builds that handed every burst to the window thread paid a second thread's
  wake-up and its message on top.
- Window thread: system calls per burst, counted with strace on the window thread alone during a
  paced stream of its own (5 s). Every wake-up of a thread under Wine makes some, so 0 means the window
  thread slept through the stream: the exchange's bytes never pass it, log or no log.
- Idle CPU: with a client connected and nothing moving, the worker sleeps in the kernel until a byte,
  a chunk or a command comes.
- The log's average exchange entry is counted over the paced stream only: an entry goes on while the
  exchange's bytes keep coming within 5 ms, nothing else is logged in between and it is under 100 bytes.
- RFC 2217 port: the same round trips through the com-port port, whose client takes over the line
  (messages without 0xFF, so the two ports carry the same bytes).
- "as a service" (--service): the same build installed with --install-service and run by Wine's
  service manager from the machine's settings, logging into its data folder; its idle CPU is the
  service's while a client is connected and nothing moves. No window-thread count: the engine's
  host window there is message-only, on a thread of its own.
"""


def replace_section(path, name, text):
    """Puts `text` between this benchmark's markers in the shared benchmarks page."""
    begin, end = f"<!-- {name}:begin -->", f"<!-- {name}:end -->"
    page = open(path).read() if os.path.exists(path) else "# Benchmarks\n"
    block = f"{begin}\n{text}{end}\n"
    if begin in page and end in page:
        page = page[:page.index(begin)] + block + page[page.index(end) + len(end) + 1:]
    else:
        page = page.rstrip("\n") + "\n\n" + block
    with open(path, "w") as f:
        f.write(page)


def median_figures(runs):
    """The median of each figure over the runs (integrity: all must hold)."""
    merged = {}
    for key in runs[0]:
        values = [r[key] for r in runs]
        if isinstance(values[0], bool):
            merged[key] = all(values)
        elif isinstance(values[0], tuple):
            merged[key] = tuple(statistics.median(v[i] for v in values) for i in range(len(values[0])))
        else:
            merged[key] = statistics.median(values)
    return merged


def report(results, stream_seconds, round_trips, runs):
    lines = ["## Bridge beside socat and ser2net", "",
             f"`bash bench/run.sh` on this machine ({os.cpu_count()} cores), {time.strftime('%Y-%m-%d')}. "
             "Every bridge serves the same simulated exchange on a pseudo-terminal; the client is on 127.0.0.1. "
             f"Medians of {runs} interleaved run(s).",
             "", f"Round trips: {round_trips} messages per size, exchange echoing. "
             f"Paced stream: {stream_seconds} s at 11 520 bytes/s (115200 baud 8N1) in 16-byte bursts from the "
             "exchange; its delay is from a burst's queueing at the exchange to its last byte at the client. "
             "CPU is % of one core: the program's own process / Wine's server (ours only). "
             "Our bridge logs to a file throughout.", "",
             "| bridge | RTT 1 B p50/p99 ms | RTT 16 B p50/p99 ms | RTT 100 B p50/p99 ms | client→exchange KiB/s "
             "| exchange→client KiB/s | paced stream: delay p50/p99 ms | CPU in the stream | idle CPU "
             "| log: average exchange entry, bytes | window thread: system calls per burst "
             "| RFC 2217 port: RTT 1 / 16 / 100 B p50 ms |",
             "|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for name, f in results:
        rtt = " | ".join(f"{f[k][0]:.2f} / {f[k][1]:.2f}" for k in ("rtt1", "rtt16", "rtt100"))
        up = f"{f['up']:.0f}" + ("" if f["up_ok"] else " CORRUPT")
        down = f"{f['down']:.0f}" + ("" if f["down_ok"] else " CORRUPT")
        delay = f"{f['delay'][0]:.2f} / {f['delay'][1]:.2f}" + ("" if f["stream_ok"] else " INCOMPLETE")
        ours = f["entry"] >= 0
        cpu = lambda pair: f"{pair[0]:.2f} / {pair[1]:.2f}" if ours else f"{pair[0]:.2f}"  # noqa: E731
        entry = f"{f['entry']:.1f}" if ours else "-"
        calls = f"{f['window_calls']:.2f}" if "window_calls" in f else "-"
        com = " / ".join(f"{v:.2f}" for v in f["rtt_com"]) if "rtt_com" in f else "-"
        lines.append(f"| {name} | {rtt} | {up} | {down} | {delay} | {cpu(f['stream_cpu'])} | {cpu(f['idle_cpu'])} "
                     f"| {entry} | {calls} | {com} |")
    return "\n".join(lines) + "\n" + EXPLANATION


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--stream-seconds", type=int, default=60)
    parser.add_argument("--round-trips", type=int, default=200)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--vextor", action="append", default=[], metavar="LABEL=DIR",
                        help="a build of our bridge to measure (default: the current one)")
    parser.add_argument("--no-peers", action="store_true", help="measure our bridge only")
    parser.add_argument("--service", action="store_true",
                        help="also measure the last build run as a service, beside its panel's engine")
    parser.add_argument("--output", default=os.path.join(ROOT, "docs", "benchmarks.md"))
    args = parser.parse_args()

    bridges = []
    for item in args.vextor or [f"{Vextor.name}={BUILD}"]:
        label, directory = item.split("=", 1)
        bridges.append(type("VextorBuild", (Vextor,), {"name": label, "build": directory}))
    if args.service:
        last = bridges[-1]
        bridges.append(type("VextorServiceBuild", (VextorService,), {"name": last.name + " as a service",
                                                                     "build": last.build}))
    if not args.no_peers:
        bridges += [Socat, Ser2net]

    session = WineSession(own_display=True)
    if args.service:
        restart_windows(session)
    figures = {b.name: [] for b in bridges}
    failed = {}
    try:
        for run in range(args.runs):
            for number, bridge_class in enumerate(bridges):
                exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="sink")
                try:
                    print(f"run {run + 1}: measuring {bridge_class.name} ...", flush=True)
                    figures[bridge_class.name].append(measure(bridge_class, session, exchange, 47000 + number,
                                                              args.stream_seconds, args.round_trips))
                except (AssertionError, OSError) as failure:
                    # A bridge that loses a round trip or a block is reported, and the others still measured.
                    print(f"run {run + 1}: {bridge_class.name} failed: {failure!r}", flush=True)
                    failed[bridge_class.name] = failed.get(bridge_class.name, 0) + 1
                finally:
                    exchange.close()
    finally:
        session.close()
    results = [(b.name, median_figures(figures[b.name])) for b in bridges if figures[b.name]]
    text = report(results, args.stream_seconds, args.round_trips, args.runs)
    for name, count in failed.items():
        text += f"\n{name}: {count} of {args.runs} runs failed (a round trip or a block was lost); medians are of the rest.\n"
    print(text)
    replace_section(args.output, "bridge", text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

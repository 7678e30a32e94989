"""Fixtures: one Wine session and UI driver per run; a bridge process per test, always stopped; and
what many tests do with a bridge: its settings, Listen and Stop, clients on its ports."""
import os
import re
import shutil
import socket
import struct
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from wineenv import BUILD, UiDriver, WineSession, free_port, wait_for  # noqa: F401,E402 (free_port for the tests)

SETTINGS_KEY = "Software\\MORVEK Sp. z o.o.\\{}\\Settings"
PANEL_TITLE = "kavrel"
REG_SZ, REG_DWORD = 1, 4
LISTEN, STATUS = 1006, 1038


@pytest.fixture(scope="session")
def wine():
    session = WineSession(own_display=bool(os.environ.get("VEXTOR_OWN_DISPLAY")))
    yield session
    session.close()


@pytest.fixture(scope="session")
def driver(wine):
    ui = UiDriver(wine)
    yield ui
    ui.close()


class Bridge:
    """One started vextor process (under the given program name) and its panel window."""

    def __init__(self, wine, driver, workdir, name="vextor", extra_env=None, program="vextor.exe"):
        self.driver = driver
        self.name = name
        self.key = SETTINGS_KEY.format(name)
        exe = os.path.join(workdir, name + ".exe")
        if not os.path.exists(exe):
            shutil.copy(os.path.join(BUILD, program), exe)
        self.proc = wine.start(exe, workdir, extra_env)
        self.hwnd = None

    def wait_panel(self):
        self.hwnd = self.driver.find(PANEL_TITLE, 20000)
        assert self.hwnd, "control panel did not appear"
        return self.hwnd

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=15):
        self.proc.wait(timeout)

    def stop(self):
        if self.alive():
            self.proc.kill()
            self.proc.wait(15)
        # The window belongs to the process; make sure the next test cannot find it.
        if self.hwnd:
            wait_for(lambda: self.driver.ask("visible", self.hwnd) == "err nowindow", 15, "panel to vanish")


@pytest.fixture
def start_bridge(wine, driver, tmp_path):
    """Starts bridges of the test, each stopped at its end; first every bridge's settings go, so that
    the test starts as on a machine where the bridge never ran."""
    driver.delete_key("Software\\MORVEK Sp. z o.o.")
    started = []

    def start(name="vextor", extra_env=None, wait=True, program="vextor.exe"):
        bridge = Bridge(wine, driver, str(tmp_path), name, extra_env, program)
        started.append(bridge)
        if wait:
            bridge.wait_panel()
        return bridge

    yield start
    for bridge in started:
        bridge.stop()


def dword(value):
    return struct.pack("<i", value)


def sz(text):
    return text.encode("cp1250") + b"\0"


@pytest.fixture
def exchange(wine):
    """A simulated exchange on a fresh pty, linked as the prefix's COM1."""
    from exchange_sim import SimulatedExchange
    sim = SimulatedExchange(os.path.join(wine.prefix, "dosdevices", "com1"), mode="sink")
    yield sim
    sim.close()


def store_settings(driver, name="vextor", key=None, **values):
    """Writes bridge settings before a start (under `key` if given): integers as REG_DWORD, texts as
    REG_SZ. The access settings go by their own value names (listenAddress, takeover, ...)."""
    names = {"comPort": "Numer portu", "baudRate": "Prędkość transmisji", "parity": "Parzystość",
             "stopBits": "Bity stopu", "listenPort": "Portu IP nasłuchu", "logPort": "Port IP logowania",
             "logAddress": "Adres IP logowania", "logFileName": "Nazwa pliku logowania",
             "logToFile": "Logowanie do pliku", "logToTcp": "Logowanie po TCP/IP"}
    key = key or SETTINGS_KEY.format(name)
    # A bridge on a data port of the test's own gets a configuration port of its own too: the
    # default one may be held by anything else running on the machine.
    if "listenPort" in values:
        values.setdefault("configPort", free_port())
    for field, value in values.items():
        if isinstance(value, int):
            driver.set_value(key, names.get(field, field), REG_DWORD, dword(value))
        else:
            driver.set_value(key, names.get(field, field), REG_SZ, sz(value))


def windows_path(path):
    return "Z:" + os.path.abspath(str(path)).replace("/", "\\")


def rss_kib(pid):
    return int(re.search(r"VmRSS:\s+(\d+)", open(f"/proc/{pid}/status").read()).group(1))


def connect(port, timeout=10.0, source="127.0.0.1", host="127.0.0.1"):
    """A client from `source`: Linux routes all of 127.0.0.0/8 to loopback, so a client bound to
    127.0.0.2 or 127.0.0.3 comes from an address of its own."""
    return socket.create_connection((host, port), timeout=timeout, source_address=(source, 0))


def refused(port, host="127.0.0.1"):
    try:
        socket.create_connection((host, port), timeout=10).close()
    except ConnectionRefusedError:
        return True
    return False


def receive_exactly(sock, count=float("inf"), timeout=30.0):
    """`count` bytes, fewer if the peer closes first; without a count, all it sends until it closes."""
    sock.settimeout(timeout)
    data = bytearray()
    while len(data) < count:
        chunk = sock.recv(65536)
        if not chunk:
            break
        data += chunk
    return bytes(data)


def accepted(driver, bridge):
    """The bridge has taken the client: the exchange's output reaches it from now on."""
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) not in ("", "(brak połączenia)"), what="client accepted")


def listen(driver, bridge, config_port=None):
    if config_port:
        driver.set_text(bridge.hwnd, 1036, str(config_port))
    wait_for(lambda: driver.enabled(bridge.hwnd, LISTEN), what="Listen lock to expire")
    assert driver.click(bridge.hwnd, LISTEN)
    wait_for(lambda: driver.text(bridge.hwnd, LISTEN) == "&Stop", what="listening")


def stop(driver, bridge):
    wait_for(lambda: driver.enabled(bridge.hwnd, LISTEN), what="Listen lock to expire")
    assert driver.click(bridge.hwnd, LISTEN)
    wait_for(lambda: driver.text(bridge.hwnd, LISTEN) == "&Nasłuchuj ...", what="idle look")


def listening(start_bridge, driver, **settings):
    """A bridge on COM1 at 19200 bit/s with a data port and a configuration port of its own, listening."""
    ports = {"data": free_port(), "config": free_port()}
    store_settings(driver, **{"comPort": 1, "baudRate": 19200, "listenPort": ports["data"], **settings})
    bridge = start_bridge()
    listen(driver, bridge, ports["config"])
    return bridge, ports

"""The access dialog: opened from the panel, locked while listening, its values stored with the others."""
import re
import socket
import subprocess
import time

from conftest import (REG_DWORD, REG_SZ, connect, dword, free_port, listen, listening, receive_exactly, refused, rss_kib,
                      stop, store_settings, sz, windows_path)
from wineenv import wait_for

OK, CANCEL, LISTEN, CONFIG_PORT, ACCESS = 1, 2, 1006, 1036, 1040
LISTEN_ADDRESS, ALLOWED, NEWCOMER, REFUSE, SAME_ADDRESS, CONFIG_PORT_ON, RFC2217_PORT, TRACE_FILE = range(1041, 1049)
REG_BINARY = 3
TITLE = "Dostęp do serwera"


def open_access(driver, panel):
    driver.post_click(panel, ACCESS)
    dialog = driver.find(TITLE, 10000)
    assert dialog, "the access dialog did not open"
    return dialog


def wait_closed(driver, dialog):
    wait_for(lambda: driver.ask("visible", dialog) == "err nowindow", 10, "the access dialog to close")


def test_access_settings_from_their_dialog_to_the_registry(start_bridge, driver):
    key = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
    # Values of the wrong type or size count as missing; a stored address this machine does not list is shown.
    driver.set_value(key, "takeover", REG_SZ, sz("2"))
    driver.set_value(key, "configPortEnabled", REG_BINARY, b"\0")
    driver.set_value(key, "listenAddress", REG_SZ, sz("10.9.8.7"))
    store_settings(driver, comPort=0, listenPort=free_port())
    bridge = start_bridge()
    panel = bridge.hwnd
    driver.set_text(panel, CONFIG_PORT, str(free_port()))

    dialog = open_access(driver, panel)
    assert [driver.item_text(dialog, LISTEN_ADDRESS, i) for i in (0, 1)] == \
        ["Wszystkie interfejsy", "Tylko ten komputer (127.0.0.1)"]
    assert driver.text(dialog, LISTEN_ADDRESS) == "10.9.8.7"
    assert [driver.checked(dialog, i) for i in (NEWCOMER, REFUSE, SAME_ADDRESS, CONFIG_PORT_ON)] == [1, 0, 0, 1]
    driver.click(dialog, SAME_ADDRESS)
    driver.click(dialog, CANCEL)
    wait_closed(driver, dialog)

    dialog = open_access(driver, panel)
    assert driver.checked(dialog, NEWCOMER) == 1, "Cancel changed the rule"
    driver.select(dialog, LISTEN_ADDRESS, 1)
    driver.set_text(dialog, ALLOWED, "192.168.1.0/24, 10.0.0.256 127.0.0.2")
    driver.click(dialog, SAME_ADDRESS)
    driver.click(dialog, CONFIG_PORT_ON)
    driver.set_text(dialog, RFC2217_PORT, "2217")
    driver.set_text(dialog, TRACE_FILE, "C:\\Dzienniki\\połączenia.txt")
    driver.post_click(dialog, OK)
    box = driver.message_box()
    assert box and box[1:] == ("vextor", "\"10.0.0.256\" nie jest adresem IPv4 ani zakresem adresów "
                                         "(na przykład 10.0.0.5 albo 192.168.1.0/24).")
    driver.click(box[0], OK)
    wait_for(lambda: driver.focus(dialog) == (ALLOWED, 16, 26), what="the bad entry selected")
    driver.set_text(dialog, ALLOWED, "192.168.1.0/24, 127.0.0.2")
    driver.click(dialog, OK)
    wait_closed(driver, dialog)

    # Locked with the other connection settings while the bridge listens.
    driver.click(panel, LISTEN)
    wait_for(lambda: driver.text(panel, LISTEN) == "&Stop", what="listening")
    wait_for(lambda: not driver.enabled(panel, ACCESS), what="the access button locked")
    # The trace's folder does not exist: that is said once, and the bridge listens all the same.
    box = driver.message_box()
    assert box and "połączenia.txt" in box[2], box
    driver.click(box[0], OK)
    wait_for(lambda: driver.enabled(panel, LISTEN), what="the Listen lock to expire")
    driver.click(panel, LISTEN)
    wait_for(lambda: driver.text(panel, LISTEN) == "&Nasłuchuj ...", what="idle")
    wait_for(lambda: driver.enabled(panel, ACCESS), what="the access button free again")

    driver.click(panel, OK)
    bridge.wait_exit()
    stored = driver.registry(key)
    assert {name: stored[name] for name in ("listenAddress", "allowedClients", "takeover", "configPortEnabled",
                                            "rfc2217Port", "traceFileName")} == {
        "listenAddress": (REG_SZ, sz("127.0.0.1")),
        "allowedClients": (REG_SZ, sz("192.168.1.0/24, 127.0.0.2")),
        "takeover": (REG_DWORD, dword(2)),
        "configPortEnabled": (REG_DWORD, dword(0)),
        "rfc2217Port": (REG_DWORD, dword(2217)),
        "traceFileName": (REG_SZ, sz("C:\\Dzienniki\\połączenia.txt")),
    }


# Who may connect, enforced, with clients from addresses of their own.
STATUS, LOG_TO_TCP, LOG_PORT, LISTEN_PORT = 1038, 1004, 1005, 1007


def knock(port, source):
    """Connects from `source` and closes at once; a reset before the connect returned is as good."""
    try:
        connect(port, source=source).close()
    except ConnectionResetError:
        pass


def refused_from(port, source):
    """A connection from `source` is closed without a byte. The bridge may reset it before the
    connect has even returned here (a busy machine): that is a refusal too."""
    try:
        with connect(port, source=source) as sock:
            return sock.recv(1) == b""
    except ConnectionResetError:
        return True


def trace_lines(path):
    with open(path, "rb") as f:
        return [line.split(b" ", 2)[2].decode() for line in f.read().splitlines()]


def listening_bridge(start_bridge, driver, tmp_path, **settings):
    bridge, ports = listening(start_bridge, driver, traceFileName=windows_path(tmp_path / "trace.txt"), **settings)
    return bridge, ports, str(tmp_path / "trace.txt")


def test_an_allow_list_refuses_others_on_both_ports_and_leaks_nothing(start_bridge, driver, exchange, tmp_path):
    exchange.mode = "echo"
    bridge, ports, trace = listening_bridge(start_bridge, driver, tmp_path, allowedClients="127.0.0.2")
    engineer = connect(ports["data"], source="127.0.0.2")
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.2", what="the status to show the client")
    engineer.sendall(b"one")
    assert receive_exactly(engineer, 3) == b"one"
    with connect(ports["config"], source="127.0.0.2"):
        wait_for(lambda: any(line.startswith("config 127.0.0.2:") for line in trace_lines(trace)), what="config traced")
        assert driver.text(bridge.hwnd, STATUS) == "127.0.0.2", "a configuration client changed the status"
    for port in (ports["data"], ports["config"]):
        assert refused_from(port, "127.0.0.3")
    engineer.sendall(b"two")
    assert receive_exactly(engineer, 3) == b"two", "the engineer keeps the line"

    # A flood of refused connections leaves the bridge as it was, and the trace a few lines, not a line each.
    handles = lambda: int(driver.ok("handles", bridge.hwnd)[0])  # noqa: E731
    memory = lambda: rss_kib(bridge.proc.pid)  # noqa: E731
    before = (handles(), memory())
    flooded = time.monotonic()
    for _ in range(2000):
        knock(ports["data"], "127.0.0.3")
    engineer.sendall(b"three")
    assert receive_exactly(engineer, 5) == b"three"
    # Connections are taken in the order they came: once a last stranger is traced, the flood was handled.
    knock(ports["data"], "127.0.0.4")
    wait_for(lambda: any("127.0.0.4" in line for line in trace_lines(trace)), 120, "the flood handled")
    minutes = (time.monotonic() - flooded) // 60
    after = (handles(), memory())
    assert after[0] - before[0] < 10 and after[1] - before[1] < 1024, f"handles and KiB before {before}, after {after}"
    engineer.close()
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the status after the close")
    # The trace is written on a thread of its own: its last line may come after the status.
    wait_for(lambda: any(re.fullmatch(r"data 127\.0\.0\.2:\d+ closed", line) for line in trace_lines(trace)[-1:]),
             what="the close traced")
    stop(driver, bridge)  # the refusals still counted are written at Stop
    wait_for(lambda: trace_lines(trace)[-1:] == ["stop"], what="the stop traced")
    lines = trace_lines(trace)
    assert lines[0] == f"listen 0.0.0.0 data {ports['data']} config {ports['config']}"
    assert re.fullmatch(r"data 127\.0\.0\.2:\d+ accepted", lines[1])
    stranger = [line for line in lines if "127.0.0.3" in line]
    assert re.fullmatch(r"data 127\.0\.0\.3:\d+ refused \(not allowed\)", stranger[0])
    assert re.fullmatch(r"data 127\.0\.0\.2:\d+ closed", [line for line in lines if "127.0.0.2" in line][-1])
    # Each refusal in full, or counted in a line a minute: "..., 1 999 more in the last minute".
    refusals = 0
    for line in stranger:
        counted = re.fullmatch(r"refused \(not allowed\) 127\.0\.0\.3, (\d{1,3}(?: \d{3})*) more in the last minute", line)
        refusals += int(counted.group(1).replace(" ", "")) if counted else 1
    assert refusals == 2002 and len(stranger) <= 2 + 2 * minutes, stranger


def test_a_listen_address_of_this_pc_only(start_bridge, driver, exchange, tmp_path):
    exchange.mode = "echo"
    bridge, ports, _ = listening_bridge(start_bridge, driver, tmp_path, listenAddress="127.0.0.1")
    assert refused(ports["data"], host="127.0.0.2")
    with connect(ports["data"]) as client:
        client.sendall(b"here")
        assert receive_exactly(client, 4) == b"here"


def test_takeover_rule_2_lets_only_the_engineers_own_address_take_over(start_bridge, driver, exchange, tmp_path):
    # Rule 1 refuses the same address as any other: its table is in the unit tests, and rule 1 is run
    # end to end by the probe test below and on the com-port port.
    exchange.mode = "echo"
    bridge, ports, trace = listening_bridge(start_bridge, driver, tmp_path, takeover=2)
    engineer = connect(ports["data"], source="127.0.0.2")
    engineer.sendall(b"a")
    assert receive_exactly(engineer, 1) == b"a"
    # A port check connects and closes; another PC tries to take the line.
    connect(ports["data"]).close()
    assert refused_from(ports["data"], "127.0.0.3")
    engineer.sendall(b"b")
    assert receive_exactly(engineer, 1) == b"b", "the engineer never noticed"
    wait_for(lambda: sum("refused (line in use)" in line for line in trace_lines(trace)) == 2, what="refusals traced")
    with connect(ports["data"], source="127.0.0.2") as newcomer:  # the engineer's own PC, after a crash
        engineer.settimeout(10)
        assert engineer.recv(1) == b"", "the same address takes over"
        newcomer.sendall(b"d")
        assert receive_exactly(newcomer, 1) == b"d"
        wait_for(lambda: any(re.fullmatch(r"data 127\.0\.0\.2:\d+ taken over by 127\.0\.0\.2:\d+", line)
                             for line in trace_lines(trace)), what="the takeover traced")
    engineer.close()


def keepalive_timers(port):
    """The timers of the bridge's established connections on `port`, as ss shows them from outside."""
    shown = subprocess.run(["ss", "-tno", "state", "established", f"( sport = :{port} )"],
                           capture_output=True, text=True, check=True).stdout
    return re.findall(r"timer:\((\w+),([^,]+),", shown)


def within_a_minute(timers):
    """One connection, its keepalive due in a minute at most (the system's own default is two hours)."""
    if len(timers) != 1 or timers[0][0] != "keepalive":
        return False
    due = re.fullmatch(r"(?:(\d+)min)?(?:(\d+)(?:\.\d+)?sec)?(?:(\d+)ms)?", timers[0][1])
    return bool(due) and int(due.group(1) or 0) * 60 + int(due.group(2) or 0) <= 60


def test_rule_1_serves_the_engineer_after_a_probe_and_every_connection_has_keepalive(start_bridge, driver, exchange,
                                                                                    tmp_path):
    exchange.mode = "echo"
    com = free_port()
    bridge, ports, trace = listening_bridge(start_bridge, driver, tmp_path, takeover=1, rfc2217Port=com)
    # A port check connects and closes just before the engineer: both wait to be accepted together,
    # and the check's close, not handled yet, must not lock the engineer out.
    for attempt in range(3):
        connect(ports["data"]).close()
        with connect(ports["data"], source="127.0.0.2") as engineer:
            engineer.sendall(b"x")
            assert receive_exactly(engineer, 1) == b"x", f"attempt {attempt}: the engineer was not served"
            if attempt == 0:
                with connect(ports["config"], source="127.0.0.2"):
                    wait_for(lambda: within_a_minute(keepalive_timers(ports["data"])), what="keepalive on the data client")
                    wait_for(lambda: within_a_minute(keepalive_timers(ports["config"])), what="keepalive on the config client")
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the engineer gone")
    with connect(com, source="127.0.0.2"):
        wait_for(lambda: within_a_minute(keepalive_timers(com)), what="keepalive on the com-port client")
    assert not any("refused" in line for line in trace_lines(trace))


def test_listen_refuses_what_cannot_work_with_a_box_and_stays_idle(start_bridge, driver):
    data_port, config_port = free_port(), free_port()
    store_settings(driver, comPort=0, listenPort=data_port, logToTcp=1, logAddress="127.0.0.1", logPort=data_port)
    bridge = start_bridge()
    panel = bridge.hwnd

    def listen_fails(field, text):
        wait_for(lambda: driver.enabled(panel, LISTEN), what="the Listen lock to expire")
        driver.post_click(panel, LISTEN)
        box = driver.message_box()
        assert box and box[1] == "vextor" and text in box[2], box
        driver.click(box[0], OK)
        wait_for(lambda: driver.focus(panel)[0] == field, what="the focus on the field at fault")
        assert driver.text(panel, LISTEN) == "&Nasłuchuj ..." and driver.enabled(panel, LISTEN_PORT)

    driver.set_text(panel, CONFIG_PORT, str(data_port))
    listen_fails(CONFIG_PORT, "Port konfiguracji musi być inny niż port nasłuchu.")
    driver.set_text(panel, CONFIG_PORT, str(config_port))
    listen_fails(LOG_PORT, "serwer łączyłby się sam ze sobą")
    driver.set_text(panel, LOG_PORT, str(free_port()))
    with socket.create_server(("0.0.0.0", config_port)):  # another program holds the configuration port
        listen_fails(CONFIG_PORT, f"Nie można nasłuchiwać na porcie {config_port}: port jest już zajęty przez inny program.")
        assert refused(data_port), "half-open"
    listen(driver, bridge)
    socket.create_connection(("127.0.0.1", data_port), timeout=10).close()

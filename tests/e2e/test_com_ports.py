"""Any serial port of the machine, and a port that goes away and comes back: COM5 and COM14 as links to
ptys, listed in the machine's serial-port map as a driver lists its ports."""
import os
import threading

from conftest import LISTEN, connect, free_port, listen, listening, receive_exactly, stop, store_settings, windows_path
from exchange_sim import SimulatedExchange
from test_access import trace_lines
from wineenv import wait_for

OK, COM1, COM2, COM_OTHER, STATUS = 1, 1000, 1001, 1051, 1038
SERIAL_MAP = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"
WM_DEVICECHANGE, DBT_DEVNODES_CHANGED = 0x0219, 0x0007
CB_SHOWDROPDOWN = 0x014F
REG_SZ = 1


def plug_in(driver, wine, number, mode="at"):
    """An adapter on COM<number>: the pty's link and the port's name in the serial-port map."""
    exchange = SimulatedExchange(os.path.join(wine.prefix, "dosdevices", f"com{number}"), mode=mode)
    list_port(driver, number)
    return exchange


def list_port(driver, number):
    driver.set_value(SERIAL_MAP, f"\\Device\\TestSerial{number}", REG_SZ, f"COM{number}\0".encode())


def unlist_port(driver, number):
    driver.delete_value(SERIAL_MAP, f"\\Device\\TestSerial{number}")


def listen_without_the_port(driver, bridge, port_name):
    """Listen with a COM port that cannot be opened: its two boxes come, and each is answered."""
    wait_for(lambda: driver.enabled(bridge.hwnd, LISTEN), what="Listen lock to expire")
    driver.post_click(bridge.hwnd, LISTEN)
    for text in ("Handle Error COM1", f"Błąd ustawień {port_name}"):
        box = driver.message_box(20000)
        assert box and box[2] == text, box
        driver.click(box[0], OK)


def items(driver, hwnd, control):
    return [driver.item_text(hwnd, control, i) for i in range(int(driver.ok("count", hwnd, control)[0]))]


def test_a_port_from_the_list_is_chosen_stored_and_relays(start_bridge, driver, wine):
    bridge = start_bridge()
    assert "COM5" not in items(driver, bridge.hwnd, COM_OTHER)
    exchange = plug_in(driver, wine, 5)
    try:
        # Windows tells every window of a device that came; the list follows.
        driver.send(bridge.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED)
        listed = items(driver, bridge.hwnd, COM_OTHER)
        assert "COM5" in listed
        driver.select(bridge.hwnd, COM_OTHER, listed.index("COM5"))
        wait_for(lambda: driver.checked(bridge.hwnd, COM1) == 0, what="COM1 unchosen")
        wait_for(lambda: driver.checked(bridge.hwnd, COM2) == 0 and driver.text(bridge.hwnd, COM_OTHER) == "COM5",
                 what="COM5 chosen")

        data_port = free_port()
        driver.set_text(bridge.hwnd, 1007, str(data_port))
        listen(driver, bridge)
        assert driver.message_box(500) is None
        wait_for(lambda: not driver.enabled(bridge.hwnd, COM_OTHER), what="the port locked while listening")
        with connect(data_port) as client:
            client.sendall(b"AT\r")
            assert receive_exactly(client, 4) == b"OK\r\n"
        stop(driver, bridge)

        # Gone from the map: the list, read afresh as it opens, still shows the choice, marked absent.
        unlist_port(driver, 5)
        driver.ok("sendctl", bridge.hwnd, COM_OTHER, CB_SHOWDROPDOWN, 1, 0)
        wait_for(lambda: driver.text(bridge.hwnd, COM_OTHER) == "COM5 (nieobecny)", what="the absent mark")
        driver.ok("sendctl", bridge.hwnd, COM_OTHER, CB_SHOWDROPDOWN, 0, 0)
        driver.click(bridge.hwnd, OK)
        bridge.wait_exit()
        assert driver.registry(bridge.key)["Numer portu"] == (4, (5).to_bytes(4, "little"))
    finally:
        unlist_port(driver, 5)
        exchange.close()


class Lines:
    """A client that sends numbered AT lines, one every few milliseconds, until stopped; every byte it
    sent is kept, so that what the exchange received can be compared with it."""

    def __init__(self, client):
        self.client, self.sent, self.count = client, bytearray(), 0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._send, daemon=True)
        self.thread.start()

    def _send(self):
        while not self.done.wait(0.004):
            line = b"AT%06d\r" % self.count
            self.client.sendall(line)  # blocks while the bridge holds the client back
            self.sent += line
            self.count += 1

    def sent_more_than(self, count):
        start = self.count
        wait_for(lambda: self.count >= start + count, 30, f"{count} more lines sent")

    def stop(self):
        self.done.set()
        self.thread.join(30)
        return bytes(self.sent)


def test_a_port_that_goes_away_and_comes_back_under_traffic(start_bridge, driver, wine, tmp_path):
    exchange = plug_in(driver, wine, 5)
    try:
        bridge, ports = listening(start_bridge, driver, comPort=5, traceFileName=windows_path(tmp_path / "trace.txt"))
        assert driver.text(bridge.hwnd, COM_OTHER) == "COM5"
        trace = tmp_path / "trace.txt"
        client = connect(ports["data"])
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.1", what="client accepted")
        # A speed record moves the line off the panel's speed: the port comes back at the new one.
        with connect(ports["config"]) as config:
            config.sendall(bytes([3, 0, 0, 0, 0]) + (9600).to_bytes(4, "little"))
            wait_for(lambda: exchange.speed() == 9600, what="line at 9600")
        answers = bytearray()
        reader = threading.Thread(target=lambda: [answers.extend(c) for c in iter(lambda: client.recv(65536), b"")],
                                  daemon=True)
        reader.start()
        lines = Lines(client)
        handles = []
        for cycle in range(10):
            lines.sent_more_than(20)
            exchange.unplug()
            unlist_port(driver, 5)
            wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "COM5 odłączony", what="status: port gone")
            wait_for(lambda: any(line.startswith("COM5 gone, system error ") for line in trace_lines(trace)[-3:]),
                     what="the loss traced")
            lines.sent_more_than(5)  # the client goes on: its bytes wait in TCP
            exchange.replug()
            list_port(driver, 5)
            if cycle % 2:
                # What Windows sends when a device comes: the port is tried at once, not at the next second.
                driver.send(bridge.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED)
            wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.1", what="status: port back")
            wait_for(lambda: exchange.speed() == 9600, what="the port reopened at 9600")
            # The trace is written on a thread of its own: its line may come after the status.
            wait_for(lambda: trace_lines(trace)[-1:] == ["COM5 back at 9600 bit/s"], what="the return traced")
            handles.append(driver.handles(bridge.hwnd))
        sent = lines.stop()
        received = exchange.wait_received(len(sent), timeout=60)
        assert received == sent, "the client's bytes lost or repeated across the unplugs"
        # The exchange answers through the port that came back, and the client hears it.
        answered = len(answers)
        client.sendall(b"ATZ\r")
        wait_for(lambda: answers[answered:].endswith(b"OK\r\n"), what="the last answer")
        assert handles[-1] - handles[0] < 10, f"handles after each cycle: {handles}"
        # "&Koniec" with the port gone ends the program as ever.
        exchange.unplug()
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "COM5 odłączony", what="status: port gone")
        assert driver.click(bridge.hwnd, OK)
        bridge.wait_exit(20)
        client.close()
        reader.join(10)
    finally:
        unlist_port(driver, 5)
        exchange.close()


def test_a_stored_port_that_is_not_there_yet(start_bridge, driver, wine, tmp_path):
    link = os.path.join(wine.prefix, "dosdevices", "com14")
    if os.path.lexists(link):
        os.remove(link)
    data_port = free_port()
    store_settings(driver, comPort=14, baudRate=2400, listenPort=data_port, traceFileName=windows_path(tmp_path / "trace.txt"))
    bridge = start_bridge()
    assert driver.text(bridge.hwnd, COM_OTHER) == "COM14 (nieobecny)"
    assert (driver.checked(bridge.hwnd, COM1), driver.checked(bridge.hwnd, COM2)) == (0, 0)
    # The port is tried again every second, without a box; Stop works while a client's bytes wait for it.
    listen_without_the_port(driver, bridge, "COM14")
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "COM14 odłączony", what="the port shown missing")
    with connect(data_port) as client:
        client.sendall(b"AT\r" * 1000)
        assert driver.message_box(1500) is None
        stop(driver, bridge)
    listen_without_the_port(driver, bridge, "COM14")
    exchange = None
    try:
        with connect(data_port) as client:
            client.sendall(b"AT\r")  # waits for the port
            exchange = plug_in(driver, wine, 14)
            assert receive_exactly(client, 4) == b"OK\r\n"
            wait_for(lambda: exchange.speed() == 2400, what="the panel's speed, as at Listen")
            wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.1", what="the client shown")
        wait_for(lambda: "COM14 back at 2400 bit/s" in trace_lines(tmp_path / "trace.txt"),
                 what="the port's return traced")
        lines = trace_lines(tmp_path / "trace.txt")
        assert lines[1].startswith("COM14 gone, system error ") and "COM14 back at 2400 bit/s" in lines
        stop(driver, bridge)
        assert driver.click(bridge.hwnd, OK)
        bridge.wait_exit(20)
    finally:
        unlist_port(driver, 14)
        if exchange:
            exchange.close()

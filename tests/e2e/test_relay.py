"""The bridge between a TCP client and the exchange on the pty: relay, takeover, speed records, stops."""
import os
import re
import socket
import threading
import time

import pytest

from conftest import accepted, connect, listen, listening, receive_exactly, stop, windows_path
from wineenv import UiDriver, wait_for

OK, STATUS, SPEED = 1, 1038, 1018


def slow_client(port):
    """A client with a 4 KiB receive buffer, which holds the bridge back as soon as it stops reading."""
    client = socket.socket()
    client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    client.connect(("127.0.0.1", port))
    return client


class Answering:
    """While it is open, asks the window from a driver of its own every 0.1 s whether it takes a
    message within 2 s; on leaving, every question must have been answered."""

    def __init__(self, wine, hwnd):
        self.driver, self.hwnd = UiDriver(wine), hwnd
        self.asked, self.unanswered, self.done = 0, 0, threading.Event()
        self.thread = threading.Thread(target=self._ask)

    def _ask(self):
        while not self.done.wait(0.1):
            self.asked += 1
            self.unanswered += not self.driver.responds(self.hwnd, 2000)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *failure):
        self.done.set()
        self.thread.join(10)
        self.driver.close()
        if failure[0] is None:
            assert self.asked > 0 and self.unanswered == 0, f"{self.unanswered} of {self.asked} questions unanswered"


@pytest.fixture
def running(start_bridge, driver, exchange):
    """A listening bridge on COM1 with a data port and a configuration port of its own."""
    return listening(start_bridge, driver)


def test_a_client_behind_loses_nothing_and_one_that_stops_reading_is_let_go(start_bridge, driver, exchange, wine,
                                                                             tmp_path):
    """With no flow control on the line nothing holds the exchange back but the bridge's reading."""
    trace, log = tmp_path / "trace.txt", tmp_path / "ruch.txt"
    bridge, ports = listening(start_bridge, driver, logToFile=1, logFileName="ruch.txt", traceFileName=windows_path(trace))
    data_port = ports["data"]

    # Behind by less than the bridge keeps for it: the line is read on, and the client loses nothing.
    behind = os.urandom(768 << 10)
    with slow_client(data_port) as client:
        accepted(driver, bridge)
        exchange.send(behind)
        exchange.wait_line_drained(120)
        assert receive_exactly(client, len(behind), timeout=120) == behind
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the close to be seen")

    # Reads nothing while the exchange sends 8 MiB: the exchange never waits, the log has every
    # byte, and the client is let go with a whole prefix of the stream.
    stream = os.urandom(8 << 20)
    with slow_client(data_port) as client, Answering(wine, bridge.hwnd):
        accepted(driver, bridge)
        exchange.send(stream)
        exchange.wait_line_drained(300)
        got = receive_exactly(client, timeout=120)
    assert 0 < len(got) < len(stream)
    first_difference = next((i for i, (a, b) in enumerate(zip(got, stream)) if a != b), None)
    assert first_difference is None, f"received {len(got)} bytes, first difference at {first_difference}"
    wait_for(lambda: any(re.fullmatch(rb"\S+ \S+ data 127\.0\.0\.1:\d+ closed \(not reading, 1 MiB waiting\)", line)
                         for line in trace.read_bytes().splitlines()), what="the let-go traced")
    wait_for(lambda: len(log.read_bytes()) >= len(behind) + len(stream), 60, "the log to take every byte")
    entries = log.read_bytes().split(b"\nCentrala:")
    assert entries[0] == b"" and b"".join(entries[1:]) == behind + stream

    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the let-go to be shown")
    with connect(data_port) as client:
        accepted(driver, bridge)
        exchange.send(b"next")
        assert receive_exactly(client, 4) == b"next"


def test_output_a_client_leaves_behind_never_reaches_the_next(running, exchange, driver):
    bridge, ports = running
    first = slow_client(ports["data"])
    accepted(driver, bridge)
    # The first client reads nothing while the exchange's output for it piles up in the bridge.
    exchange.send(b"A" * 300_000)
    exchange.wait_line_drained(30)
    second = slow_client(ports["data"])
    assert set(receive_exactly(first)) <= {ord("A")}  # cut off: the newcomer has the line
    first.close()
    for_second = bytes(range(0x42, 0x100)) * 1000
    exchange.send(for_second)
    assert receive_exactly(second, len(for_second)) == for_second, "the newcomer gets all of its own, nothing older"

    # Output waiting for a client that closes goes with it.
    exchange.send(b"C" * 300_000)
    exchange.wait_line_drained(30)
    second.close()
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the close to be seen")
    with connect(ports["data"]) as third:
        accepted(driver, bridge)
        exchange.send(for_second)
        assert receive_exactly(third, len(for_second)) == for_second


def test_a_speed_record_waits_for_the_chunk_on_the_line_and_the_window_answers(start_bridge, driver, exchange, wine,
                                                                              tmp_path):
    log = tmp_path / "ruch.txt"
    bridge, ports = listening(start_bridge, driver, baudRate=110, logToFile=1, logFileName="ruch.txt")
    data_port = ports["data"]
    wait_for(lambda: exchange.speed() == 110, what="line at 110")
    # The exchange reads nothing and the line is full, so the bridge's write of the client's first
    # chunk waits: at 110 bit/s a chunk takes over a minute.
    exchange.hold_reading()
    exchange.fill_line()
    with connect(data_port) as client, connect(ports["config"]) as config, Answering(wine, bridge.hwnd):
        client.sendall(b"x" * 1020)
        wait_for(lambda: b"TCP(%d):" % data_port in log.read_bytes(), what="the chunk on its way to the line")
        config.sendall(bytes([3, 0, 0, 0, 0, 0x60, 0x09, 0, 0]))  # 2400, after the chunk
        time.sleep(3)  # three seconds of the record waiting for the chunk, the window answering all along
        assert exchange.speed() == 110, "the speed changed under the chunk being written"
        exchange.hold_reading(False)
        wait_for(lambda: exchange.speed() == 2400, 30, "the record to apply once the chunk is out")
        wait_for(lambda: driver.selection(bridge.hwnd, SPEED) == 4, what="2400 selected")


def test_speed_record_changes_the_line_and_answers_nothing(running, exchange, driver):
    bridge, ports = running
    wait_for(lambda: exchange.speed() == 19200, what="line at 19200")
    with connect(ports["config"]) as config:
        record = bytes([3, 0, 0, 0, 0x55, 0x80, 0x25, 0, 0])
        for byte in record:  # split into single segments
            config.sendall(bytes([byte]))
        wait_for(lambda: exchange.speed() == 9600, what="line at 9600")
        wait_for(lambda: driver.selection(bridge.hwnd, SPEED) == 7, what="9600 selected")
        # An unknown record is skipped; the record after it still works.
        config.sendall(bytes([7, 0, 0, 0, 0, 1, 2, 3, 4]) + bytes([3, 0, 0, 0, 0, 0x60, 0x09, 0, 0]))
        wait_for(lambda: exchange.speed() == 2400, what="line at 2400")
        config.settimeout(0.5)
        with pytest.raises(socket.timeout):
            config.recv(1)


def test_without_a_com_port_listen_and_stop_do_not_hang(start_bridge, driver):
    bridge, ports = listening(start_bridge, driver, comPort=0)
    with connect(ports["data"]):
        accepted(driver, bridge)
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="the close to be seen")
    with connect(ports["data"]) as client:
        client.sendall(b"nobody carries this")
        accepted(driver, bridge)
        stop(driver, bridge)
    wait_for(lambda: driver.enabled(bridge.hwnd, SPEED), what="speed list free")


def test_stop_while_a_client_keeps_sending(running, exchange, driver):
    bridge, ports = running
    client = connect(ports["data"])
    stopping = threading.Event()

    def flood():
        try:
            while not stopping.is_set():
                client.sendall(os.urandom(4096))
        except OSError:
            pass

    sender = threading.Thread(target=flood)
    sender.start()
    exchange.wait_received(20000, timeout=30)
    stop(driver, bridge)
    stopping.set()
    sender.join(30)
    client.close()
    # Still answering: listen again and relay.
    listen(driver, bridge)
    with connect(ports["data"]) as again:
        exchange.take_received()
        again.sendall(b"AT")
        wait_for(lambda: exchange.received.endswith(b"AT"), what="relay after restart")


def test_speed_change_and_koniec_while_the_exchange_streams(running, exchange, driver):
    """The worker is busy handing chunks to the window when the speed changes and the program ends."""
    bridge, ports = running
    client = connect(ports["data"])
    exchange.send_paced(os.urandom(11520 * 30), 11520)
    receive_exactly(client, 20000)
    with connect(ports["config"]) as config:
        config.sendall(bytes([3, 0, 0, 0, 0, 0x80, 0x25, 0, 0]))
        wait_for(lambda: exchange.speed() == 9600, what="speed change during the stream")
    receive_exactly(client, 5000)  # the relay goes on after the pause
    assert driver.click(bridge.hwnd, OK)
    bridge.wait_exit(20)
    client.close()

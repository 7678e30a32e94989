"""Faults a bridge meets in use: quick reconnects and takeover storms, a full disk under the log, a log
receiver that refuses, resets or never reads, an exchange that hangs up (a COM port that is not there
is in test_com_ports). In each the window answers, Stop and "&Koniec" work, and the relay goes on
where the fault allows it."""
import os
import socket
import subprocess
import threading

import pytest

from conftest import accepted, connect, free_port, listen, listening, receive_exactly, stop
from wineenv import wait_for

OK, STATUS = 1, 1038


def ask(port, request=b"AT\r", answer=b"OK\r\n"):
    with connect(port) as client:
        client.sendall(request)
        assert receive_exactly(client, len(answer), timeout=10) == answer


def end_with_koniec(driver, bridge):
    assert driver.click(bridge.hwnd, OK)
    bridge.wait_exit(20)


def test_quick_reconnects_and_takeover_storms_keep_every_client(start_bridge, driver, exchange):
    exchange.mode = "at"
    bridge, ports = listening(start_bridge, driver)
    # A port check or a dropped link: connect and close at once, then the real client.
    for _ in range(20):
        connect(ports["data"]).close()
        ask(ports["data"])
    # Takeovers whose old client closes at the same moment.
    for _ in range(20):
        old = connect(ports["data"])
        new = connect(ports["data"])
        old.close()
        new.sendall(b"AT\r")
        assert receive_exactly(new, 4, timeout=10) == b"OK\r\n"
        new.close()
    # The configuration side too: a record from each of many short clients.
    for rate in (9600, 2400) * 5:
        with connect(ports["config"]) as config:
            config.sendall(bytes([3, 0, 0, 0, 0]) + rate.to_bytes(4, "little"))
        wait_for(lambda: exchange.speed() == rate, what=f"line at {rate}")
    ask(ports["data"])
    end_with_koniec(driver, bridge)


@pytest.fixture
def small_disk(tmp_path):
    """A 32 KiB file system under the bridge's working directory, mounted for the test (as root)."""
    mount = tmp_path / "maly"
    mount.mkdir()
    done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=32k", "tmpfs", str(mount)], capture_output=True)
    if done.returncode != 0:
        pytest.skip("mounting a small tmpfs needs root: " + done.stderr.decode(errors="replace").strip())
    yield mount
    subprocess.run(["umount", "-l", str(mount)], capture_output=True)


def test_a_full_disk_under_the_log_is_reported_once_and_the_relay_goes_on(start_bridge, driver, exchange,
                                                                          small_disk):
    bridge, ports = listening(start_bridge, driver, logToFile=1, logFileName="maly\\ruch.txt")
    with connect(ports["data"]) as client:
        accepted(driver, bridge)
        stream = os.urandom(256 * 1024)
        exchange.send_paced(stream, 256 * 1024)  # a second's worth: the disk fills on the way
        assert receive_exactly(client, len(stream), timeout=60) == stream
        box = driver.message_box(20000)
        assert box and box[1] == "vextor" and "ruch.txt" in box[2], box
        driver.click(box[0], OK)
        # Reported once: more traffic, no second box.
        more = os.urandom(64 * 1024)
        exchange.send(more)
        assert receive_exactly(client, len(more), timeout=30) == more
        assert driver.message_box(1000) is None
        client.sendall(b"AT\r")
        assert exchange.wait_received(3) == b"AT\r"
    # Speed records, Stop and "&Koniec" still work.
    with connect(ports["config"]) as config:
        config.sendall(bytes([3, 0, 0, 0, 0]) + (2400).to_bytes(4, "little"))
        wait_for(lambda: exchange.speed() == 2400, what="line at 2400")
    stop(driver, bridge)
    end_with_koniec(driver, bridge)


def test_an_exchange_that_hangs_up_in_the_middle_of_a_stream(start_bridge, driver, exchange):
    bridge, ports = listening(start_bridge, driver)
    client = connect(ports["data"])
    accepted(driver, bridge)
    exchange.send_paced(os.urandom(11520 * 10), 11520)
    receive_exactly(client, 5000)
    exchange.hang_up()
    # The port is seen gone; the window answers and the bridge stops and ends as usual.
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "COM1 odłączony", what="the port shown gone")
    client.sendall(b"nobody hears this")
    stop(driver, bridge)
    client.settimeout(10)
    assert client.recv(100000) is not None
    client.close()
    end_with_koniec(driver, bridge)


def test_log_receivers_that_refuse_reset_or_never_read_hold_nothing(start_bridge, driver, exchange):
    exchange.mode = "at"
    refused = free_port()
    bridge, ports = listening(start_bridge, driver, logToTcp=1, logAddress="127.0.0.1", logPort=refused)
    ask(ports["data"])
    stop(driver, bridge)

    # A receiver that takes the connection and never reads: the relay fills its buffers and goes on.
    silent = socket.create_server(("127.0.0.1", 0))
    driver.set_text(bridge.hwnd, 1005, str(silent.getsockname()[1]))
    listen(driver, bridge)
    link, _ = silent.accept()
    exchange.mode = "sink"
    exchange.take_received()
    block = os.urandom(2 << 20)
    with connect(ports["data"]) as client:
        sender = threading.Thread(target=client.sendall, args=(block,))
        sender.start()
        assert exchange.wait_received(len(block), timeout=120) == block
        sender.join(30)
    stop(driver, bridge)
    link.close()
    silent.close()

    # A receiver that resets its connection at once.
    resetting = socket.create_server(("127.0.0.1", 0))
    driver.set_text(bridge.hwnd, 1005, str(resetting.getsockname()[1]))
    listen(driver, bridge)
    link, _ = resetting.accept()
    link.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
    link.close()
    exchange.mode = "at"
    for _ in range(3):
        ask(ports["data"])
    resetting.close()
    end_with_koniec(driver, bridge)


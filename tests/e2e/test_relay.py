"""The bridge between a TCP client and the exchange on the pty: relay, takeover, speed records, stops."""
import os
import socket
import threading

import pytest

from conftest import free_port, store_settings
from wineenv import wait_for

OK, LISTEN, STATUS, CONFIG_PORT, SPEED = 1, 1006, 1038, 1036, 1018


@pytest.fixture(autouse=True)
def empty_registry(driver):
    driver.delete_key("Software\\MORVEK Sp. z o.o.")


def connect(port, timeout=10.0):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout)


def receive_exactly(sock, count, timeout=30.0):
    sock.settimeout(timeout)
    data = bytearray()
    while len(data) < count:
        chunk = sock.recv(65536)
        if not chunk:
            break
        data += chunk
    return bytes(data)


def listen(driver, bridge, config_port=None):
    if config_port:
        driver.set_text(bridge.hwnd, CONFIG_PORT, str(config_port))
    wait_for(lambda: driver.enabled(bridge.hwnd, LISTEN), what="Listen lock to expire")
    assert driver.click(bridge.hwnd, LISTEN)
    wait_for(lambda: driver.text(bridge.hwnd, LISTEN) == "&Stop", what="listening")


def stop(driver, bridge):
    wait_for(lambda: driver.enabled(bridge.hwnd, LISTEN), what="Listen lock to expire")
    assert driver.click(bridge.hwnd, LISTEN)
    wait_for(lambda: driver.text(bridge.hwnd, LISTEN) == "&Nasłuchuj ...", what="idle look")


@pytest.fixture
def running(start_bridge, driver, exchange):
    """A listening bridge on COM1 with a data port and a configuration port of its own."""
    ports = {"data": free_port(), "config": free_port()}
    store_settings(driver, comPort=1, baudRate=19200, listenPort=ports["data"])
    bridge = start_bridge()
    listen(driver, bridge, ports["config"])
    return bridge, ports


def test_every_byte_value_and_a_megabyte_each_way(running, exchange):
    bridge, ports = running
    with connect(ports["data"]) as client:
        everything = bytes(range(256))
        client.sendall(everything)
        assert exchange.wait_received(256) == everything
        exchange.take_received()
        exchange.send(everything)
        assert receive_exactly(client, 256) == everything

        block = os.urandom(1 << 20)
        sender = threading.Thread(target=client.sendall, args=(block,))
        sender.start()
        assert exchange.wait_received(len(block), timeout=120) == block
        sender.join(30)
        exchange.take_received()

        exchange.send(block)
        assert receive_exactly(client, len(block), timeout=120) == block


def test_a_second_client_takes_over(running, exchange, driver):
    bridge, ports = running
    first = connect(ports["data"])
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "0.0.0.0", what="status shows the listener")
    second = connect(ports["data"])
    first.settimeout(10)
    assert first.recv(100) == b""  # cut off without a word
    exchange.send(b"for the newcomer")
    assert receive_exactly(second, 16) == b"for the newcomer"
    second.close()
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "(brak połączenia)", what="status after close")
    first.close()


def test_speed_record_changes_the_line_and_answers_nothing(running, exchange, driver):
    bridge, ports = running
    assert exchange.speed() == 19200
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
    data_port = free_port()
    store_settings(driver, comPort=0, listenPort=data_port)
    bridge = start_bridge()
    listen(driver, bridge)
    with connect(data_port) as client:
        client.sendall(b"nobody carries this")
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "0.0.0.0", what="client accepted")
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

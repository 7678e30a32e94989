"""The traffic log: the file's entries byte for byte, truncation at Listen, the receiver's copy, failures."""
import os
import re
import socket
from pathlib import Path

from conftest import accepted, connect, free_port, listen, listening, receive_exactly, stop, store_settings
from wineenv import wait_for

OK, LISTEN, SPEED, LOG_FILE_NAME = 1, 1006, 1018, 1009


def wait_log(path, expected):
    wait_for(lambda: os.path.exists(path) and Path(path).read_bytes() == expected, what=f"log to read {expected!r}")


def test_file_entries_then_a_second_listen_starts_afresh(start_bridge, driver, exchange, tmp_path):
    bridge, ports = listening(start_bridge, driver, logToFile=1, logFileName="ruch.txt")
    data_port, config_port, log = ports["data"], ports["config"], tmp_path / "ruch.txt"
    # The log file opens after the listening look: its lock is a later step than "&Stop".
    wait_for(lambda: not driver.enabled(bridge.hwnd, LOG_FILE_NAME), what="file name locked")
    with connect(data_port) as client:
        client.sendall(b"AT")
        exchange.wait_received(2)
        exchange.send(b"OK\r\n")
        assert receive_exactly(client, 4) == b"OK\r\n"
        expected = b"\nTCP(%d):AT\nCentrala:OK\r\n" % data_port
        wait_log(log, expected)

        with connect(config_port) as config:
            record = bytes([3, 0, 0, 0, 9, 0x80, 0x25, 0, 0])
            config.sendall(record)
            expected += (b"\nTCP(%d):" % config_port) + record
            expected += b"\nTCP(%d): CFG_SPEED [9600]" % config_port
            expected += b"\nTCP(%d): SUCCESS of SetCommState(9600)" % config_port
            wait_log(log, expected)

            # The same rate again: nothing applied, nothing logged beyond the chunk and the request.
            config.sendall(record)
            expected += (b"\nTCP(%d):" % config_port) + record + b"\nTCP(%d): CFG_SPEED [9600]" % config_port
            wait_log(log, expected)

            # Five to eight bytes of a record wait for the rest.
            config.sendall(record[:6])
            expected += (b"\nTCP(%d):" % config_port) + record[:6]
            wait_log(log, expected)
            assert exchange.speed() == 9600

    # Listen, Stop, Listen: the file keeps only the second period.
    stop(driver, bridge)
    wait_for(lambda: driver.enabled(bridge.hwnd, LOG_FILE_NAME), what="file name free again")
    listen(driver, bridge)
    wait_log(log, b"")
    with connect(data_port) as client:
        client.sendall(b"second")
        wait_log(log, b"\nTCP(%d):second" % data_port)


def entries(log):
    """The log's entries as (who, bytes), an exchange entry joined with the exchange's entries right after it."""
    parts = re.split(rb"(\nTCP\(\d+\):|\nCentrala:)", log)[1:]
    joined = []
    for prefix, data in zip(parts[::2], parts[1::2]):
        who = "exchange" if prefix == b"\nCentrala:" else "client"
        if joined and who == joined[-1][0] == "exchange":
            joined[-1] = (who, joined[-1][1] + data)
        else:
            joined.append((who, data))
    return joined


def test_a_clients_entry_between_two_exchange_bursts_stays_between_them(start_bridge, driver, exchange, tmp_path):
    exchange.mode = "at"
    bridge, ports = listening(start_bridge, driver, logToFile=1, logFileName="ruch.txt")
    expected = []
    with connect(ports["data"]) as client:
        accepted(driver, bridge)
        for round in range(30):
            burst = b"burst %d\r\n" % round
            exchange.send(burst)
            assert receive_exactly(client, len(burst)) == burst
            client.sendall(b"AT\r")
            assert receive_exactly(client, 4) == b"OK\r\n"
            expected += [("exchange", (b"OK\r\n" if round else b"") + burst), ("client", b"AT\r")]
    expected.append(("exchange", b"OK\r\n"))
    stop(driver, bridge)
    wait_for(lambda: entries((tmp_path / "ruch.txt").read_bytes()) == expected,
             what="the log's entries in their order")


def test_the_receiver_gets_exactly_the_clients_bytes(start_bridge, driver, exchange):
    receiver = socket.create_server(("127.0.0.1", 0))
    receiver.settimeout(20)
    _, ports = listening(start_bridge, driver, logToTcp=1, logAddress="127.0.0.1", logPort=receiver.getsockname()[1])
    link, _ = receiver.accept()
    with connect(ports["data"]) as client:
        client.sendall(b"ATZ\r")
        exchange.wait_received(4)
        exchange.send(b"answer that must not reach the receiver")
        receive_exactly(client, 39)
        # Whatever the receiver says back goes nowhere and disturbs nothing.
        link.sendall(b"noise from the receiver")
        client.sendall(b"ATI\r")
        assert receive_exactly(link, 8) == b"ATZ\rATI\r"
        assert exchange.wait_received(8) == b"ATZ\rATI\r"
        link.close()
        client.sendall(b"AT\r")
        assert exchange.wait_received(11).endswith(b"AT\r")
    receiver.close()


def test_a_log_file_that_cannot_be_created(start_bridge, driver, exchange, tmp_path):
    data_port = free_port()
    os.mkdir(os.path.join(str(tmp_path), "katalog"))
    store_settings(driver, comPort=1, listenPort=data_port, logToFile=1, logFileName="katalog")
    bridge = start_bridge()
    driver.post_click(bridge.hwnd, LISTEN)
    box = driver.message_box()
    assert box and box[1] == "vextor" and "katalog" in box[2]
    driver.click(box[0], OK)
    wait_for(lambda: driver.text(bridge.hwnd, LISTEN) == "&Stop", what="listening look")
    assert driver.enabled(bridge.hwnd, SPEED), "the COM port must stay closed"

    # The program goes on: Stop, a usable name, Listen again.
    stop(driver, bridge)
    driver.set_text(bridge.hwnd, LOG_FILE_NAME, "dobry.txt")
    listen(driver, bridge)
    # The COM port opens last, after the listening look.
    wait_for(lambda: not driver.enabled(bridge.hwnd, SPEED), what="serial parameters locked")
    with connect(data_port) as client:
        client.sendall(b"AT")
        wait_log(os.path.join(str(tmp_path), "dobry.txt"), b"\nTCP(%d):AT" % data_port)

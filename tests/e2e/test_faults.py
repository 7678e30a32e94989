"""Faults a bridge meets in use: quick reconnects and takeover storms, a full disk under the log, a log
receiver that refuses, resets or never reads, an exchange that hangs up, a COM port that is not there.
In each the window answers, Stop and "&Koniec" work, and the relay goes on where the fault allows it."""
import os
import socket
import subprocess
import threading

import pytest

from conftest import free_port, store_settings
from test_relay import connect, listen, receive_exactly, stop
from wineenv import wait_for

OK, LISTEN, SPEED, STATUS = 1, 1006, 1018, 1038


@pytest.fixture(autouse=True)
def empty_registry(driver):
    driver.delete_key("Software\\MORVEK Sp. z o.o.")


@pytest.fixture
def at_exchange(exchange):
    exchange.mode = "at"
    return exchange


def start_listening(start_bridge, driver, **settings):
    ports = {"data": free_port(), "config": free_port()}
    store_settings(driver, comPort=1, baudRate=19200, listenPort=ports["data"], **settings)
    bridge = start_bridge()
    listen(driver, bridge, ports["config"])
    return bridge, ports


def ask(port, request=b"AT\r", answer=b"OK\r\n"):
    with connect(port) as client:
        client.sendall(request)
        assert receive_exactly(client, len(answer), timeout=10) == answer


def end_with_koniec(driver, bridge):
    assert driver.click(bridge.hwnd, OK)
    bridge.wait_exit(20)


def test_quick_reconnects_and_takeover_storms_keep_every_client(start_bridge, driver, at_exchange):
    bridge, ports = start_listening(start_bridge, driver)
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
        wait_for(lambda: at_exchange.speed() == rate, what=f"line at {rate}")
    ask(ports["data"])
    end_with_koniec(driver, bridge)

"""The com-port port: the real pyserial client drives the line through it, and a raw telnet client tests the corners."""
import os
import select
import socket
import termios

import pytest
import serial

from conftest import connect, free_port, listening, receive_exactly, rss_kib
from wineenv import wait_for

STATUS, SPEED, PARITY, STOP_BITS = 1038, 1018, 1021, 1023
IAC, DONT, DO, WONT, WILL, SB, SE, NOP = 255, 254, 253, 252, 251, 250, 240, 241
COM_PORT = 44


@pytest.fixture
def com_port(start_bridge, driver, exchange, request):
    """A listening bridge with a com-port port; the exchange echoes."""
    exchange.mode = "echo"
    com = free_port()
    bridge, ports = listening(start_bridge, driver, rfc2217Port=com, **getattr(request, "param", {}))
    return bridge, {**ports, "com": com}


def open_port(ports, **settings):
    """pyserial raises RTS on opening; this machine's pseudo-terminals have no RTS to raise, and the
    bridge answers with what is in force, which pyserial would take as a refusal. So RTS stays off."""
    port = serial.serial_for_url(f"rfc2217://127.0.0.1:{ports['com']}", baudrate=9600, timeout=10, do_not_open=True,
                                 **settings)
    port.rts = False
    port.open()
    return port


def read_exactly(port, count):
    data = bytearray()
    while len(data) < count:
        chunk = port.read(count - len(data))
        assert chunk, f"read {len(data)} of {count} bytes"
        data += chunk
    return bytes(data)


def answered(action):
    """A setting the line cannot carry out is answered with what is in force, which pyserial reports
    as a rejected value; what must never happen is no answer at all."""
    try:
        action()
        return "done"
    except ValueError as rejected:
        assert "rejected" in str(rejected)
        return "rejected"


def test_pyserial_sends_every_byte_and_drives_the_line(com_port, exchange, driver):
    bridge, ports = com_port
    with open_port(ports) as port:
        wait_for(lambda: exchange.speed() == 9600, what="line at 9600")
        everything = bytes(range(256)) + b"\xff" * 300
        port.write(everything)
        assert read_exactly(port, len(everything)) == everything
        block = os.urandom(1 << 20)
        port.write(block)
        assert read_exactly(port, len(block)) == block

        for rate, shown in ((115200, 12), (2400, 4)):
            port.baudrate = rate
            wait_for(lambda: exchange.speed() == rate, what=f"line at {rate}")
            wait_for(lambda: driver.selection(bridge.hwnd, SPEED) == shown, what=f"{rate} selected")
        port.stopbits = serial.STOPBITS_TWO
        wait_for(lambda: termios.tcgetattr(exchange.master)[2] & termios.CSTOPB, what="two stop bits on the line")
        wait_for(lambda: driver.selection(bridge.hwnd, STOP_BITS) == 2, what="two stop bits selected")
        # This machine's pseudo-terminals carry neither: the answer says what the line has.
        assert answered(lambda: setattr(port, "parity", serial.PARITY_EVEN)) == "rejected"
    with open_port(ports) as port:
        assert answered(lambda: setattr(port, "bytesize", serial.SEVENBITS)) == "rejected"
        for value in (True, False):
            answered(lambda: setattr(port, "dtr", value))
            answered(lambda: setattr(port, "rts", value))
        assert (port.cts, port.dsr, port.ri, port.cd) == (False, False, False, False)
        answered(lambda: port.send_break(0.05))
        port.reset_input_buffer()
        port.reset_output_buffer()
        port.write(b"after all that")
        assert read_exactly(port, 14) == b"after all that"

        # The maker's records still work beside a com-port client, and the panel follows them.
        with connect(ports["config"]) as config:
            config.sendall(bytes([3, 0, 0, 0, 0, 0x80, 0x25, 0, 0]))
            wait_for(lambda: exchange.speed() == 9600, what="the record's speed")
            wait_for(lambda: driver.selection(bridge.hwnd, SPEED) == 7, what="9600 selected")
        port.write(b"still here")
        assert read_exactly(port, 10) == b"still here"


def test_each_flow_control_opens_and_the_line_has_exactly_that(com_port, exchange):
    """pyserial opens only when every setting is answered as asked. Wine turns RTS/CTS into CRTSCTS,
    XON/XOFF each way into IXON and IXOFF."""
    bridge, ports = com_port
    for settings, cflag, iflag in (({"rtscts": True}, termios.CRTSCTS, 0),
                                   ({"xonxoff": True}, 0, termios.IXON | termios.IXOFF), ({}, 0, 0)):
        with open_port(ports, **settings) as port:
            flags = termios.tcgetattr(exchange.master)
            assert (flags[2] & termios.CRTSCTS, flags[0] & (termios.IXON | termios.IXOFF)) == (cflag, iflag), settings
            port.write(b"flows")
            assert read_exactly(port, 5) == b"flows"


def test_a_newcomer_on_the_data_port_takes_over_by_the_rule(com_port, exchange, driver):
    # A com-port newcomer taking over is the test of a client that never reads.
    bridge, ports = com_port
    with open_port(ports) as first:
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.1", what="the client shown")
        with connect(ports["data"]) as raw:  # the default rule: the newcomer takes over
            raw.sendall(b"raw")
            assert receive_exactly(raw, 3) == b"raw"
            try:
                assert first.read(1) == b"", "cut off"
            except serial.SerialException:
                pass  # cut off, and pyserial's reader saw it first


@pytest.mark.parametrize("com_port", [{"takeover": 1}], indirect=True)
def test_a_newcomer_is_refused_under_rule_1(com_port, exchange):
    bridge, ports = com_port
    with open_port(ports) as first:
        with pytest.raises((serial.SerialException, OSError)):
            open_port(ports)
        first.write(b"kept")
        assert read_exactly(first, 4) == b"kept"


def test_a_raw_telnet_client_at_the_corners(com_port, exchange):
    bridge, ports = com_port
    with connect(ports["com"]) as client:
        # Settings before any negotiation, a NOP, an option nobody knows, and an IAC split across sends.
        client.sendall(bytes([IAC, SB, COM_PORT, 1, 0, 0, 0x96, 0, IAC, SE, IAC, NOP, IAC, WILL, 99]))
        exchange.take_received()
        client.sendall(b"a" + bytes([IAC]))
        client.sendall(bytes([IAC]) + b"b")
        exchange.wait_received(3)
        assert exchange.take_received() == b"a\xffb"
        wait_for(lambda: exchange.speed() == 38400, what="the speed set before negotiation")
        client.sendall(bytes([IAC, WILL, 99]))  # asked again: refused again, never a loop
        exchange.send(b"\xff")
        expected = [bytes([IAC, SB, COM_PORT, 101, 0, 0, 0x96, 0, IAC, SE]), bytes([IAC, DONT, 99]),
                    bytes([IAC, IAC])]
        got = bytearray()
        wait_for(lambda: got.extend(client.recv(4096)) or all(e in got for e in expected), what="the answers")
        assert got.count(bytes([IAC, DONT, 99])) == 1, "an unknown option is refused once"

        # The exchange's bytes wait while the client has suspended them, and come on its resume
        # though the exchange says nothing more. The byte after the suspend reaches the exchange
        # only once the suspend is in force; its echo waits with the rest.
        client.sendall(bytes([IAC, SB, COM_PORT, 8, IAC, SE]) + b"s")
        exchange.wait_received(1)
        exchange.send(b"held")
        exchange.wait_line_drained()
        before = bytearray()  # what was on its way before the suspend
        client.settimeout(0.5)
        with pytest.raises(socket.timeout):
            while chunk := client.recv(4096):
                before += chunk
        assert b"held" not in before
        client.settimeout(10)
        client.sendall(bytes([IAC, SB, COM_PORT, 9, IAC, SE]))
        after = bytearray()
        wait_for(lambda: after.extend(client.recv(4096)) or b"sheld" in after, what="the held bytes")

        # A purge of the receive side drops what waits for the client too, not only the port's queue.
        exchange.take_received()
        client.sendall(bytes([IAC, SB, COM_PORT, 8, IAC, SE]) + b"p")
        exchange.wait_received(1)  # its echo waits for the client, with what the exchange says next
        exchange.send(b"stale")
        exchange.wait_line_drained()
        exchange.take_received()
        client.sendall(bytes([IAC, SB, COM_PORT, 12, 1, IAC, SE]) + b"q")
        exchange.wait_received(1)  # the byte after the purge reaches the line once the purge is done
        client.sendall(bytes([IAC, SB, COM_PORT, 9, IAC, SE]))
        exchange.send(b"fresh")
        after = bytearray()
        # The purge's answer comes when the window thread hears the line's result, which may be after
        # "fresh" has been read: it may stand anywhere in what comes.
        reply = bytes([IAC, SB, COM_PORT, 112, 1, IAC, SE])
        wait_for(lambda: after.extend(client.recv(4096)) or (reply in after and b"fresh" in after),
                 what="the bytes and the answer after the purge")
        assert after.replace(reply, b"") == b"qfresh"

def test_a_client_that_asks_and_never_reads_is_held_back_and_a_newcomer_served(com_port, exchange, driver):
    bridge, ports = com_port
    flooder = connect(ports["com"])
    wait_for(lambda: driver.text(bridge.hwnd, STATUS) == "127.0.0.1", what="the client shown")
    before = rss_kib(bridge.proc.pid)
    # Signature queries, each answered with the bridge's name, and not one answer read: the bridge
    # must stop taking them once its answers wait, not keep them all.
    queries = bytes([IAC, SB, COM_PORT, 0, IAC, SE]) * 10000
    flooder.setblocking(False)
    sent, everything = 0, 40 * 1000 * 1000
    while sent < everything:
        if not select.select([], [flooder], [], 15)[1]:
            break  # nothing taken for a long while: held back
        try:
            sent += flooder.send(queries[:everything - sent])
        except BlockingIOError:
            pass
    grown = rss_kib(bridge.proc.pid) - before
    assert grown < 16 * 1024, f"the bridge grew by {grown} KiB after {sent} bytes of queries"
    assert sent < everything, "nothing held the client back"
    with open_port(ports) as newcomer:  # takes over by the default rule
        newcomer.write(b"served")
        assert read_exactly(newcomer, 6) == b"served"
    flooder.close()

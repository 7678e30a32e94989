#!/usr/bin/env python3
"""A simulated telephone exchange on the far end of a pseudo-terminal.

The slave side of a fresh pty is linked where the bridge will look for its COM port (for Wine:
$WINEPREFIX/dosdevices/com1). The exchange records every byte it receives and answers by mode:
  at      "OK\\r\\n" to every line that starts with AT (ended by CR or LF), "ERROR\\r\\n" to others
  echo    every byte back as it came
  sink    nothing
A paced source (send_paced) streams bytes at a given rate, as a busy exchange would. The line can be
unplugged and plugged in again (unplug, replug), as a USB adapter is.
"""
import argparse
import fcntl
import os
import select
import signal
import sys
import termios
import struct
import threading
import time
import tty

SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}


class SimulatedExchange:
    def __init__(self, link, mode="at"):
        self.mode = mode
        self.link = link
        self._plug()
        self.received = bytearray()
        self._line = bytearray()
        self._out = bytearray()
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._stop = False
        self.reading = True  # False: the exchange takes nothing from the line (its buffer is full)
        self._passes = 0  # the loop's passes begun, so that a change can wait for the loop to see it
        # A byte on this pipe wakes the exchange's loop when something is queued to send.
        self._wake_read, self._wake_write = os.pipe()
        os.set_blocking(self._wake_read, False)
        os.set_blocking(self._wake_write, False)
        self.sent_at = []  # (offset, time) of each paced chunk, when it was queued
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _plug(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)  # the line carries bytes, not text
        tty.setraw(self.master)
        os.set_blocking(self.master, False)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(os.ttyname(self.slave), self.link)

    # What the tests and the demo use
    def send(self, data):
        with self._lock:
            self._out += data
        try:
            os.write(self._wake_write, b"!")
        except BlockingIOError:
            pass  # a wake-up is pending already
        except OSError:
            pass  # closed: the exchange is gone

    def send_paced(self, data, bytes_per_second, chunk=16):
        """Queues data at the given rate from a thread of its own; returns that thread."""
        self.sent_at = []

        def pace():
            start = time.monotonic()
            for offset in range(0, len(data), chunk):
                if self._stop:
                    return
                due = start + offset / bytes_per_second
                delay = due - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                self.sent_at.append((offset, time.perf_counter()))
                self.send(data[offset:offset + chunk])
        thread = threading.Thread(target=pace, daemon=True)
        thread.start()
        return thread

    def speed(self):
        """The line speed the bridge set on its end (the pty shares one termios)."""
        return SPEEDS.get(termios.tcgetattr(self.master)[5])

    def wait_received(self, count, timeout=10.0):
        deadline = time.monotonic() + timeout
        with self._lock:
            while len(self.received) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError(f"exchange received {len(self.received)} of {count} bytes")
                self._changed.wait(left)
            return bytes(self.received)

    def queued(self, towards_exchange=False):
        """Bytes waiting in the pty: towards the bridge (not yet read by it), or towards the exchange."""
        end = self.master if towards_exchange else self.slave
        return struct.unpack("i", fcntl.ioctl(end, termios.FIONREAD, b"\0\0\0\0"))[0]

    def wait_line_drained(self, timeout=10.0):
        """Until the bridge has read everything the exchange sent."""
        def drained():
            with self._lock:
                pending = bool(self._out)
            return not pending and self.queued() == 0
        deadline = time.monotonic() + timeout
        while not drained():
            if time.monotonic() > deadline:
                raise AssertionError("the bridge did not read the exchange's output")
            time.sleep(0.02)

    def fill_line(self, timeout=5.0):
        """Fills the line towards the exchange to the brim (the bytes are the exchange's to ignore),
        so that the bridge's next write waits for the exchange to read. The kernel moves what was
        written on into the exchange's read buffer a moment after a write, which frees room again;
        so it fills until a pass after such a moment finds no room and nothing moved."""
        os.set_blocking(self.slave, False)
        deadline = time.monotonic() + timeout
        try:
            before = -1
            while True:
                written = 0
                try:
                    while True:
                        written += os.write(self.slave, b"\0" * 1024)
                except BlockingIOError:
                    pass
                moved = self.queued(towards_exchange=True)
                if written == 0 and moved == before:
                    return
                if time.monotonic() > deadline:
                    raise AssertionError("the line towards the exchange did not fill")
                before = moved
                time.sleep(0.02)
        finally:
            os.set_blocking(self.slave, True)

    def hold_reading(self, hold=True, timeout=5.0):
        """The exchange stops (or resumes) reading the line; returns once its loop has seen it."""
        with self._lock:
            self.reading = not hold
            wanted = self._passes + 2  # the pass under way may have chosen before the change
        self.send(b"")  # wakes the loop, which then selects accordingly
        with self._lock:
            if not self._changed.wait_for(lambda: self._passes >= wanted or self._stop, timeout):
                raise AssertionError("the exchange's loop did not take the change")

    def take_received(self):
        with self._lock:
            data = bytes(self.received)
            self.received.clear()
            return data

    def hang_up(self):
        """The exchange goes away: its end of the line closes, and the bridge's end reads errors."""
        self._stop = True
        self._thread.join(5)
        if self.master is not None:
            os.close(self.master)
            os.close(self.slave)
            self.master = self.slave = None

    def unplug(self):
        """The adapter is pulled out: the line takes nothing more from the bridge, what it had
        taken is received, then both ends close and the link goes. The bridge's end fails from
        then on as a removed device's would. Nothing the bridge wrote before is lost, so that a
        test can count every byte; what waits to be sent towards the bridge is."""
        self._stop = True
        self._thread.join(5)
        termios.tcflow(self.slave, termios.TCOOFF)  # the bridge's writes wait from here
        while select.select([self.master], [], [], 0.2)[0]:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                break
            with self._lock:
                self.received += data
                self._changed.notify_all()
        with self._lock:
            self._out.clear()
            self._line.clear()
        self.hang_up()
        if os.path.lexists(self.link):
            os.remove(self.link)

    def replug(self):
        """A new line where the old one was: a fresh pty behind the same link."""
        self._plug()
        self._stop = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def close(self):
        self.hang_up()
        os.close(self._wake_read)
        os.close(self._wake_write)
        if os.path.islink(self.link):
            os.remove(self.link)

    # The exchange itself
    def _answer(self, data):
        if self.mode == "echo":
            return data
        if self.mode != "at":
            return b""
        reply = b""
        for byte in data:
            if byte in (0x0D, 0x0A):  # CR from a terminal program, LF from nc
                line = bytes(self._line).strip().upper()
                self._line.clear()
                if line:
                    reply += b"OK\r\n" if line.startswith(b"AT") else b"ERROR\r\n"
            else:
                self._line.append(byte)
        return reply

    def _run(self):
        while not self._stop:
            with self._lock:
                want_write = bool(self._out)
                reading = self.reading
                self._passes += 1
                self._changed.notify_all()
            readable, writable, _ = select.select([self.master, self._wake_read] if reading else [self._wake_read],
                                                  [self.master] if want_write else [], [], 0.05)
            if self._wake_read in readable:
                try:
                    os.read(self._wake_read, 4096)
                except BlockingIOError:
                    pass
            if self.master in readable:
                try:
                    data = os.read(self.master, 65536)
                except OSError:
                    data = b""
                if data:
                    with self._lock:
                        self.received += data
                        self._out += self._answer(data)
                        self._changed.notify_all()
            if writable:
                with self._lock:
                    try:
                        written = os.write(self.master, bytes(self._out[:4096]))
                    except (BlockingIOError, OSError):
                        written = 0
                    del self._out[:written]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--link", required=True, help="symlink to create for the line's bridge end")
    parser.add_argument("--mode", default="at", choices=["at", "echo", "sink"])
    args = parser.parse_args()
    exchange = SimulatedExchange(args.link, args.mode)
    print(f"exchange ({args.mode}) on {os.readlink(args.link)} linked as {args.link}", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    exchange.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

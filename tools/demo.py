#!/usr/bin/env python3
"""The bridge talking to a simulated exchange, under Wine.

Starts a simulated exchange on a pseudo-terminal mapped as COM1, starts vextor.exe with a fresh
Wine prefix, presses "Nasłuchuj ..." and checks the line with one AT command of its own. Then it
keeps running until Ctrl+C so that you can talk to the exchange yourself (nc 127.0.0.1 5000, type
AT and Enter). Without a display it starts Xvfb and saves a screenshot of the panel in screenshots/;
a screenshot that cannot be taken is a warning, not the demo's failure.
"""
import argparse
import os
import shutil
import signal
import socket
import sys
import tempfile
import threading
import time

from exchange_sim import SimulatedExchange
from wineenv import BUILD, SCREENSHOTS, UiDriver, WineSession, hexed

DATA_PORT = 5000
SETTINGS = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"


def ask_exchange(port):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as client:
        client.sendall(b"AT\r")
        answer = b""
        while not answer.endswith(b"\r\n"):
            chunk = client.recv(100)
            if not chunk:
                break
            answer += chunk
        return answer


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--screenshot", default=None, help="PNG to save once the bridge listens (default without a "
                                                           "display: screenshots/panel.png)")
    parser.add_argument("--once", action="store_true", help="stop after the self-check instead of waiting for Ctrl+C")
    args = parser.parse_args()

    headless = not os.environ.get("DISPLAY")
    print("preparing a Wine prefix (about 10 s) ...", flush=True)
    session = WineSession(own_display=headless)
    workdir = tempfile.mkdtemp(prefix="vextor-demo-")
    shutil.copy(os.path.join(BUILD, "vextor.exe"), workdir)
    exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="at")
    driver = UiDriver(session)
    bridge = None
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    try:
        if headless:
            driver.draw_frames()
        driver.ok("regset", hexed(SETTINGS), hexed("Numer portu"), 4, "01000000")
        driver.ok("regset", hexed(SETTINGS), hexed("Prędkość transmisji"), 4, (9600).to_bytes(4, "little").hex())
        driver.ok("regset", hexed(SETTINGS), hexed("Portu IP nasłuchu"), 4, DATA_PORT.to_bytes(4, "little").hex())
        bridge = session.start(os.path.join(workdir, "vextor.exe"), workdir)
        panel = driver.find("kavrel", 30000)
        if not panel:
            print("the control panel did not come up", file=sys.stderr)
            return 1
        driver.ok("click", panel, 1006)
        deadline = time.monotonic() + 10
        while driver.text(panel, 1006) != "&Stop" and time.monotonic() < deadline:
            time.sleep(0.05)
        print(f"exchange on {os.readlink(exchange.link)} is COM1; the bridge listens on 127.0.0.1:{DATA_PORT}")
        print(f"self-check: sent AT, the exchange answered {ask_exchange(DATA_PORT)!r}")
        shot = args.screenshot or (os.path.join(SCREENSHOTS, "panel.png") if headless else None)
        if shot and session.screenshot(shot):
            print(f"screenshot of the panel: {os.path.abspath(shot)}")
        if args.once:
            return 0
        print(f"talk to the exchange: nc 127.0.0.1 {DATA_PORT}   (type AT and Enter; Ctrl+C here ends the demo)")
        while not stop.is_set() and bridge.poll() is None:
            stop.wait(0.5)
        return 0
    except KeyboardInterrupt:
        return 0
    finally:
        if bridge and bridge.poll() is None:
            bridge.kill()
            bridge.wait(15)
        driver.close()
        exchange.close()
        session.close()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs the bridge's control panel under Wine; without a display it starts Xvfb and saves a screenshot."""
import argparse
import os
import shutil
import sys
import tempfile

from wineenv import BUILD, UiDriver, WineSession


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--screenshot", default=None, help="PNG to save once the panel is up")
    args = parser.parse_args()

    headless = not os.environ.get("DISPLAY")
    session = WineSession(own_display=headless)
    workdir = tempfile.mkdtemp(prefix="vextor-demo-")
    shutil.copy(os.path.join(BUILD, "vextor.exe"), workdir)
    driver = UiDriver(session)
    bridge = session.start(os.path.join(workdir, "vextor.exe"), workdir)
    try:
        if not driver.find("kavrel", 30000):
            print("the control panel did not come up", file=sys.stderr)
            return 1
        shot = args.screenshot or (os.path.join(workdir, "panel.png") if headless else None)
        if shot:
            session.screenshot(shot)
            print(f"control panel is up; screenshot saved to {shot}")
        if headless:
            return 0
        print("control panel is up; end it with \"Koniec\" or press Ctrl+C here")
        bridge.wait()
        return 0
    except KeyboardInterrupt:
        return 0
    finally:
        if bridge.poll() is None:
            bridge.kill()
            bridge.wait(15)
        driver.close()
        session.close()


if __name__ == "__main__":
    sys.exit(main())

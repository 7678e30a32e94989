#!/usr/bin/env python3
"""The news library in a host program, under Wine, fetching from a local news server.

Starts tools/news_server.py on 127.0.0.1, points the library's settings at it, and runs the demo
host (tools/newshost.exe), which loads MorvekNews.dll, calls MorvekNewsInit and MorvekNewsShow(1),
then unloads the library; the host prints every result. With a display you close the news window
yourself; without one the demo starts Xvfb, saves a screenshot of the window in screenshots/ and closes
it. A screenshot that cannot be taken is a warning, not the demo's failure.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from wineenv import BUILD, SCREENSHOTS, UiDriver, WineSession, free_port, hexed

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NEWS_KEY = "Software\\Morvek Sp. z o.o.\\MorvekNews\\Settings"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--screenshot", default=None, help="PNG of the news window (default without a display: "
                                                           "screenshots/news.png)")
    parser.add_argument("--messages", default=None, help="file of '&'-separated message lines to serve")
    args = parser.parse_args()

    headless = not os.environ.get("DISPLAY")
    port = free_port()
    server_args = [sys.executable, os.path.join(ROOT, "tools", "news_server.py"), "--port", str(port),
                   "--modes", "serve"]
    if args.messages:
        server_args += ["--messages", args.messages]
    server = subprocess.Popen(server_args, stdout=subprocess.PIPE, text=True)
    print(f"news server: {server.stdout.readline().strip()}")
    print("preparing a Wine prefix (about 10 s) ...", flush=True)
    session = WineSession(own_display=headless)
    workdir = tempfile.mkdtemp(prefix="news-demo-")
    for name in ("MorvekNews.dll", "newshost.exe"):
        shutil.copy(os.path.join(BUILD, name), workdir)
    driver = UiDriver(session)
    host = None
    try:
        if headless:
            driver.draw_frames()
        driver.ok("regset", hexed(NEWS_KEY), hexed("Adres IP serwera"), 1, b"127.0.0.1\0".hex())
        driver.ok("regset", hexed(NEWS_KEY), hexed("Port serwera"), 4, port.to_bytes(4, "little").hex())
        command = ["/usr/lib/wine/wine64", os.path.join(workdir, "newshost.exe"), "--out", "answers.txt"]
        # Hidden, the host owns no window: Xvfb then paints the news window for the screenshot.
        command += ["--hidden"] if headless else []
        host = subprocess.Popen(command + ["load", "init", "show:1", "get", "unload"], cwd=workdir, env=session.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        window = driver.find_with_control(2004, 60000)
        if not window:
            print("the news window did not come up", file=sys.stderr)
            return 1
        shot = args.screenshot or (os.path.join(SCREENSHOTS, "news.png") if headless else None)
        if shot and session.screenshot(shot):
            print(f"screenshot of the news window: {os.path.abspath(shot)}")
        if headless:
            driver.click(window, 1)
        else:
            print("close the news window (\"Zamknij\", Enter or Escape) to go on")
        host.wait(600)
        with open(os.path.join(workdir, "answers.txt"), encoding="cp1250") as f:
            print("host results:\n  " + "  ".join(f.readlines()), end="")
        return 0
    except KeyboardInterrupt:
        return 0
    finally:
        if host and host.poll() is None:
            host.kill()
            host.wait(15)
        driver.close()
        session.close()
        server.terminate()
        server.wait(10)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

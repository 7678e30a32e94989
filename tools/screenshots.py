#!/usr/bin/env python3
"""Takes the pictures of the user's guide and the README under Wine, each window whole with its frame.

bash scripts/build.sh x86_64 && python3 tools/screenshots.py [FOLDER]   (default: docs/)

The panel idle, with a port chosen from its list of other COM ports, and listening with a client, its access dialog and About box, the news window and the
news library's server dialog; last the panel beside the running service.
"""
import os
import shutil
import socket
import subprocess
import sys
import time

from exchange_sim import SimulatedExchange
from wineenv import BUILD, ROOT, WINE, UiDriver, WineSession, free_port, hexed, hold_new_session, wait_for

SETTINGS = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
NEWS_KEY = "Software\\Morvek Sp. z o.o.\\MorvekNews\\Settings"
OK, CANCEL, LISTEN, ACCESS, NEWS_PANEL, SERVER_ADDRESS = 1, 2, 1006, 1040, 2004, 2005
ALLOWED_CLIENTS, TAKEOVER_REFUSED, TRACE_FILE = 1042, 1044, 1048
WM_SYSCOMMAND, ABOUT_COMMAND = 0x112, 16
COM1, COM_OTHER = 1000, 1051
WM_DEVICECHANGE, DBT_DEVNODES_CHANGED = 0x0219, 0x0007
SERIAL_MAP = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"
DATA_PORT = 5000


def shoot(session, driver, hwnd, path, title=None):
    # A moment for the last paint to reach the screen: the window is up, its drawing may not be.
    wait_for(lambda: driver.visible(hwnd), 10, "the window shown")
    time.sleep(1)
    if not session.screenshot(path, driver.rect(hwnd), title):
        raise SystemExit(f"could not save {path}")
    print(path)


def bridge_pictures(session, driver, folder, workdir):
    exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="at")
    driver.ok("regset", hexed(SETTINGS), hexed("Numer portu"), 4, "01000000")
    driver.ok("regset", hexed(SETTINGS), hexed("Prędkość transmisji"), 4, (9600).to_bytes(4, "little").hex())
    driver.ok("regset", hexed(SETTINGS), hexed("Portu IP nasłuchu"), 4, DATA_PORT.to_bytes(4, "little").hex())
    bridge = session.start(os.path.join(BUILD, "vextor.exe"), workdir)
    try:
        panel = driver.find("kavrel", 30000)
        shoot(session, driver, panel, os.path.join(folder, "panel.png"))

        # Two adapters as their drivers list them, the first chosen from the list. (The list drawn
        # open comes out black under Xvfb, so the picture shows the choice made.)
        for number in (5, 7):
            driver.ok("regset", hexed(SERIAL_MAP), hexed(f"\\Device\\Adapter{number}"), 1, f"COM{number}\0".encode().hex())
        driver.send(panel, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED)
        driver.select(panel, COM_OTHER, 0)
        wait_for(lambda: driver.checked(panel, COM1) == 0, 10, "COM5 chosen")
        shoot(session, driver, panel, os.path.join(folder, "panel-ports.png"))
        driver.click(panel, COM1)
        for number in (5, 7):
            driver.ok("regdelvalue", hexed(SERIAL_MAP), hexed(f"\\Device\\Adapter{number}"))

        driver.ok("postclick", panel, ACCESS)
        access = driver.find("Dostęp do serwera", 10000)
        # Filled in as an office might set it (its own network and the engineer's PC, no takeover),
        # then cancelled: the picture's client below comes from this PC.
        driver.set_text(access, ALLOWED_CLIENTS, "192.168.1.0/24, 10.0.0.5")
        driver.click(access, TAKEOVER_REFUSED)
        driver.set_text(access, TRACE_FILE, "C:\\Users\\Public\\Documents\\polaczenia.txt")
        shoot(session, driver, access, os.path.join(folder, "access.png"), title="Dostęp do serwera")
        driver.click(access, CANCEL)
        wait_for(lambda: driver.ask("visible", access) == "err nowindow", 10, "the access dialog closed")

        driver.click(panel, LISTEN)
        wait_for(lambda: driver.text(panel, LISTEN) == "&Stop", 10, "listening")
        with socket.create_connection(("127.0.0.1", DATA_PORT), timeout=10):
            wait_for(lambda: driver.text(panel, 1038) != "(brak połączenia)", 10, "the client shown")
            shoot(session, driver, panel, os.path.join(folder, "panel-listening.png"))
        driver.click(panel, LISTEN)

        driver.post(panel, WM_SYSCOMMAND, ABOUT_COMMAND)
        about = driver.find("O kavrel ...", 10000)
        shoot(session, driver, about, os.path.join(folder, "about.png"), title="O kavrel ...")
        driver.click(about, OK)
    finally:
        bridge.kill()
        bridge.wait(15)
        exchange.close()


def news_pictures(session, driver, folder, workdir):
    port = free_port()
    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "news_server.py"), "--port", str(port),
                               "--modes", "serve"], stdout=subprocess.PIPE, text=True)
    server.stdout.readline()
    driver.ok("regset", hexed(NEWS_KEY), hexed("Adres IP serwera"), 1, b"127.0.0.1\0".hex())
    driver.ok("regset", hexed(NEWS_KEY), hexed("Port serwera"), 4, port.to_bytes(4, "little").hex())
    host = subprocess.Popen(["/usr/lib/wine/wine64", os.path.join(BUILD, "newshost.exe"), "--hidden", "--out",
                             os.path.join(workdir, "answers.txt"), "--dll", os.path.join(BUILD, "MorvekNews.dll"),
                             "load", "init", "show:1", "config", "unload"], cwd=workdir, env=session.env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        window = driver.find_with_control(NEWS_PANEL, 60000)
        shoot(session, driver, window, os.path.join(folder, "news.png"))
        driver.click(window, OK)
        dialog = driver.find("Konfiguracja serwera", 20000)
        shoot(session, driver, dialog, os.path.join(folder, "news-config.png"))
        driver.post(dialog, 0x111, 2)  # WM_COMMAND IDCANCEL
        host.wait(60)
    finally:
        if host.poll() is None:
            host.kill()
            host.wait(15)
        server.terminate()
        server.wait(10)


def service_picture(folder):
    """The panel beside the running service, with a client from another address. A Windows of its
    own, restarted once: the session that makes a prefix is no place for services."""
    session = WineSession(own_display=True)
    hold_new_session(session)
    driver = UiDriver(session)
    workdir = os.path.join(session.base, "work")
    os.makedirs(workdir)
    exe = os.path.join(workdir, "vextor.exe")
    shutil.copy(os.path.join(BUILD, "vextor.exe"), exe)
    exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="at")
    panel_pid = None
    windows = lambda path: "Z:" + path.replace("/", "\\")  # noqa: E731

    def run(*args):
        with open(os.path.join(workdir, "out.txt"), "wb") as out:
            return subprocess.run([WINE, exe, *args], cwd=workdir, env=session.env, stdout=out, stderr=out,
                                  stdin=subprocess.DEVNULL, timeout=90).returncode
    try:
        driver.draw_frames()
        key = "HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.\\vextor\\Settings"
        for name, value in (("Numer portu", 1), ("Prędkość transmisji", 9600), ("Portu IP nasłuchu", DATA_PORT)):
            driver.ok("regset", hexed(key), hexed(name), 4, value.to_bytes(4, "little").hex())
        if run("--install-service") != 0:
            raise SystemExit("the service did not install")
        wait_for(lambda: driver.ask("svcstate", hexed("Vextor")).startswith("ok 4 "), 60, "the service running")
        # As a user who is not an administrator sees it: with the shield beside the button.
        panel_pid = driver.start_limited(windows(exe), windows(workdir))
        panel = driver.find("kavrel", 30000)
        client = socket.socket()
        client.bind(("127.0.0.2", 0))
        client.connect(("127.0.0.1", DATA_PORT))
        with client:
            wait_for(lambda: driver.text(panel, 1038) == "127.0.0.2", 10, "the client shown")
            shoot(session, driver, panel, os.path.join(folder, "panel-service.png"))
    finally:
        if panel_pid:
            driver.end_process(panel_pid)
        run("--uninstall-service")
        exchange.close()
        driver.close()
        session.close()


def main():
    folder = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs"))
    os.makedirs(folder, exist_ok=True)
    session = WineSession(own_display=True)
    driver = UiDriver(session)
    workdir = os.path.join(session.base, "work")
    os.makedirs(workdir)
    try:
        driver.draw_frames()
        bridge_pictures(session, driver, folder, workdir)
        news_pictures(session, driver, folder, workdir)
    finally:
        driver.close()
        session.close()
    service_picture(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())

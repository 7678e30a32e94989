"""The news library through a host program: init and fetch, the news window, the flag, the
configuration dialog and the save at unload, driven as a user would."""
import contextlib
import os
import random
import shutil
import socket
import struct
import subprocess
import sys
import threading
import time

import pytest

from conftest import REG_DWORD, REG_SZ, ROOT, dword, free_port, sz
from wineenv import BUILD, wait_for

NEWS_KEY = "Software\\Morvek Sp. z o.o.\\MorvekNews\\Settings"
OK, CANCEL, PANEL, PORT_FIELD, ADDRESS_FIELD, DONT_SHOW = 1, 2, 2004, 1032, 2005, 2003
LABELS = range(11240, 11246)
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B
REG_QWORD = 11
SAMPLE = ["2006.03.01: Nowa wersja programu konfiguracyjnego",
          "2006.04.12: Aktualizacja oprogramowania centrali",
          "2006.05.20: Zapraszamy na szkolenie dla instalatorów"]


@pytest.fixture(autouse=True)
def empty_news_registry(driver):
    driver.delete_key("Software\\Morvek Sp. z o.o.\\MorvekNews")


@contextlib.contextmanager
def news_server(mode):
    port = free_port()
    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "news_server.py"), "--port", str(port),
                               "--modes", mode], stdout=subprocess.PIPE, text=True)
    try:
        assert server.stdout.readline().startswith(mode)
        yield port
    finally:
        server.terminate()
        server.wait(10)


@pytest.fixture(scope="module")
def news_port():
    with news_server("serve") as port:
        yield port


def point_at_server(driver, port, host="127.0.0.1"):
    driver.set_value(NEWS_KEY, "Adres IP serwera", REG_SZ, sz(host))
    driver.set_value(NEWS_KEY, "Port serwera", REG_DWORD, dword(port))


class Host:
    """tools/newshost.exe running a list of export calls; its answers come line by line."""

    def __init__(self, wine, workdir, commands, extra_env=None, library="MorvekNews.dll", wrapper=()):
        shutil.copy(os.path.join(BUILD, library), os.path.join(workdir, "MorvekNews.dll"))
        shutil.copy(os.path.join(BUILD, "newshost.exe"), workdir)
        self.out = os.path.join(workdir, "answers.txt")
        if os.path.exists(self.out):
            os.remove(self.out)
        # Commands go on the command line; the answers file is relative to the working directory.
        env = dict(wine.env)
        env.update(extra_env or {})
        self.proc = subprocess.Popen([*wrapper, "/usr/lib/wine/wine64", os.path.join(workdir, "newshost.exe"), "--out",
                                      "answers.txt"] + commands, cwd=workdir, env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def answers(self):
        if not os.path.exists(self.out):
            return []
        with open(self.out, encoding="cp1250") as f:
            return [line.strip() for line in f if line.strip()]

    def upto(self, count, timeout=30):
        """The first count answers, once they are there."""
        wait_for(lambda: len(self.answers()) >= count, timeout, f"answer {count} of the host")
        return self.answers()[:count]

    def answer(self, count, timeout=30):
        return self.upto(count, timeout)[-1]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(15)


@pytest.fixture
def host(wine, tmp_path):
    started = []

    def start(*commands, extra_env=None, library="MorvekNews.dll", wrapper=()):
        h = Host(wine, str(tmp_path), list(commands), extra_env, library, wrapper)
        started.append(h)
        return h

    yield start
    for h in started:
        h.stop()


def news_window(driver):
    window = driver.find_with_control(PANEL, 20000)
    assert window, "news window did not appear"
    return window


def test_due_window_then_nothing_new_and_the_save_at_unload(driver, host, news_port):
    point_at_server(driver, news_port)
    started = int(time.time())
    h = host("load", "init", "show:0", "show:0", "get", "close", "unload")
    assert h.answer(2) == "init 0"
    window = news_window(driver)
    assert [driver.control_visible(window, i) for i in LABELS] == [False, False, False, True, True, True]
    assert [driver.text(window, i) for i in (11243, 11244, 11245)] == SAMPLE[::-1]
    assert driver.click(window, OK)
    # The second show has nothing above what the first has just shown.
    assert h.upto(7)[2:] == ["show:0 0", "show:0 1", "get 0", "close 0", "unload ok"]

    stored = driver.registry(NEWS_KEY)
    assert [stored["Ilość wiadomości"], stored["Niepokazuj wiadomości"]] == [(REG_DWORD, dword(3)), (REG_DWORD, dword(0))]
    kind, data = stored["Data ostatniej prezentacji"]
    assert kind == REG_QWORD and struct.unpack("<q", data)[0] >= started
    third = driver.registry(NEWS_KEY + "\\2")
    assert third["Indeks wiadomości"] == (REG_DWORD, dword(3))
    assert third["Wiadomość"] == (REG_SZ, sz(SAMPLE[2].split(": ", 1)[1]))


def test_first_run_shows_stored_messages_and_escape_answers_1(driver, host):
    # No server address stored: the first run; the default host cannot be reached.
    driver.set_value(NEWS_KEY, "Ilość wiadomości", REG_DWORD, dword(1))
    driver.set_value(NEWS_KEY + "\\0", "Indeks wiadomości", REG_DWORD, dword(0))
    driver.set_value(NEWS_KEY + "\\0", "Data wiadomości", REG_QWORD, struct.pack("<q", 1141171200))
    driver.set_value(NEWS_KEY + "\\0", "Wiadomość", REG_SZ, sz("Zapisana wiadomość"))
    h = host("load", "init", "show:0", "unload")
    assert h.answer(2) == "init 0"
    window = news_window(driver)
    assert driver.text(window, 11245).endswith(": Zapisana wiadomość")
    assert not driver.control_visible(window, 11244)
    driver.key(window, OK, VK_ESCAPE)
    assert h.answer(3) == "show:0 1"
    assert driver.registry(NEWS_KEY)["Adres IP serwera"][0] == REG_SZ


def test_flag_suppresses_but_force_shows_and_enter_answers_0(driver, host, news_port):
    point_at_server(driver, news_port)
    h = host("load", "init", "set:1", "get", "show:0", "show:1", "set:5", "get", "unload")
    assert h.upto(5)[2:] == ["set:1 1", "get 1", "show:0 1"]
    window = news_window(driver)
    driver.key(window, OK, VK_RETURN)
    assert h.upto(9)[5:] == ["show:1 0", "set:5 5", "get 5", "unload ok"]
    assert driver.registry(NEWS_KEY)["Niepokazuj wiadomości"] == (REG_DWORD, dword(5))


def test_configuration_dialog(driver, host):
    point_at_server(driver, 12345)
    h = host("load", "init", "config", "config", "config", "get", "unload")
    assert h.answer(2) == "init 0"

    # A stored five-digit port cannot be confirmed: the box, the focus back on the field, nothing stored.
    dialog = driver.find("Konfiguracja serwera", 30000)
    assert driver.text(dialog, PORT_FIELD) == "12345"
    driver.post_click(dialog, OK)
    box = driver.message_box()
    assert box and box[2] == "Please enter no more than 4 characters." and box[1] == "MorvekNews"
    driver.click(box[0], OK)
    wait_for(lambda: driver.focus(dialog) == (PORT_FIELD, 0, 5), what="focus on the port field")
    assert driver.visible(dialog)
    assert driver.registry(NEWS_KEY)["Port serwera"] == (REG_DWORD, dword(12345))

    # Port "0070" (four characters), an address with blanks, the check box: all stored at OK.
    driver.set_text(dialog, PORT_FIELD, "0070")
    driver.set_text(dialog, ADDRESS_FIELD, "  serwer z odstępami ")
    driver.click(dialog, DONT_SHOW)
    driver.click(dialog, OK)
    assert h.answer(3) == "config 0"
    stored = driver.registry(NEWS_KEY)
    assert stored["Port serwera"] == (REG_DWORD, dword(70))
    assert stored["Adres IP serwera"] == (REG_SZ, sz("  serwer z odstępami "))
    assert stored["Niepokazuj wiadomości"] == (REG_DWORD, dword(1))

    # Cancel after edits changes nothing.
    dialog = driver.find("Konfiguracja serwera", 20000)
    driver.set_text(dialog, ADDRESS_FIELD, "inny")
    driver.click(dialog, CANCEL)
    assert h.answer(4) == "config 1"
    assert driver.registry(NEWS_KEY)["Adres IP serwera"] == (REG_SZ, sz("  serwer z odstępami "))

    dialog = driver.find("Konfiguracja serwera", 20000)
    driver.click(dialog, CANCEL)
    assert h.upto(6)[4:] == ["config 1", "get 1"]


def test_calls_before_init_are_safe(driver, host):
    h = host("load", "show:0", "show:1", "config", "get", "set:1", "get", "close", "unload")
    assert h.upto(9)[1:] == ["show:0 1", "show:1 1", "config 1", "get 0", "set:1 1", "get 1", "close 0", "unload ok"]
    assert driver.registry(NEWS_KEY)["Niepokazuj wiadomości"] == (REG_DWORD, dword(1))


def test_a_host_that_quits_during_a_fetch_gets_a_failed_fetch_at_once(driver, host):
    with news_server("silent") as port:
        point_at_server(driver, port)
        # The silent server would hold a fetch for its two time-outs (20 s); a quitting host must not wait.
        h = host("--stay", "load", "quit", "init")
        assert h.answer(3, timeout=8).startswith("init ")
        h.proc.wait(15)  # the quit went back to the host, whose loop then ended


class HeldResolver:
    """A name server on a loopback address of its own: it holds every query until released, then
    answers 127.0.0.1 as the name's IPv4 address (and no other kind of address)."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        for _ in range(20):
            self.address = "127.53.%d.%d" % (random.randrange(1, 255), random.randrange(1, 255))
            with contextlib.suppress(OSError):
                self.sock.bind((self.address, 53))
                break
        else:
            raise OSError("no loopback address with a free port 53")
        self.sock.settimeout(0.1)
        self.queries = []
        self.released = threading.Event()
        self.closing = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        held = []
        while not self.closing.is_set():
            try:
                query, client = self.sock.recvfrom(512)
                self.queries.append(query)
                held.append((query, client))
            except socket.timeout:
                pass
            if self.released.is_set():
                for query, client in held:
                    self.sock.sendto(self._answer(query), client)
                held = []

    @staticmethod
    def _answer(query):
        end = 12
        while query[end]:
            end += 1 + query[end]
        question = query[12:end + 5]
        is_a = question[-4:-2] == b"\0\1"
        header = query[:2] + struct.pack(">HHHHH", 0x8180, 1, 1 if is_a else 0, 0, 0)
        record = struct.pack(">HHHIH", 0xC00C, 1, 1, 60, 4) + socket.inet_aton("127.0.0.1") if is_a else b""
        return header + question + record

    def close(self):
        self.closing.set()
        self.thread.join(5)
        self.sock.close()


def host_window(driver):
    """The news host's own window, found by its class: asking for a title needs an answering window."""
    for item in driver.ok("list"):
        hwnd, window_class, _ = item.split(":")
        if window_class == "NewsHostWindow".encode().hex():
            return hwnd
    return None


def test_a_host_name_being_looked_up_keeps_the_host_window_answering(driver, host, news_port, tmp_path):
    # The host runs with a name server of the test's own (its /etc/resolv.conf in a mount namespace).
    if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        pytest.skip("a mount namespace of its own needs root")
    try:
        resolver = HeldResolver()
    except OSError as error:
        pytest.skip(f"no name server of the test's own: {error}")
    try:
        resolv = tmp_path / "resolv.conf"
        resolv.write_text(f"nameserver {resolver.address}\noptions timeout:30 attempts:1\n")
        point_at_server(driver, news_port, "wiadomosci.example.test")
        wrapper = ["unshare", "-m", "sh", "-c", 'mount --bind "$0" /etc/resolv.conf && exec "$@"', str(resolv)]
        h = host("load", "init", "unload", wrapper=wrapper)
        wait_for(lambda: resolver.queries, 30, "the library to ask for the server's address")
        window = wait_for(lambda: host_window(driver), 10, "the host's window")
        # While the name server holds the answer, the host's window answers what is sent to it.
        assert driver.ok("text", window) == ["Host biblioteki MorvekNews".encode("cp1250").hex()]
        assert h.answers() == ["load ok"]
        resolver.released.set()
        # The answer is used: the server at that address is read and its messages stored.
        assert h.upto(3)[1:] == ["init 0", "unload ok"]
        assert driver.registry(NEWS_KEY)["Ilość wiadomości"] == (REG_DWORD, dword(3))
    finally:
        resolver.close()


def test_without_windows_sockets_the_library_does_not_load(host):
    # A test build of the library that asks for another socket version, which it then refuses.
    h = host("load", library=os.path.join("nosock", "MorvekNews.dll"))
    assert h.answer(1).startswith("load failed")


def test_the_kits_header_and_import_library_make_a_working_host(wine, driver, news_port, tmp_path):
    # The kit's sample, built here for x86_64 the way a host's maker builds it for i686: the header,
    # an import library made from the export table, no LoadLibrary of its own.
    workdir = str(tmp_path)
    subprocess.run(["x86_64-w64-mingw32-dlltool", "--input-def", os.path.join(ROOT, "resources", "news", "MorvekNews.def"),
                    "--dllname", "MorvekNews.dll", "--output-lib", "MorvekNews.lib"], cwd=workdir, check=True)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-I", os.path.join(ROOT, "kit"), os.path.join(ROOT, "kit", "sample_host.c"),
                    "MorvekNews.lib", "-o", "sample_host.exe"], cwd=workdir, check=True)
    shutil.copy(os.path.join(BUILD, "MorvekNews.dll"), workdir)
    point_at_server(driver, news_port)
    out = os.path.join(workdir, "out.txt")
    with open(out, "w") as sink:
        proc = subprocess.Popen(["/usr/lib/wine/wine64", "sample_host.exe"], cwd=workdir, env=wine.env, stdout=sink,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        # The first run with messages is due: the window comes up, and "Zamknij" answers 0.
        window = news_window(driver)
        wait_for(lambda: driver.control_visible(window, LABELS[-1]), 10, "the messages")
        driver.click(window, OK)
        proc.wait(30)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait(15)
    with open(out) as f:
        lines = f.read().split()
    assert " ".join(lines) == ("MorvekNewsInit: 0 MorvekNewsShow: 0 MorvekNewsGetShowNewsFlag: 0 "
                               "MorvekNewsClose: 0")

"""The bridge as a Windows service: its verbs, what --install-service sets up and --uninstall-service removes."""
import hashlib
import os
import shutil
import subprocess

import pytest

from conftest import REG_DWORD, REG_SZ, connect, dword, free_port, refused, store_settings, windows_path
from wineenv import BUILD, WINE, UiDriver, WineSession, hexed, hold_new_session, unhexed, wait_for

SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\Vextor"
EVENT_SOURCE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\Vextor"
# The release is 32-bit: its HKLM\SOFTWARE is this, seen from the 64-bit driver.
MACHINE_KEY = "HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.\\vextor\\Settings"
MACHINE_KEY_64 = "HKLM\\Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
MSG_LISTENER_FAILED = 102
# Wine's mount manager links com1 afresh at every start of a session, unless this key names its device.
WINE_PORTS = "HKLM\\Software\\Wine\\Ports"
STATES = {1: "STOPPED", 2: "START_PENDING", 3: "STOP_PENDING", 4: "RUNNING"}
OK, LISTEN, LISTEN_PORT, SPEED, STATUS, SHIELD = 1, 1006, 1007, 1018, 1038, 1060
PANEL_TITLE = "kavrel"
EDIT_TITLE = "Ustawienia usługi Vextor"
WM_SYSCOMMAND, SERVICE_SETTINGS_COMMAND, IDYES = 0x112, 32, 6
PARAMCHANGE, ERROR_SERVICE_NOT_ACTIVE = 6, 1062
SERVICE_STOPPED = "Usługa Vextor jest zatrzymana"
UNTRUSTED = "Kanał stanu usługi należy do obcego programu"
SPEED_9600 = bytes([3, 0, 0, 0, 0, 0x80, 0x25, 0, 0])
SPEED_2400 = bytes([3, 0, 0, 0, 0]) + (2400).to_bytes(4, "little")
PIPE = "\\\\.\\pipe\\Vextor.status"
# What a squatter would have the panel believe.
FAKE_FIELDS = b"data=5000\nstatus=10.6.6.6\nrate=110\n"


def service_sid(name):
    """NT SERVICE\\<name>, as the system derives it: S-1-5-80 and the SHA-1 of the upper-cased name."""
    digest = hashlib.sha1(name.upper().encode("utf-16-le")).digest()
    return "S-1-5-80-" + "-".join(str(int.from_bytes(digest[i:i + 4], "little")) for i in range(0, 20, 4))


def text(value):
    return value[1].decode("cp1250").rstrip("\0")


class Program:
    """vextor.exe in a folder of its own; each run's output goes to files (a pipe may be held open by
    Wine's desktop process) and is read back with its exit code."""

    def __init__(self, wine, folder):
        self.wine = wine
        self.folder = folder
        self.exe = os.path.join(folder, "vextor.exe")
        shutil.copy(os.path.join(BUILD, "vextor.exe"), self.exe)
        self.windows_path = windows_path(self.exe)

    def run(self, *args):
        out, err = os.path.join(self.folder, "out.txt"), os.path.join(self.folder, "err.txt")
        with open(out, "wb") as o, open(err, "wb") as e:
            code = subprocess.run([WINE, self.exe, *args], cwd=self.folder, env=self.wine.env, stdout=o, stderr=e,
                                  stdin=subprocess.DEVNULL, timeout=90).returncode
        with open(out, "rb") as o, open(err, "rb") as e:
            return code, o.read().decode("utf-8"), e.read().decode("utf-8")


@pytest.fixture(scope="module")
def wine():
    """A Windows of its own, restarted once after its creation and then held with `wineserver -p`: the
    session that creates a prefix can be left with two service managers answering in turn, and
    service processes do not keep the Wine server alive."""
    session = WineSession()
    hold_new_session(session)
    yield session
    session.close()


@pytest.fixture(scope="module")
def driver(wine):
    ui = UiDriver(wine)
    yield ui
    ui.close()


@pytest.fixture(scope="module")
def program(wine, driver, tmp_path_factory):
    vextor = Program(wine, str(tmp_path_factory.mktemp("service")))
    yield vextor
    # Whatever a failed test left: no service, no event source, no machine settings, no data folder.
    vextor.run("--uninstall-service")
    if service_state(driver) is not None:
        subprocess.run([WINE, "sc", "delete", "Vextor"], env=wine.env, capture_output=True, timeout=60)
    driver.delete_key("HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.")
    driver.delete_key(EVENT_SOURCE_KEY)
    shutil.rmtree(os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK"), ignore_errors=True)


def test_unknown_verbs_and_extra_arguments_are_refused_on_the_console(driver, program):
    code, _, err = program.run("--bogus")
    assert code == 2 and '"--bogus"' in err
    code, _, err = program.run("--install-service", "now")
    assert code == 2 and '"now"' in err
    assert service_state(driver) is None, "a refused line installed the service"
    # Started by hand, the service's own verb ends at once with a reason.
    code, _, err = program.run("--service")
    assert code != 0 and err


@pytest.fixture(scope="module")
def ports():
    return {"data": free_port(), "config": free_port()}


@pytest.fixture(scope="module")
def line(wine, driver):
    """The simulated exchange on a pty that stays COM1 across restarts of the Windows."""
    from exchange_sim import SimulatedExchange
    exchange = SimulatedExchange(os.path.join(wine.prefix, "dosdevices", "com1"), mode="at")
    driver.set_value(WINE_PORTS, "COM1", REG_SZ, os.ttyname(exchange.slave).encode() + b"\0")
    yield exchange
    driver.delete_value(WINE_PORTS, "COM1")
    exchange.close()


def service_state(driver):
    """The service's state as its manager reports it, asked from the running driver; None: no service."""
    answer = driver.ask("svcstate", hexed("Vextor"))
    if answer == "err nosvc":
        return None
    assert answer.startswith("ok "), answer
    return STATES.get(int(answer.split()[1]), answer)


def wait_state(driver, wanted, timeout=60.0):
    wait_for(lambda: service_state(driver) == wanted, timeout, f"the service {wanted}", interval=0.05)


def control(wine, *command):
    subprocess.run([WINE, *command], env=wine.env, capture_output=True, timeout=60)


def restart_service(wine, driver):
    control(wine, "net", "stop", "Vextor")
    wait_state(driver, "STOPPED")
    control(wine, "sc", "start", "Vextor")
    wait_state(driver, "RUNNING")


def store_machine(driver, **values):
    store_settings(driver, key=MACHINE_KEY, **values)


def answers_at(port, timeout=60.0):
    """AT through the data port comes back OK from the exchange; waits for the listener, which
    may still be opening."""
    def connected():
        try:
            return connect(port)
        except OSError:
            return None
    with wait_for(connected, timeout, f"a listener on {port}") as client:
        client.settimeout(timeout)
        client.sendall(b"AT\r")
        reply = b""
        while b"OK\r\n" not in reply:
            chunk = client.recv(100)
            assert chunk, f"the connection closed after {reply!r}"
            reply += chunk


def data_file(wine, name):
    path = os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK", "Vextor", name)
    try:
        with open(path, "rb") as f:
            return f.read().decode("cp1250")
    except OSError:
        return ""


def test_install_sets_up_the_service_its_events_its_folder_and_the_machine_settings(wine, driver, program, ports):
    # The service starts at once: on ports of its own, not the default ones another run may hold.
    store_machine(driver, **{"Portu IP nasłuchu": ports["data"], "configPort": ports["config"]})
    code, out, err = program.run("--install-service")
    assert code == 0, err

    service = driver.registry(SERVICE_KEY)
    assert [text(service["ImagePath"]), service["Start"], text(service["ObjectName"])] == \
        [f'"{program.windows_path}" --service', (REG_DWORD, dword(2)), "NT AUTHORITY\\LocalService"]
    assert text(service["Description"])
    assert service_state(driver) is not None

    source = driver.registry(EVENT_SOURCE_KEY)
    assert source["EventMessageFile"][0] == REG_SZ and text(source["EventMessageFile"]) == program.windows_path
    # The event viewer of an English system reads the message from the program's neutral table.
    answer = driver.ask("fmtmsg", hexed(program.windows_path), MSG_LISTENER_FAILED, hexed("Port 5000 jest zajęty."))
    assert answer.startswith("ok "), answer
    languages, message = answer.split()[1], unhexed(answer.split()[2]).decode("cp1250")
    assert languages == "0"
    assert message.startswith("Nasłuch") and "Port 5000 jest zajęty." in message

    assert os.path.isdir(os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK", "Vextor"))
    settings = driver.registry(MACHINE_KEY)
    assert settings is not None and settings["Numer portu"] == (REG_DWORD, dword(1))
    assert driver.registry(MACHINE_KEY_64) is None, "the settings went to the 64-bit view"


def test_a_second_install_keeps_everything_as_it_was(driver, program):
    store_machine(driver, **{"Portu IP nasłuchu": 5100})
    before = [driver.registry(key) for key in (SERVICE_KEY, EVENT_SOURCE_KEY, MACHINE_KEY)]
    code, _, err = program.run("--install-service")
    assert code == 0, err
    assert [driver.registry(key) for key in (SERVICE_KEY, EVENT_SOURCE_KEY, MACHINE_KEY)] == before


def test_the_service_serves_the_exchange_with_the_machine_settings(wine, driver, program, line, ports):
    store_machine(driver, **{"Portu IP nasłuchu": ports["data"], "configPort": ports["config"],
                             "Prędkość transmisji": 19200, "Logowanie do pliku": 1,
                             "Nazwa pliku logowania": "ruch.txt", "traceFileName": "trace.txt"})
    restart_service(wine, driver)
    wait_for(lambda: line.speed() == 19200, 60, "the line at the machine's 19200")
    answers_at(ports["data"])
    with connect(ports["config"]) as config:
        config.sendall(SPEED_9600)
        wait_for(lambda: line.speed() == 9600, 60, "the line at 9600")
    # Relative names are in the data folder: the service's current directory is the system's.
    wait_for(lambda: "CFG_SPEED [9600]" in data_file(wine, "ruch.txt"), 60, "the speed record in the log")
    assert "AT" in data_file(wine, "ruch.txt")
    listen = f"listen 0.0.0.0 data {ports['data']} config {ports['config']}"
    wait_for(lambda: listen in data_file(wine, "trace.txt"), 60, "the listeners in the trace")


def test_an_address_that_is_not_there_leaves_it_running_and_a_stop_ends_it_at_once(wine, driver, program, line, ports):
    store_machine(driver, listenAddress="10.255.255.1")
    try:
        restart_service(wine, driver)
        assert refused(ports["data"])
        # Still serving its messages: it takes the stop as a running service does.
        control(wine, "net", "stop", "Vextor")
        wait_state(driver, "STOPPED", 2.0)
    finally:
        store_machine(driver, listenAddress="")
    control(wine, "sc", "start", "Vextor")
    wait_state(driver, "RUNNING")
    answers_at(ports["data"])

    control(wine, "net", "stop", "Vextor")
    wait_state(driver, "STOPPED", 2.0)
    assert refused(ports["data"]) and refused(ports["config"])


def test_a_new_session_starts_the_service_again_by_itself(wine, driver, line, ports):
    hold_new_session(wine)
    UiDriver.__init__(driver, wine)  # the first program of the new session
    wait_state(driver, "RUNNING", 120.0)
    answers_at(ports["data"])


def test_the_panel_leaves_the_line_to_the_service_running_or_stopped(wine, driver, start_bridge, line, ports):
    user_key = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
    for running in (True, False):
        bridge = start_bridge()
        wait_for(lambda: driver.text(bridge.hwnd, STATUS) == ("(brak połączenia)" if running else SERVICE_STOPPED),
                 30, "the service's state in the status line")
        assert driver.text(bridge.hwnd, LISTEN) == ("Zatrzymaj usługę" if running else "Uruchom usługę")
        assert not driver.enabled(bridge.hwnd, LISTEN_PORT)
        assert driver.text(bridge.hwnd, LISTEN_PORT) == str(ports["data"]), "not the machine's settings"
        if running:
            answers_at(ports["data"])
        else:
            assert refused(ports["data"])
        driver.click(bridge.hwnd, OK)
        bridge.wait_exit()
        assert driver.registry(user_key) is None, "the machine's settings went to the user's"
        if running:
            answers_at(ports["data"])
            control(wine, "net", "stop", "Vextor")
            wait_state(driver, "STOPPED")


def shown_speed(driver, bridge):
    index = driver.selection(bridge.hwnd, SPEED)
    return driver.item_text(bridge.hwnd, SPEED, index) if index >= 0 else None


def status_is_at(driver, hwnd, text, what, timeout=10.0):
    wait_for(lambda: driver.text(hwnd, STATUS) == text, timeout, what)


def status_is(driver, bridge, text, what, timeout=10.0):
    status_is_at(driver, bridge.hwnd, text, what, timeout)


@pytest.fixture
def serving(wine, driver, program, line, ports):
    """The service running with the machine's settings of these tests."""
    store_machine(driver, **{"Portu IP nasłuchu": ports["data"], "configPort": ports["config"],
                             "Prędkość transmisji": 19200, "Logowanie do pliku": 0, "traceFileName": ""})
    if service_state(driver) != "RUNNING":
        control(wine, "sc", "start", "Vextor")
        wait_state(driver, "RUNNING")
    answers_at(ports["data"])


def test_the_panel_follows_the_service_live(wine, driver, start_bridge, serving, line, ports):
    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    assert shown_speed(driver, bridge) == "19200"
    assert driver.enabled(bridge.hwnd, LISTEN) and not driver.enabled(bridge.hwnd, SPEED)
    with connect(ports["data"], source="127.0.0.2"):
        status_is(driver, bridge, "127.0.0.2", "the client in the panel")
        with connect(ports["config"]) as config:
            config.sendall(SPEED_2400)
            wait_for(lambda: shown_speed(driver, bridge) == "2400", 10, "the speed list at the record's 2400")
            assert line.speed() == 2400
            config.sendall(SPEED_9600)
            wait_for(lambda: shown_speed(driver, bridge) == "9600", 10, "the speed list back at 9600")
    status_is(driver, bridge, "(brak połączenia)", "the client gone from the panel")

    line.unplug()
    try:
        status_is(driver, bridge, "COM1 odłączony", "the line's loss in the panel", 30)
    finally:
        line.replug()
        driver.set_value(WINE_PORTS, "COM1", REG_SZ, os.ttyname(line.slave).encode() + b"\0")
    status_is(driver, bridge, "(brak połączenia)", "the line back in the panel", 30)
    answers_at(ports["data"])


def test_a_users_panel_stops_and_starts_the_service_through_the_services_program(wine, driver, program, serving,
                                                                                  ports):
    # A user without elevation: the shield is drawn, and the button starts the service's own
    # program with its verb. Wine shows no prompt and elevates nothing, but lets anyone control
    # services: the service manager's state shows that the copy ran and did its work.
    pid = driver.start_limited(program.windows_path, windows_path(program.folder))
    try:
        hwnd = driver.find(PANEL_TITLE, 20000)
        status_is_at(driver, hwnd, "(brak połączenia)", "the service's status")
        assert driver.control_visible(hwnd, SHIELD)
        assert driver.text(hwnd, LISTEN) == "Zatrzymaj usługę"
        driver.click(hwnd, LISTEN)
        wait_state(driver, "STOPPED", 30)
        wait_for(lambda: refused(ports["data"]) and refused(ports["config"]), 10, "the ports closed")
        status_is_at(driver, hwnd, SERVICE_STOPPED, "the stop in the panel")
        wait_for(lambda: driver.text(hwnd, LISTEN) == "Uruchom usługę" and driver.enabled(hwnd, LISTEN), 10,
                 "the button ready to start")
        driver.click(hwnd, LISTEN)
        wait_state(driver, "RUNNING", 30)
        answers_at(ports["data"])
        status_is_at(driver, hwnd, "(brak połączenia)", "the service's status again")
        assert driver.text(hwnd, LISTEN) == "Zatrzymaj usługę"
        assert driver.message_box(0) is None, "a successful start or stop showed a box"
    finally:
        driver.end_process(pid)


def test_a_restart_behind_the_panels_back_is_followed(wine, driver, start_bridge, serving, ports):
    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    control(wine, "net", "stop", "Vextor")
    wait_state(driver, "STOPPED")
    status_is(driver, bridge, SERVICE_STOPPED, "the stop in the panel")
    control(wine, "sc", "start", "Vextor")
    wait_state(driver, "RUNNING")
    status_is(driver, bridge, "(brak połączenia)", "the panel linked again")
    with connect(ports["data"], source="127.0.0.2"):
        status_is(driver, bridge, "127.0.0.2", "the client in the panel")


def test_the_status_pipe_lets_users_read_only_and_drops_a_reader_that_never_reads(driver, start_bridge, serving, ports):
    sid = service_sid("Vextor")
    literal = f"D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;{sid})(A;;0x120089;;;BA)(A;;0x120089;;;IU)"
    # The system prints FILE_GENERIC_READ (0x120089) by its SDDL name.
    assert driver.pipe_sddl(PIPE) == literal.replace("0x120089", "FR") == driver.canonical_sddl(literal)

    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    stuck = driver.hold_pipe(PIPE)
    with connect(ports["config"]) as config:
        # Each record changes the line's rate, and each change is a state for every reader.
        for i in range(200):
            config.sendall(SPEED_2400 if i % 2 == 0 else SPEED_9600)
            if driver.peek_pipe(stuck) is None:
                break
        wait_for(lambda: driver.peek_pipe(stuck) is None, 30, "the reader that never reads dropped")
        config.sendall(SPEED_9600)
    wait_for(lambda: shown_speed(driver, bridge) == "9600", 10, "the panel, which reads, still following")
    driver.release_pipe(stuck)
    answers_at(ports["data"])


def test_a_squatter_on_the_pipes_name_is_not_trusted_and_the_service_bridges(wine, driver, start_bridge, serving, ports):
    control(wine, "net", "stop", "Vextor")
    wait_state(driver, "STOPPED")
    fake = b"VXST\x01\x00" + len(FAKE_FIELDS).to_bytes(2, "little") + FAKE_FIELDS
    squatter = driver.squat_pipe(PIPE, fake)
    try:
        control(wine, "sc", "start", "Vextor")
        wait_state(driver, "RUNNING")
        answers_at(ports["data"])
        bridge = start_bridge()
        status_is(driver, bridge, UNTRUSTED, "the squatter refused")
        assert shown_speed(driver, bridge) != "110", "the squatter's state was shown"
    finally:
        driver.release_pipe(squatter)
    # The service takes its name back on its next try.
    status_is(driver, bridge, "(brak połączenia)", "the service's own pipe", 30)


def machine_port(driver):
    return driver.registry(MACHINE_KEY)["Portu IP nasłuchu"]


def moved_to(port, old):
    """The service serves the new port and no longer the old one."""
    answers_at(port, 10)
    wait_for(lambda: refused(old), 10, f"port {old} closed")


def test_the_editing_copy_refuses_a_bad_setting_and_the_service_applies_a_good_one(driver, start_bridge, serving,
                                                                                    ports):
    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    driver.post(bridge.hwnd, WM_SYSCOMMAND, SERVICE_SETTINGS_COMMAND)
    editor = driver.find(EDIT_TITLE, 20000)
    assert editor, "the editing copy did not open"
    assert driver.enabled(editor, LISTEN_PORT) and driver.text(editor, LISTEN_PORT) == str(ports["data"])
    new_port = free_port()
    try:
        driver.set_text(editor, LISTEN_PORT, str(ports["config"]))
        driver.post_click(editor, OK)
        box = driver.message_box(20000)
        assert box and box[2] == "Port konfiguracji musi być inny niż port nasłuchu.", box
        driver.click(box[0], OK)
        assert machine_port(driver) == (REG_DWORD, dword(ports["data"])), "a refused setting reached the key"

        driver.set_text(editor, LISTEN_PORT, str(new_port))
        driver.post_click(editor, OK)
        box = driver.message_box(20000)
        assert box and "rozłączony" in box[2], box
        driver.click(box[0], IDYES)
        wait_for(lambda: driver.ask("visible", editor) == "err nowindow", 20, "the editing copy ended")
        assert machine_port(driver) == (REG_DWORD, dword(new_port))
        moved_to(new_port, ports["data"])
        wait_for(lambda: driver.text(bridge.hwnd, LISTEN_PORT) == str(new_port), 10, "the panel showing the new port")
    finally:
        store_machine(driver, **{"Portu IP nasłuchu": ports["data"]})
        assert driver.control_service("Vextor", PARAMCHANGE) == 0
    moved_to(ports["data"], new_port)


def test_a_setting_written_by_hand_is_applied_by_paramchange_or_at_the_next_start(wine, driver, start_bridge, serving,
                                                                                    ports):
    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    new_port = free_port()
    try:
        # Settings that cannot be served leave the service idle, and the panel says why.
        store_machine(driver, **{"Portu IP nasłuchu": ports["config"]})
        assert driver.control_service("Vextor", PARAMCHANGE) == 0
        status_is(driver, bridge, "Usługa nie nasłuchuje: Port konfiguracji musi być inny niż port nasłuchu.",
                  "the failure in the panel")
        assert refused(ports["data"])
        store_machine(driver, **{"Portu IP nasłuchu": new_port})
        assert driver.control_service("Vextor", PARAMCHANGE) == 0
        moved_to(new_port, ports["data"])
        status_is(driver, bridge, "(brak połączenia)", "the service listening again")
        control(wine, "net", "stop", "Vextor")
        wait_state(driver, "STOPPED")
        assert driver.control_service("Vextor", PARAMCHANGE) == ERROR_SERVICE_NOT_ACTIVE
    finally:
        store_machine(driver, **{"Portu IP nasłuchu": ports["data"]})
    control(wine, "sc", "start", "Vextor")
    wait_state(driver, "RUNNING")
    answers_at(ports["data"])


def test_uninstall_removes_the_service_and_its_events_and_keeps_the_settings(wine, driver, program, start_bridge,
                                                                             serving):
    # With a panel open beside the service: it holds no handle that would leave the service
    # waiting for deletion.
    bridge = start_bridge()
    status_is(driver, bridge, "(brak połączenia)", "the service's status")
    code, _, err = program.run("--uninstall-service")
    assert code == 0, err
    assert service_state(driver) is None
    status_is(driver, bridge, "Usługa Vextor nie jest zainstalowana", "the panel told")
    assert [driver.registry(SERVICE_KEY), driver.registry(EVENT_SOURCE_KEY)] == [None, None]
    assert driver.registry(MACHINE_KEY) is not None
    assert os.path.isdir(os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK", "Vextor"))
    # Again, with nothing to remove: a note, and success.
    code, out, _ = program.run("--uninstall-service")
    assert code == 0 and out

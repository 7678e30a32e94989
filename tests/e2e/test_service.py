"""The bridge as a Windows service: its verbs, what --install-service sets up and --uninstall-service removes."""
import os
import shutil
import subprocess

import pytest

from wineenv import BUILD, WINE, UiDriver, WineSession, hexed, unhexed

SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\Vextor"
EVENT_SOURCE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\Vextor"
# The release is 32-bit: its HKLM\SOFTWARE is this, seen from the 64-bit driver.
MACHINE_KEY = "HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.\\vextor\\Settings"
MACHINE_KEY_64 = "HKLM\\Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
REG_SZ, REG_DWORD = 1, 4
MSG_LISTENER_FAILED = 102


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
        self.windows_path = "Z:" + self.exe.replace("/", "\\")

    def run(self, *args):
        out, err = os.path.join(self.folder, "out.txt"), os.path.join(self.folder, "err.txt")
        with open(out, "wb") as o, open(err, "wb") as e:
            code = subprocess.run([WINE, self.exe, *args], cwd=self.folder, env=self.wine.env, stdout=o, stderr=e,
                                  stdin=subprocess.DEVNULL, timeout=90).returncode
        with open(out, "rb") as o, open(err, "rb") as e:
            return code, o.read().decode("utf-8"), e.read().decode("utf-8")

    def service_state(self):
        """The STATE line's word from `sc query`, or None when the service manager knows no Vextor."""
        answer = subprocess.run([WINE, "sc", "query", "Vextor"], env=self.wine.env, capture_output=True, timeout=60)
        if answer.returncode != 0:
            return None
        for line in answer.stdout.decode("cp1250", "replace").splitlines():
            if "STATE" in line:
                return line.split()[-1]
        return "?"


@pytest.fixture(scope="module")
def system(tmp_path_factory):
    """A Windows of its own, restarted once after its creation and then held with `wineserver -p`: the
    session that creates a prefix can be left with two service managers answering in turn, and
    service processes do not keep the Wine server alive."""
    session = WineSession()
    server = os.path.join(os.path.dirname(WINE), "wineserver")
    subprocess.run([server, "-k"], env=session.env, timeout=60)
    subprocess.run([server, "-w"], env=session.env, timeout=60)
    subprocess.run([server, "-p"], env=session.env, check=True, timeout=60)
    ui = UiDriver(session)
    yield session, ui
    ui.close()
    session.close()


@pytest.fixture(scope="module")
def wine(system):
    return system[0]


@pytest.fixture(scope="module")
def driver(system):
    return system[1]


@pytest.fixture(scope="module")
def program(wine, driver, tmp_path_factory):
    vextor = Program(wine, str(tmp_path_factory.mktemp("service")))
    yield vextor
    # Whatever a failed test left: no service, no event source, no machine settings, no data folder.
    vextor.run("--uninstall-service")
    if vextor.service_state() is not None:
        subprocess.run([WINE, "sc", "delete", "Vextor"], env=wine.env, capture_output=True, timeout=60)
    driver.delete_key("HKLM\\Software\\Wow6432Node\\MORVEK Sp. z o.o.")
    driver.delete_key(EVENT_SOURCE_KEY)
    shutil.rmtree(os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK"), ignore_errors=True)


def test_unknown_verbs_and_extra_arguments_are_refused_on_the_console(program):
    code, _, err = program.run("--bogus")
    assert code == 2 and '"--bogus"' in err
    code, _, err = program.run("--install-service", "now")
    assert code == 2 and '"now"' in err
    assert program.service_state() is None, "a refused line installed the service"
    # Started by hand, the service's own verb ends at once with a reason.
    code, _, err = program.run("--service")
    assert code != 0 and err


def test_install_sets_up_the_service_its_events_its_folder_and_the_machine_settings(wine, driver, program):
    code, out, err = program.run("--install-service")
    assert code == 0, err

    service = driver.registry(SERVICE_KEY)
    assert service is not None
    assert text(service["ImagePath"]) == f'"{program.windows_path}" --service'
    assert service["Start"] == (REG_DWORD, (2).to_bytes(4, "little"))
    assert text(service["ObjectName"]) == "NT AUTHORITY\\LocalService"
    assert text(service["Description"])
    assert program.service_state() is not None

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
    assert settings is not None and settings["Numer portu"] == (REG_DWORD, (1).to_bytes(4, "little"))
    assert driver.registry(MACHINE_KEY_64) is None, "the settings went to the 64-bit view"


def test_a_second_install_keeps_everything_as_it_was(driver, program):
    driver.set_value(MACHINE_KEY, "Portu IP nasłuchu", REG_DWORD, (5100).to_bytes(4, "little"))
    before = [driver.registry(key) for key in (SERVICE_KEY, EVENT_SOURCE_KEY, MACHINE_KEY)]
    code, _, err = program.run("--install-service")
    assert code == 0, err
    assert [driver.registry(key) for key in (SERVICE_KEY, EVENT_SOURCE_KEY, MACHINE_KEY)] == before


def test_uninstall_removes_the_service_and_its_events_and_keeps_the_settings(wine, driver, program):
    code, _, err = program.run("--uninstall-service")
    assert code == 0, err
    assert program.service_state() is None
    assert driver.registry(SERVICE_KEY) is None
    assert driver.registry(EVENT_SOURCE_KEY) is None
    assert driver.registry(MACHINE_KEY) is not None
    assert os.path.isdir(os.path.join(wine.prefix, "drive_c", "ProgramData", "MORVEK", "Vextor"))
    # Again, with nothing to remove: a note, and success.
    code, out, _ = program.run("--uninstall-service")
    assert code == 0 and out

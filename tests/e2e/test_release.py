"""What users get: the version read back from the binaries, the release's files, and the setup program
installing, starting and uninstalling the bridge in a Windows of its own."""
import hashlib
import os
import re
import subprocess
import zipfile

import pytest

from conftest import PANEL_TITLE, REG_SZ, ROOT, free_port, windows_path
from exchange_sim import SimulatedExchange
from test_service import (EVENT_SOURCE_KEY, MACHINE_KEY, SERVICE_KEY, WINE_PORTS, answers_at, service_state,
                          store_machine, wait_state)
from wineenv import WINE, UiDriver, WineSession, hexed, hold_new_session, unhexed, wait_for

VERSION = open(os.path.join(ROOT, "VERSION")).readline().strip()
MAKER = "MORVEK Sp. z o.o."
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vextor"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SETTINGS_KEY = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
OK = 1


@pytest.mark.parametrize("build", ["x86_64", "i686"])
@pytest.mark.parametrize("binary, description", [
    ("vextor.exe", "Serwer komunikacji z centralą poprzez ethernet"),
    ("MorvekNews.dll", "Wiadomości producenta dla programu konfiguracyjnego centrali")])
def test_the_version_resource_reads_back_through_windows(driver, build, binary, description):
    items = driver.ok("fileversion", hexed(windows_path(os.path.join(ROOT, "build", build, binary))))
    info = dict(unhexed(item).decode("cp1250").split("=", 1) for item in items)
    assert info["fixed"] == VERSION + ".0"
    assert info["FileVersion"] == info["ProductVersion"] == VERSION
    assert info["CompanyName"] == MAKER
    assert info["FileDescription"] == description
    assert info["OriginalFilename"] == binary
    assert MAKER in info["LegalCopyright"]


def test_the_release_holds_a_setup_program_a_kit_and_their_checksums():
    dist = os.path.join(ROOT, "dist")
    setup, kit = f"vextor-setup-{VERSION}.exe", f"MorvekNews-kit-{VERSION}.zip"
    assert sorted(os.listdir(dist)) == sorted([setup, kit, "SHA256SUMS"])
    with open(os.path.join(dist, "SHA256SUMS")) as f:
        sums = dict(reversed(line.split()) for line in f if line.strip())
    for name in (setup, kit):
        with open(os.path.join(dist, name), "rb") as f:
            assert sums[name] == hashlib.sha256(f.read()).hexdigest(), name

    listing = subprocess.run(["7z", "l", os.path.join(dist, setup)], capture_output=True, text=True, check=True).stdout
    assert "NSIS-3 Unicode" in listing
    # The program comes out under a name of its own first, then takes the old one's place.
    assert re.search(r"\svextor-new\.exe$", listing, re.M) and re.search(r"\suninstall\.exe$", listing, re.M)

    with zipfile.ZipFile(os.path.join(dist, kit)) as archive:
        names = {name.split("/", 1)[1] for name in archive.namelist()}
    assert names == {"MorvekNews.dll", "README.md", "include/MorvekNews.h", "lib/MorvekNews.lib", "lib/MorvekNews.def",
                     "sample/sample_host.c", "sample/sample_host.exe", "sample/newshost.cpp", "sample/newshost.exe"}


@pytest.fixture(scope="module")
def windows(tmp_path_factory):
    """A Windows of its own for installing: nothing the other tests set up is touched."""
    session = WineSession(own_display=True)
    ui = UiDriver(session)
    yield session, ui
    ui.close()
    session.close()


@pytest.fixture(scope="module")
def setup_program(tmp_path_factory):
    # The same script as the release's, with the 64-bit stubs and the x86_64 build, which run here.
    out = str(tmp_path_factory.mktemp("setup") / "vextor-setup-x64.exe")
    subprocess.run(["makensis", "-V2", f"-DVERSION={VERSION}", f"-DPROGRAM_DIR={os.path.join(ROOT, 'build', 'x86_64')}",
                    f"-DOUTFILE={out}", "-DAMD64", os.path.join(ROOT, "installer", "vextor.nsi")], check=True,
                   stdout=subprocess.DEVNULL)
    return out


def text(values, name):
    return values[name][1].rstrip(b"\0").decode("cp1250")


def run_windows_program(session, *command):
    subprocess.run([WINE, *command], env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL, check=True, timeout=120)


def test_silent_install_start_and_uninstall(windows, setup_program):
    session, driver = windows
    drive_c = os.path.join(session.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "MORVEK", "Vextor")
    shortcut = os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Vextor.lnk")
    installed = "C:\\Program Files\\MORVEK\\Vextor"

    run_windows_program(session, setup_program, "/S", "/AUTOSTART")
    assert sorted(os.listdir(folder)) == ["uninstall.exe", "vextor.exe"]
    assert os.path.exists(shortcut)
    entry = driver.registry(UNINSTALL_KEY)
    assert [text(entry, name) for name in ("DisplayName", "DisplayVersion", "Publisher", "UninstallString")] == \
        ["Vextor", VERSION, MAKER, f'"{installed}\\uninstall.exe"']
    assert text(driver.registry(RUN_KEY), "Vextor") == f'"{installed}\\vextor.exe"'

    # The program runs from where it was put; "&Koniec" ends it and saves its settings.
    bridge = session.start(os.path.join(folder, "vextor.exe"), os.path.join(drive_c, "users", "Public"))
    try:
        panel = driver.find(PANEL_TITLE, 30000)
        assert panel, "the installed bridge showed no panel"
        driver.click(panel, OK)
        bridge.wait(15)
    finally:
        if bridge.poll() is None:
            bridge.kill()
            bridge.wait(15)
    assert driver.registry(SETTINGS_KEY)

    # The uninstaller copies itself away and returns at once: wait for its work, with a deadline.
    run_windows_program(session, os.path.join(folder, "uninstall.exe"), "/S")
    # It removes the folders, the shortcut and the registry entries one after the other: each has its own wait.
    wait_for(lambda: not os.path.exists(folder), 60, "the program folder to go")
    wait_for(lambda: not os.path.exists(os.path.join(drive_c, "Program Files", "MORVEK")), 30, "the maker's folder to go")
    wait_for(lambda: not os.path.exists(shortcut), 30, "the shortcut to go")
    wait_for(lambda: driver.registry(UNINSTALL_KEY) is None, 30, "the installed-programs entry to go")
    wait_for(lambda: "Vextor" not in (driver.registry(RUN_KEY) or {}), 30, "the start with Windows to go")
    assert driver.registry(SETTINGS_KEY), "a plain uninstall keeps the settings"

    # Without the start with Windows, and an uninstall asked to remove the settings too.
    run_windows_program(session, setup_program, "/S")
    assert os.path.exists(os.path.join(folder, "vextor.exe"))
    assert "Vextor" not in (driver.registry(RUN_KEY) or {})
    run_windows_program(session, os.path.join(folder, "uninstall.exe"), "/S", "/REMOVESETTINGS")
    wait_for(lambda: not os.path.exists(folder), 60, "the program folder to go")
    wait_for(lambda: driver.registry(SETTINGS_KEY) is None, 30, "the settings to go")


@pytest.fixture(scope="module")
def server_windows():
    """A Windows of its own for the service, held (service processes do not keep Wine's server
    alive), with the simulated exchange as COM1. The services link the COM ports afresh when they
    start, whenever that is over: so COM1 is named in the registry, then the Windows restarted."""
    session = WineSession(own_display=True)
    hold_new_session(session)
    ui = UiDriver(session)
    exchange = SimulatedExchange(os.path.join(session.prefix, "dosdevices", "com1"), mode="at")
    ui.set_value(WINE_PORTS, "COM1", REG_SZ, os.ttyname(exchange.slave).encode() + b"\0")
    ui.close()
    hold_new_session(session)
    ui = UiDriver(session)
    yield session, ui
    exchange.close()
    ui.close()
    session.close()


def test_setup_installs_upgrades_and_removes_the_service(server_windows, setup_program):
    session, driver = server_windows
    drive_c = os.path.join(session.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "MORVEK", "Vextor")
    data = os.path.join(drive_c, "ProgramData", "MORVEK", "Vextor")
    uninstaller = os.path.join(folder, "uninstall.exe")
    port = free_port()
    store_machine(driver, **{"Portu IP nasłuchu": port, "configPort": free_port()})

    run_windows_program(session, setup_program, "/S", "/SERVICE", "/AUTOSTART")
    wait_state(driver, "RUNNING")
    answers_at(port)
    assert "Vextor" not in (driver.registry(RUN_KEY) or {}), "the service and a start at logon both"
    installed = driver.registry(SERVICE_KEY)
    assert installed["ImagePath"][1].decode("cp1250").rstrip("\0") == '"C:\\Program Files\\MORVEK\\Vextor\\vextor.exe" --service'

    # An upgrade: the service is stopped for the new file, kept as it was, and serving again.
    run_windows_program(session, setup_program, "/S")
    wait_state(driver, "RUNNING")
    answers_at(port)
    assert driver.registry(SERVICE_KEY) == installed
    assert sorted(os.listdir(folder)) == ["uninstall.exe", "vextor.exe"]

    run_windows_program(session, uninstaller, "/S")
    wait_for(lambda: not os.path.exists(folder), 60, "the program folder to go")
    wait_for(lambda: service_state(driver) is None, 30, "the service to go")
    assert driver.registry(EVENT_SOURCE_KEY) is None
    assert driver.registry(MACHINE_KEY) is not None and os.path.isdir(data), "a plain uninstall keeps the settings"

    # Asked to, the uninstaller removes the machine's settings and the data folder too.
    run_windows_program(session, setup_program, "/S", "/SERVICE")
    wait_state(driver, "RUNNING")
    run_windows_program(session, uninstaller, "/S", "/REMOVESETTINGS")
    wait_for(lambda: not os.path.exists(folder), 60, "the program folder to go")
    wait_for(lambda: driver.registry(MACHINE_KEY) is None, 30, "the machine's settings to go")
    wait_for(lambda: not os.path.exists(data), 30, "the data folder to go")
    assert service_state(driver) is None

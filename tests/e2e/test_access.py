"""The access dialog: opened from the panel, locked while listening, its values stored with the others."""
import pytest

from conftest import REG_DWORD, REG_SZ, dword, free_port, store_settings, sz
from wineenv import wait_for

OK, CANCEL, LISTEN, CONFIG_PORT, ACCESS = 1, 2, 1006, 1036, 1040
LISTEN_ADDRESS, ALLOWED, NEWCOMER, REFUSE, SAME_ADDRESS, CONFIG_PORT_ON, RFC2217_PORT, TRACE_FILE = range(1041, 1049)
REG_BINARY = 3
TITLE = "Dostęp do serwera"


@pytest.fixture(autouse=True)
def empty_registry(driver):
    driver.delete_key("Software\\MORVEK Sp. z o.o.")


def open_access(driver, panel):
    driver.post_click(panel, ACCESS)
    dialog = driver.find(TITLE, 10000)
    assert dialog, "the access dialog did not open"
    return dialog


def wait_closed(driver, dialog):
    wait_for(lambda: driver.ask("visible", dialog) == "err nowindow", 10, "the access dialog to close")


def test_access_settings_from_their_dialog_to_the_registry(start_bridge, driver):
    key = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
    # Values of the wrong type or size count as missing; a stored address this machine does not list is shown.
    driver.set_value(key, "takeover", REG_SZ, sz("2"))
    driver.set_value(key, "configPortEnabled", REG_BINARY, b"\0")
    driver.set_value(key, "listenAddress", REG_SZ, sz("10.9.8.7"))
    store_settings(driver, comPort=0, listenPort=free_port())
    bridge = start_bridge()
    panel = bridge.hwnd
    driver.set_text(panel, CONFIG_PORT, str(free_port()))

    dialog = open_access(driver, panel)
    assert [driver.item_text(dialog, LISTEN_ADDRESS, i) for i in (0, 1)] == \
        ["Wszystkie interfejsy", "Tylko ten komputer (127.0.0.1)"]
    assert driver.text(dialog, LISTEN_ADDRESS) == "10.9.8.7"
    assert [driver.checked(dialog, i) for i in (NEWCOMER, REFUSE, SAME_ADDRESS, CONFIG_PORT_ON)] == [1, 0, 0, 1]
    driver.click(dialog, SAME_ADDRESS)
    driver.click(dialog, CANCEL)
    wait_closed(driver, dialog)

    dialog = open_access(driver, panel)
    assert driver.checked(dialog, NEWCOMER) == 1, "Cancel changed the rule"
    driver.select(dialog, LISTEN_ADDRESS, 1)
    driver.set_text(dialog, ALLOWED, "192.168.1.0/24, 10.0.0.256 127.0.0.2")
    driver.click(dialog, SAME_ADDRESS)
    driver.click(dialog, CONFIG_PORT_ON)
    driver.set_text(dialog, RFC2217_PORT, "2217")
    driver.set_text(dialog, TRACE_FILE, "C:\\Dzienniki\\połączenia.txt")
    driver.post_click(dialog, OK)
    box = driver.message_box()
    assert box and box[1:] == ("vextor", "\"10.0.0.256\" nie jest adresem IPv4 ani zakresem adresów "
                                         "(na przykład 10.0.0.5 albo 192.168.1.0/24).")
    driver.click(box[0], OK)
    wait_for(lambda: driver.focus(dialog) == (ALLOWED, 16, 26), what="the bad entry selected")
    driver.set_text(dialog, ALLOWED, "192.168.1.0/24, 127.0.0.2")
    driver.click(dialog, OK)
    wait_closed(driver, dialog)

    # Locked with the other connection settings while the bridge listens.
    driver.click(panel, LISTEN)
    wait_for(lambda: driver.text(panel, LISTEN) == "&Stop", what="listening")
    assert not driver.enabled(panel, ACCESS)
    wait_for(lambda: driver.enabled(panel, LISTEN), what="the Listen lock to expire")
    driver.click(panel, LISTEN)
    wait_for(lambda: driver.text(panel, LISTEN) == "&Nasłuchuj ...", what="idle")
    assert driver.enabled(panel, ACCESS)

    driver.click(panel, OK)
    bridge.wait_exit()
    stored = driver.registry(key)
    assert {name: stored[name] for name in ("listenAddress", "allowedClients", "takeover", "configPortEnabled",
                                            "rfc2217Port", "traceFileName")} == {
        "listenAddress": (REG_SZ, sz("127.0.0.1")),
        "allowedClients": (REG_SZ, sz("192.168.1.0/24, 127.0.0.2")),
        "takeover": (REG_DWORD, dword(2)),
        "configPortEnabled": (REG_DWORD, dword(0)),
        "rfc2217Port": (REG_DWORD, dword(2217)),
        "traceFileName": (REG_SZ, sz("C:\\Dzienniki\\połączenia.txt")),
    }

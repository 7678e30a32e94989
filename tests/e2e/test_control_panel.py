"""The control panel driven as a user would: enabling rules, presets, field checks, Listen lock, tray."""
import pytest

from conftest import REG_DWORD, SETTINGS_KEY, dword, free_port, store_settings
from wineenv import wait_for

OK, LISTEN, STATUS = 1, 1006, 1038
COM1, COM2, LOG_TO_TCP, LOG_TO_FILE, LOG_FILE_NAME = 1000, 1001, 1002, 1008, 1009
LISTEN_PORT, CONFIG_PORT, LOG_ADDRESS, LOG_PORT = 1007, 1036, 1003, 1005
SPEED, PARITY, STOP_BITS, MODEL, MANUAL = 1018, 1021, 1023, 1033, 1034
WM_CLOSE, WM_SYSCOMMAND, WM_TRAY, WM_LBUTTONDOWN, WM_RBUTTONDOWN = 0x10, 0x112, 0x402, 0x201, 0x204
SC_MINIMIZE, VK_RETURN, VK_ESCAPE = 0xF020, 0x0D, 0x1B
TRAY_ICON = 131


def enabled_set(driver, hwnd, ids):
    return {i for i in ids if driver.enabled(hwnd, i)}


def test_manual_parameters_and_model_preset(start_bridge, driver):
    bridge = start_bridge()
    h = bridge.hwnd
    assert enabled_set(driver, h, [SPEED, PARITY, STOP_BITS, MODEL]) == {SPEED, PARITY, STOP_BITS}

    driver.click(h, MANUAL)
    wait_for(lambda: driver.enabled(h, MODEL), what="model list enabled")
    wait_for(lambda: enabled_set(driver, h, [SPEED, PARITY, STOP_BITS]) == set(), what="serial parameters disabled")

    driver.select(h, MODEL, 4)
    wait_for(lambda: driver.text(h, LISTEN_PORT) == "5001", what="preset ports")
    wait_for(lambda: driver.text(h, CONFIG_PORT) == "5002", what="the preset configuration port")
    wait_for(lambda: (driver.text(h, SPEED), driver.text(h, STOP_BITS), driver.text(h, PARITY)) ==
             ("19200", "2", "None "), what="the preset serial parameters")

    driver.click(h, MANUAL)
    wait_for(lambda: not driver.enabled(h, MODEL), what="model list disabled again")
    wait_for(lambda: enabled_set(driver, h, [SPEED, PARITY, STOP_BITS]) == {SPEED, PARITY, STOP_BITS},
             what="serial parameters enabled again")


def test_log_check_boxes_enable_their_fields(start_bridge, driver):
    # Ports of their own (with the defaults the log link would reach the bridge's own data port), and no
    # COM port, whose boxes are not what this test is about.
    store_settings(driver, comPort=0, listenPort=free_port(), logPort=free_port())
    bridge = start_bridge()
    h = bridge.hwnd
    assert not driver.enabled(h, LOG_FILE_NAME) and not driver.enabled(h, LOG_ADDRESS)
    driver.click(h, LOG_TO_FILE)
    driver.click(h, LOG_TO_TCP)
    wait_for(lambda: driver.enabled(h, LOG_ADDRESS), what="receiver fields enabled")
    wait_for(lambda: enabled_set(driver, h, [LOG_FILE_NAME, LOG_PORT, 1004, 1011]) ==
             {LOG_FILE_NAME, LOG_PORT, 1004, 1011}, what="the file name and the receiver's fields enabled")

    # Two clicks within half a second act once. While listening the file-name field is locked; after
    # Stop the ticked box frees it again.
    assert driver.ok("clicks", h, LISTEN, 2) == ["1"]
    wait_for(lambda: driver.text(h, LISTEN) == "&Stop", what="listening look")
    wait_for(lambda: driver.text(h, STATUS) == "(brak połączenia)", what="the status while listening")
    wait_for(lambda: enabled_set(driver, h, [COM1, COM2, LOG_TO_TCP, LOG_TO_FILE, LISTEN_PORT, CONFIG_PORT,
                                             MANUAL]) == set(), what="the connection settings locked")
    wait_for(lambda: driver.enabled(h, LISTEN), what="Listen lock to expire")
    assert driver.text(h, LISTEN) == "&Stop"
    driver.click(h, LISTEN)
    wait_for(lambda: driver.text(h, LISTEN) == "&Nasłuchuj ...", what="idle look")
    wait_for(lambda: enabled_set(driver, h, [LOG_FILE_NAME, LOG_ADDRESS, COM1, LISTEN_PORT, SPEED]) ==
             {LOG_FILE_NAME, LOG_ADDRESS, COM1, LISTEN_PORT, SPEED}, what="the settings free again")
    assert not driver.enabled(h, MODEL)


@pytest.mark.parametrize("text", ["abc", ""])
def test_invalid_listen_port_is_refused_with_focus_on_the_field(start_bridge, driver, text):
    bridge = start_bridge()
    h = bridge.hwnd
    driver.set_text(h, LISTEN_PORT, text)
    driver.post_click(h, LISTEN)
    box = driver.message_box()
    assert box and box[1] == "vextor" and box[2] == "Wpisz liczbę całkowitą."
    driver.click(box[0], OK)
    wait_for(lambda: driver.focus(h) == (LISTEN_PORT, 0, len(text)), what="focus on the listen port")
    assert driver.text(h, LISTEN) == "&Nasłuchuj ..." and driver.enabled(h, LISTEN)

    # The same refusal keeps "&Koniec" from ending the program.
    driver.post_click(h, OK)
    box = driver.message_box()
    driver.click(box[0], OK)
    wait_for(lambda: driver.message_box(0) is None, what="message box closed")
    assert bridge.alive()


def test_trailing_garbage_is_ignored_and_enter_ends_like_koniec_saving_to_the_programs_own_key(start_bridge, driver):
    bridge = start_bridge(name="centrala2")  # a renamed copy
    h = bridge.hwnd
    driver.set_text(h, LISTEN_PORT, "5003x")
    driver.key(h, CONFIG_PORT, VK_RETURN)
    bridge.wait_exit()
    assert driver.registry(bridge.key)["Portu IP nasłuchu"] == (REG_DWORD, dword(5003))
    assert driver.registry(SETTINGS_KEY.format("vextor")) is None


@pytest.mark.parametrize("hide", ["close", "minimise", "escape"])
def test_hiding_keeps_the_process_and_the_tray_icon_toggles(start_bridge, driver, hide):
    bridge = start_bridge()
    h = bridge.hwnd
    assert driver.tray_icon_exists(h, TRAY_ICON)
    {"close": lambda: driver.post(h, WM_CLOSE), "minimise": lambda: driver.post(h, WM_SYSCOMMAND, SC_MINIMIZE),
     "escape": lambda: driver.key(h, LISTEN_PORT, VK_ESCAPE)}[hide]()
    wait_for(lambda: not driver.visible(h), what="panel hidden")
    # The panel adds its icon again after it has hidden itself.
    wait_for(lambda: driver.tray_icon_exists(h, TRAY_ICON), what="the tray icon")
    assert bridge.alive()

    driver.post(h, WM_TRAY, TRAY_ICON, WM_RBUTTONDOWN)
    driver.post(h, WM_TRAY, TRAY_ICON, WM_LBUTTONDOWN)
    wait_for(lambda: driver.visible(h), what="panel shown by the tray click")
    wait_for(lambda: driver.ok("iconic", h) == ["0"], what="panel restored, not minimised")
    driver.post(h, WM_TRAY, TRAY_ICON, WM_LBUTTONDOWN)
    wait_for(lambda: not driver.visible(h), what="panel hidden by the next click")

    driver.post(h, WM_TRAY, TRAY_ICON, WM_LBUTTONDOWN)
    wait_for(lambda: driver.visible(h), what="panel shown again")
    driver.click(h, OK)
    bridge.wait_exit()


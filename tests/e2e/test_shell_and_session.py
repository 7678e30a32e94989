"""The bridge as a good citizen of the Windows session: its tray icon outlives a restart of the shell,
the end of the session keeps its settings, and a second start hands over to the copy that runs."""
from conftest import PANEL_TITLE, REG_DWORD, REG_SZ, dword, free_port, store_settings, sz
from wineenv import hexed, wait_for

OK, LISTEN, LOG_ADDRESS, LOG_PORT, IDM_ABOUTBOX = 1, 1006, 1003, 1005, 16
WM_CLOSE, WM_QUERYENDSESSION, WM_ENDSESSION, WM_SYSCOMMAND = 0x10, 0x11, 0x16, 0x112
WM_TRAY, WM_LBUTTONDOWN = 0x402, 0x201
ENDSESSION_LOGOFF = 0x80000000
TRAY_ICON = 131


def test_a_restarted_shell_gets_the_icon_back(start_bridge, driver):
    bridge = start_bridge()
    h = bridge.hwnd
    # Sent, not posted; still waited for, since the driver's send gives up after ten seconds and a
    # busy machine may have the panel hide itself and add its icon later than that.
    driver.send(h, WM_CLOSE)
    wait_for(lambda: not driver.visible(h) and driver.tray_icon_exists(h, TRAY_ICON), what="panel hidden to the tray")
    # The shell restarts: its notification area is new and empty, and it says so to every window.
    assert driver.forget_tray_icon(h, TRAY_ICON)
    assert not driver.tray_icon_exists(h, TRAY_ICON)
    driver.send(h, driver.registered_message("TaskbarCreated"))
    # The shell itself holds the icon again: a change to it is accepted for the panel's window.
    wait_for(lambda: driver.tray_icon_exists(h, TRAY_ICON), what="the icon added again")
    driver.post(h, WM_TRAY, TRAY_ICON, WM_LBUTTONDOWN)
    wait_for(lambda: driver.visible(h), what="panel shown by the icon")


def test_the_end_of_the_session_keeps_the_settings_and_ends_the_program(start_bridge, driver):
    data_port = free_port()
    store_settings(driver, comPort=0, listenPort=data_port)
    bridge = start_bridge()
    h = bridge.hwnd
    assert driver.click(h, LISTEN)
    wait_for(lambda: driver.text(h, LISTEN) == "&Stop", what="listening")
    # One edit the program can keep and one it cannot read: nobody is there to answer a box.
    driver.set_text(h, LOG_ADDRESS, "odbiorca.lan")
    driver.set_text(h, LOG_PORT, "abc")
    # An open About box holds the program after its panel has ended: what is stored by then was
    # stored while the session's end was announced, before the process could be ended.
    driver.post(h, WM_SYSCOMMAND, IDM_ABOUTBOX)
    about = driver.find("O kavrel ...")
    assert driver.send(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == 1
    driver.send(h, WM_ENDSESSION, 1, ENDSESSION_LOGOFF)
    assert bridge.alive()

    # Read at once: the program must have stored them before its answer, since the process may be
    # ended as soon as it has answered.
    stored = driver.registry(bridge.key)
    assert stored["Adres IP logowania"] == (REG_SZ, sz("odbiorca.lan"))
    assert stored["Port IP logowania"] == (REG_DWORD, dword(5000))
    assert stored["Portu IP nasłuchu"] == (REG_DWORD, dword(data_port))
    assert stored["Numer portu"] == (REG_DWORD, dword(0))
    assert not driver.tray_icon_exists(h, TRAY_ICON)
    driver.click(about, OK)
    bridge.wait_exit(15)


def visible_panels(driver):
    windows = driver.ok("list")
    return sum(1 for item in windows if item.split(":")[1:] == [hexed("#32770"), hexed(PANEL_TITLE)])


def test_a_second_start_brings_the_first_panel_forward_and_ends(start_bridge, driver):
    first = start_bridge()
    driver.post(first.hwnd, WM_CLOSE)
    wait_for(lambda: not driver.visible(first.hwnd), what="panel hidden")
    second = start_bridge(wait=False)
    second.wait_exit(5)
    wait_for(lambda: driver.visible(first.hwnd), what="the first panel shown")
    wait_for(lambda: driver.foreground() == first.hwnd, what="the first panel in front")
    assert first.alive()

    # Under another name it is another program, and it runs beside the first.
    other = start_bridge(name="centrala2", wait=False)
    wait_for(lambda: visible_panels(driver) == 2, 20, "a panel of the other program")
    assert other.alive()

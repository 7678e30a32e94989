"""The bridge's settings in the registry: first run, values the panel cannot show, no sockets."""
from conftest import REG_DWORD, REG_SZ, dword, sz

OK = 1
SPEED, PARITY, STOP_BITS = 1018, 1021, 1023
COM1, COM2 = 1000, 1001
CONFIG_PORT = 1036


def test_first_run_writes_the_defaults(start_bridge, driver):
    bridge = start_bridge()
    assert driver.checked(bridge.hwnd, COM1) == 1 and driver.checked(bridge.hwnd, COM2) == 0
    assert driver.text(bridge.hwnd, SPEED) == "56000"
    driver.click(bridge.hwnd, OK)
    bridge.wait_exit()

    assert driver.registry(bridge.key) == {
        "Numer portu": (REG_DWORD, dword(1)),
        "Prędkość transmisji": (REG_DWORD, dword(56000)),
        "Parzystość": (REG_DWORD, dword(0)),
        "Bity stopu": (REG_DWORD, dword(0)),
        "Portu IP nasłuchu": (REG_DWORD, dword(5000)),
        "Port IP logowania": (REG_DWORD, dword(5000)),
        "Adres IP logowania": (REG_SZ, sz("127.0.0.1")),
        "Nazwa pliku logowania": (REG_SZ, sz("Kavrel.txt")),
        "Logowanie do pliku": (REG_DWORD, dword(0)),
        "Logowanie po TCP/IP": (REG_DWORD, dword(0)),
        "listenAddress": (REG_SZ, sz("")),
        "allowedClients": (REG_SZ, sz("")),
        "takeover": (REG_DWORD, dword(0)),
        "configPortEnabled": (REG_DWORD, dword(1)),
        "traceFileName": (REG_SZ, sz("")),
        "rfc2217Port": (REG_DWORD, dword(0)),
        "configPort": (REG_DWORD, dword(5002)),
    }


def test_stored_values_the_panel_cannot_show_and_a_changed_parity(start_bridge, driver):
    key = "Software\\MORVEK Sp. z o.o.\\vextor\\Settings"
    driver.set_value(key, "Prędkość transmisji", REG_DWORD, dword(12345))
    driver.set_value(key, "Numer portu", REG_DWORD, dword(256))
    driver.set_value(key, "Parzystość", REG_DWORD, dword(1))
    driver.set_value(key, "configPort", REG_DWORD, dword(6002))
    bridge = start_bridge()
    assert driver.text(bridge.hwnd, CONFIG_PORT) == "6002"

    assert driver.selection(bridge.hwnd, SPEED) == -1
    assert (driver.checked(bridge.hwnd, COM1), driver.checked(bridge.hwnd, COM2)) == (0, 0)
    assert driver.selection(bridge.hwnd, PARITY) == 2
    assert driver.text(bridge.hwnd, PARITY) == "Odd"
    assert driver.item_text(bridge.hwnd, PARITY, 1) == "Even"
    driver.select(bridge.hwnd, PARITY, 1)
    driver.click(bridge.hwnd, OK)
    bridge.wait_exit()

    stored = driver.registry(key)
    assert stored["Prędkość transmisji"] == (REG_DWORD, dword(12345))
    assert stored["Numer portu"] == (REG_DWORD, dword(0))
    assert stored["Parzystość"] == (REG_DWORD, dword(2))


def test_socket_layer_failure_reports_and_touches_no_settings(start_bridge, driver):
    # A test build of the program that asks for another socket version, which it then refuses.
    bridge = start_bridge(name="nosock", program="vextor_nosock.exe", wait=False)
    box = driver.message_box(20000)
    assert box, "no message box"
    hwnd, caption, text = box
    assert (caption, text) == ("nosock", "Błąd inicjacji soketu.")
    assert driver.find("kavrel", 0) is None
    driver.click(hwnd, OK)
    bridge.wait_exit()
    assert driver.registry("Software\\MORVEK Sp. z o.o.\\nosock") is None

// Resource and control identifiers of the bridge's dialogs, icons and strings.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONTROL_PANEL 102
#define IDD_ACCESS 103
#define IDR_MAINFRAME 128
#define IDI_TRAY 131
#define IDM_ABOUTBOX 16
// The system menu's command, beside the service, to edit the service's settings.
#define IDM_SERVICE_SETTINGS 32

#define IDC_COM1 1000
#define IDC_COM2 1001
// The other serial ports of the machine, beside the two radio buttons.
#define IDC_COM_OTHER 1051
#define IDC_LOG_TO_TCP 1002
#define IDC_LOG_ADDRESS 1003
#define IDC_LOG_ADDRESS_LABEL 1004
#define IDC_LOG_PORT 1005
#define IDC_LISTEN 1006
#define IDC_LISTEN_PORT 1007
#define IDC_LOG_TO_FILE 1008
#define IDC_LOG_FILE_NAME 1009
#define IDC_TCP_GROUP 1010
#define IDC_LOG_PORT_LABEL 1011
#define IDC_FILE_GROUP 1012
#define IDC_LISTEN_GROUP 1013
#define IDC_COM_GROUP 1014
#define IDC_SERIAL_GROUP 1015
#define IDC_SPEED_LABEL 1016
#define IDC_SPEED 1018
#define IDC_PARITY_LABEL 1019
#define IDC_PARITY 1021
#define IDC_STOP_BITS_LABEL 1022
#define IDC_STOP_BITS 1023
#define IDC_MODEL 1033
#define IDC_MANUAL 1034
#define IDC_CONFIG_PORT 1036
#define IDC_STATUS 1038

// The panel's button to the access dialog, and the dialog's controls.
#define IDC_ACCESS 1040
#define IDC_ACCESS_LISTEN_ADDRESS 1041
#define IDC_ACCESS_ALLOWED 1042
#define IDC_TAKEOVER_NEWCOMER 1043
#define IDC_TAKEOVER_REFUSE 1044
#define IDC_TAKEOVER_SAME_ADDRESS 1045
#define IDC_ACCESS_CONFIG_PORT 1046
#define IDC_ACCESS_RFC2217_PORT 1047
#define IDC_ACCESS_TRACE_FILE 1048

// The shield drawn beside the Listen button while it starts or stops the service.
#define IDC_SERVICE_SHIELD 1060

// Common Win32 include and the framework's global helpers (application, message boxes, resources).
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <windows.h>

#include <string>

class CWinApp;
class CWnd;

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// The module this code is linked into (the library, when it is one): a window class belongs to the
// module that holds its procedure.
HINSTANCE AfxCodeModule();
CWnd* AfxGetMainWnd();
// A message box captioned with the application name, owned by the active window.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
std::string AfxLoadString(UINT id);

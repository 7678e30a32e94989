// Message maps: per-class tables that bind window messages and control notifications to handlers.
#pragma once
#include "Afx.h"

class CWnd;

// Notifications a parent hands back to the control that sent them arrive as this plus the message.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

using AfxMessageHandler = LRESULT (*)(CWnd* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT message;
    UINT code;  // notification code, for WM_COMMAND entries
    UINT id;    // control or command id, for WM_COMMAND entries
    AfxMessageHandler handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* base;
    const AFX_MSGMAP_ENTRY* entries;  // ends with an entry whose handler is null
};

#define DECLARE_MESSAGE_MAP(theClass)                         \
protected:                                                    \
    using ThisClass = theClass;                               \
    static const AFX_MSGMAP_ENTRY messageEntries[];           \
    static const AFX_MSGMAP messageMap;                       \
    const AFX_MSGMAP* GetMessageMap() const override;         \
                                                              \
public:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                               \
    const AFX_MSGMAP theClass::messageMap = {&baseClass::messageMap, theClass::messageEntries}; \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; }         \
    const AFX_MSGMAP_ENTRY theClass::messageEntries[] = {

#define END_MESSAGE_MAP() {0, 0, 0, nullptr}};

#define AFX_HANDLER(body) [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT { \
    [[maybe_unused]] auto* self = static_cast<ThisClass*>(w);            \
    (void)wp; (void)lp; body }

#define ON_COMMAND_CODE(code, id, fn) {WM_COMMAND, code, id, AFX_HANDLER(self->fn(); return 0;)},
#define ON_BN_CLICKED(id, fn) ON_COMMAND_CODE(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_COMMAND_CODE(CBN_SELCHANGE, id, fn)
#define ON_CBN_DROPDOWN(id, fn) ON_COMMAND_CODE(CBN_DROPDOWN, id, fn)
#define ON_EN_CHANGE(id, fn) ON_COMMAND_CODE(EN_CHANGE, id, fn)
#define ON_STN_CLICKED(id, fn) ON_COMMAND_CODE(STN_CLICKED, id, fn)
#define ON_MESSAGE(msg, fn) {msg, 0, 0, AFX_HANDLER(return self->fn(wp, lp);)},
// A message numbered at run time (RegisterWindowMessage): the variable holding its number must be
// initialised before the map, that is defined above it in the same source file.
#define ON_REGISTERED_MESSAGE(variable, fn) {variable, 0, 0, AFX_HANDLER(return self->fn(wp, lp);)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, AFX_HANDLER(self->OnTimer(static_cast<UINT_PTR>(wp)); return 0;)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, AFX_HANDLER(self->OnClose(); return 0;)},
#define ON_WM_SIZE() {WM_SIZE, 0, 0, AFX_HANDLER(self->OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp)); return 0;)},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, AFX_HANDLER(self->OnSysCommand(static_cast<UINT>(wp), lp); return 0;)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AFX_HANDLER(self->OnPaint(); return 0;)},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, AFX_HANDLER(return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());)},
#define ON_CONTROL_REFLECT(code, fn) {WM_REFLECT_BASE + WM_COMMAND, code, 0, AFX_HANDLER(self->fn(); return 0;)},
#define ON_WM_CTLCOLOR_REFLECT() {WM_REFLECT_BASE + WM_CTLCOLORSTATIC, 0, 0, AFX_HANDLER(return reinterpret_cast<LRESULT>(self->CtlColor(reinterpret_cast<HDC>(wp), CTLCOLOR_STATIC));)},
#define ON_WM_SETCURSOR() {WM_SETCURSOR, 0, 0, AFX_HANDLER(return self->OnSetCursor(reinterpret_cast<HWND>(wp), LOWORD(lp), HIWORD(lp));)},
#define ON_WM_MOUSEMOVE() {WM_MOUSEMOVE, 0, 0, AFX_HANDLER(self->OnMouseMove(static_cast<UINT>(wp), POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}); return 0;)},

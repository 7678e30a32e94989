// A worker thread started by AfxBeginThread; the object deletes itself when the thread ends.
#pragma once
#include "Afx.h"

using AFX_THREADPROC = UINT (*)(void* parameter);

class CWinThread {
public:
    HANDLE m_hThread = nullptr;  // valid until the thread ends

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, void*, int, UINT, DWORD);
    CWinThread(AFX_THREADPROC threadProc, void* threadParameter) : proc(threadProc), parameter(threadParameter) {}
    ~CWinThread();
    static DWORD WINAPI Start(void* self);

    AFX_THREADPROC proc;
    void* parameter;
};

// CREATE_SUSPENDED in createFlags leaves the thread waiting for ResumeThread, so that
// the caller can publish the returned object before the thread can look for it.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* parameter, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0);

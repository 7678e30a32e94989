// A worker thread started by AfxBeginThread; the object deletes itself when the thread ends.
#include "CWinThread.h"

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

DWORD WINAPI CWinThread::Start(void* self)
{
    auto* thread = static_cast<CWinThread*>(self);
    const UINT code = thread->proc(thread->parameter);
    delete thread;
    return code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* parameter, int priority, UINT stackSize, DWORD createFlags)
{
    auto* thread = new CWinThread(proc, parameter);
    thread->m_hThread = ::CreateThread(nullptr, stackSize, CWinThread::Start, thread, CREATE_SUSPENDED,
                                       nullptr);
    if (!thread->m_hThread) {
        delete thread;
        return nullptr;
    }
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(thread->m_hThread);
    return thread;
}

// CSingleInstance: one installer at a time in a logon session. The first holds a named mutex and publishes
// its window; a later one finds that window, brings it to the front and ends.
#pragma once

#include <windows.h>

class CSingleInstance
{
public:
    // Takes the session's installer mutex (or learns that another process holds it).
    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when no other installer runs in this session.
    bool IsFirst() const { return m_bFirst; }
    // The first instance tells later ones which window to bring forward.
    void PublishWindow(HWND hWnd);
    // A later instance: restores the first one's window if minimised and brings it to the front, waiting
    // up to dwWaitMs for it to appear (the first may still be starting). False when none was found.
    static bool BringFirstForward(DWORD dwWaitMs);

private:
    HANDLE m_hMutex = nullptr;
    HANDLE m_hMapping = nullptr;
    bool m_bFirst = false;
};

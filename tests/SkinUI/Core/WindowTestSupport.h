// Helpers for the paint manager's window tests: a container that places its children at fixed offsets, a
// control that paints a plain colour with GDI, pixel reading and real input through xdotool.
#pragma once

#include "UITestSupport.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace SkinUITest {

// A container that lays each child out at a fixed rectangle relative to its own top-left corner.
class CBoxUI : public CTestContainerUI
{
public:
    explicit CBoxUI(const char* pstrName, EventLog* pLog = nullptr) : CTestContainerUI(pstrName, pLog) {}

    template <class T>
    T* Place(std::unique_ptr<T> pChild, const RECT& rc)
    {
        T* p = Add(std::move(pChild));
        m_places.emplace_back(p, rc);
        return p;
    }
    void SetPos(RECT rc) override
    {
        CControlUI::SetPos(rc);
        for (const auto& place : m_places) {
            RECT rcChild = place.second;
            ::OffsetRect(&rcChild, rc.left, rc.top);
            place.first->SetPos(rcChild);
        }
    }

    void Paint(HDC hDC, const RECT& rcDirty) override
    {
        CControlUI::Paint(hDC, rcDirty);
        for (const auto& place : m_places) {
            if (place.first->IsVisible())
                place.first->Paint(hDC, rcDirty);
        }
    }

private:
    std::vector<std::pair<CControlUI*, RECT>> m_places;
};

// A control that fills its rectangle with one colour (plain GDI) and records each dirty rectangle.
class CSwatchUI : public CRecordingControlUI
{
public:
    CSwatchUI(const char* pstrName, COLORREF clr, EventLog* pLog = nullptr)
        : CRecordingControlUI(pstrName, pLog), m_clr(clr)
    {
    }
    void SetColor(COLORREF clr) { m_clr = clr; }
    void Paint(HDC hDC, const RECT& rcDirty) override
    {
        dirty.push_back(rcDirty);
        RECT rc;
        if (!::IntersectRect(&rc, &rcDirty, &m_rcPos))
            return;
        const HBRUSH hBrush = ::CreateSolidBrush(m_clr);
        ::FillRect(hDC, &rc, hBrush);
        ::DeleteObject(hBrush);
    }
    std::vector<RECT> dirty;

private:
    COLORREF m_clr;
};

// A recording control that runs a test's hook after logging each event.
class CHookedUI : public CRecordingControlUI
{
public:
    using CRecordingControlUI::CRecordingControlUI;
    void HandleEvent(InputEventUI& event) override
    {
        CRecordingControlUI::HandleEvent(event);
        if (onEvent)
            onEvent(event);
    }
    bool Activate() override
    {
        ++nActivations;
        return CRecordingControlUI::Activate();
    }
    std::function<void(InputEventUI&)> onEvent;
    int nActivations = 0;
};

// The colour of a pixel of a window's client area, as the window shows it.
inline COLORREF WindowPixel(HWND hWnd, int x, int y)
{
    const HDC hDC = ::GetDC(hWnd);
    const COLORREF clr = ::GetPixel(hDC, x, y);
    ::ReleaseDC(hWnd, hDC);
    return clr;
}

inline void FillWindow(HWND hWnd, COLORREF clr)
{
    const HDC hDC = ::GetDC(hWnd);
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    const HBRUSH hBrush = ::CreateSolidBrush(clr);
    ::FillRect(hDC, &rc, hBrush);
    ::DeleteObject(hBrush);
    ::ReleaseDC(hWnd, hDC);
}

// Real input through the X server: xdotool is a program of the machine Wine runs on (a Unix program that
// Wine starts like any other). Absent on Windows, where the tests that need it are skipped.
class XInput
{
public:
    static bool Available() { return ::GetFileAttributesA("Z:\\usr\\bin\\xdotool") != INVALID_FILE_ATTRIBUTES; }

    // Runs xdotool with the arguments, pumping this thread's messages until it has ended. Wine gives no
    // waitable handle for a Unix process, so a shell runs it and then leaves a mark file behind.
    static bool Run(const std::string& sArgs)
    {
        static int s_nRun = 0;
        const std::string sMark =
            "/tmp/skinui-xinput-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_nRun);
        // The arguments are UTF-8 (text to type may hold any character): the command line goes over in UTF-16.
        std::wstring sCmd =
            SkinUI::Utf8ToWide(("/bin/sh -c \"/usr/bin/xdotool " + sArgs + "; touch " + sMark + "\"").c_str());
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (sCmd.empty() ||
            !::CreateProcessW(nullptr, &sCmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        if (pi.hThread != nullptr)
            ::CloseHandle(pi.hThread);
        if (pi.hProcess != nullptr)
            ::CloseHandle(pi.hProcess);
        std::string sMarkPath = "Z:" + sMark;
        for (char& ch : sMarkPath)
            ch = ch == '/' ? '\\' : ch;
        const bool bDone =
            PumpUntil([&sMarkPath] { return ::GetFileAttributesA(sMarkPath.c_str()) != INVALID_FILE_ATTRIBUTES; });
        ::DeleteFileA(sMarkPath.c_str());
        // Let the X events that xdotool caused reach this thread's queue.
        PumpUntil([] { return false; }, 50);
        return bDone;
    }

    // Moves the pointer to a client point of the window (or outside it).
    static bool MoveTo(HWND hWnd, int x, int y)
    {
        POINT pt = {x, y};
        ::ClientToScreen(hWnd, &pt);
        return Run("mousemove " + std::to_string(pt.x) + " " + std::to_string(pt.y));
    }

    // Pumps messages until the condition holds or the time is up; true when it holds.
    template <class F>
    static bool PumpUntil(F condition, DWORD dwMs = 3000)
    {
        const DWORD dwEnd = ::GetTickCount() + dwMs;
        while (!condition()) {
            if (::GetTickCount() >= dwEnd)
                return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            HostWindow::Pump();
        }
        return true;
    }
};

} // namespace SkinUITest

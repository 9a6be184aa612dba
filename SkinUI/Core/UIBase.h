// The native window wrapper (CWindowWnd), the notification pump mixin (CNotifyPump) with its per-class
// notification tables, and the framework's debug trace routine.
#pragma once

#include "SkinUI/Utils/Utils.h"

#include <windows.h>

namespace SkinUI {

struct NotifyEventUI;

// Formats into a 300-byte buffer (at most 298 characters), adds a line break and writes the text to
// the debugger output.
void TraceDebug(const char* pstrFormat, ...);

class CWindowWnd
{
public:
    CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND Handle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    bool RegisterOwnClass();
    bool RegisterSuperclassOf();

    HWND CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx,
                          int cy, HMENU hMenu = nullptr);
    HWND CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                          HMENU hMenu = nullptr);
    HWND CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle);

    void Show(bool bShow = true, bool bTakeFocus = true);
    // Shows the window and runs a message loop until it is gone; returns the wParam of the WM_CLOSE that
    // reached it (0 if none). A WM_QUIT ends the process with its exit code.
    UINT RunModal();
    void CloseWith(UINT nRet = IDOK);
    void CenterOnOwner();
    // Loads the icon resource at the large and the small size and gives both to the window. The object
    // owns them: they are destroyed when replaced and when the window is gone.
    void SetWindowIcon(UINT nRes);

    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT Post(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const char* WindowClassName() const = 0;
    virtual const char* SuperclassName() const;
    virtual UINT ClassStyle() const;
    virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called once after the window received its last message; a self-owning object deletes itself here.
    virtual void OnWindowGone(HWND hWnd);

public:
    virtual ~CWindowWnd();

    static LRESULT CALLBACK ClassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SuperclassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    HWND m_hWnd;
    WNDPROC m_OldWndProc;

private:
    // Ends the binding on WM_NCDESTROY; the object may delete itself in OnWindowGone.
    static void WindowGone(CWindowWnd* pThis, HWND hWnd);
    void DestroyIcons();

    HICON m_hIconBig = nullptr;
    HICON m_hIconSmall = nullptr;
};

// Notification tables. Each class that handles notifications has one NotifyMap whose entries name a
// notification type, optionally a control name, and a member function; the table ends with NotifyMapEnd().
class CNotifyPump;

enum NotifyHandlerKind : unsigned int
{
    NotifyKindEnd = 0,
    NotifyKindWords = 1,  // handler(WPARAM, LPARAM)
    NotifyKindRecord = 2, // handler(NotifyEventUI&)
};

using NotifyWordsHandler = void (CNotifyPump::*)(WPARAM, LPARAM);
using NotifyRecordHandler = void (CNotifyPump::*)(NotifyEventUI&);

struct NotifyMapEntry
{
    CUIString type;
    CUIString controlName;
    unsigned int kind;
    // The handler: the one that matches the kind is set.
    NotifyWordsHandler pfnWords;
    NotifyRecordHandler pfnRecord;
};

struct NotifyMap
{
    const NotifyMap* (*pfnGetBaseMap)();
    const NotifyMapEntry* pEntries;
};

class CNotifyPump
{
public:
    CNotifyPump();
    CNotifyPump(const CNotifyPump&) = delete;
    CNotifyPump& operator=(const CNotifyPump&) = delete;

    virtual const NotifyMap* GetNotifyMap() const;
    virtual ~CNotifyPump();

    bool AddVirtualWindow(const char* pstrName, CNotifyPump* pObject);
    bool RemoveVirtualWindow(const char* pstrName);
    void DispatchNotify(NotifyEventUI& msg);
    bool DispatchByMap(NotifyEventUI& msg);

    // The root of every chain of tables: no entries, no base.
    static const NotifyMap* ThisNotifyMap();

private:
    CUIStringMap m_VirtualWindowMap;
};

// Table entries for a class T derived from CNotifyPump.
template <class T>
NotifyMapEntry NotifyEntry(const char* pstrType, const char* pstrControl, void (T::*pfn)(NotifyEventUI&))
{
    return NotifyMapEntry{pstrType, pstrControl, NotifyKindRecord, nullptr, static_cast<NotifyRecordHandler>(pfn)};
}

template <class T>
NotifyMapEntry NotifyEntry(const char* pstrType, const char* pstrControl, void (T::*pfn)(WPARAM, LPARAM))
{
    return NotifyMapEntry{pstrType, pstrControl, NotifyKindWords, static_cast<NotifyWordsHandler>(pfn), nullptr};
}

inline NotifyMapEntry NotifyMapEnd()
{
    return NotifyMapEntry{"", "", NotifyKindEnd, nullptr, nullptr};
}

} // namespace SkinUI

// Helpers for the control base and paint manager tests: a host window that hands its messages to a paint
// manager, a recording control, a minimal container (the real one is not needed to exercise the registry,
// the visiting orders and tab navigation) and a notification recorder.
#pragma once

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"

#include <memory>
#include <string>
#include <vector>

namespace SkinUITest {

using SkinUI::CControlUI;
using SkinUI::CPaintManagerUI;
using SkinUI::CUIString;
using SkinUI::InputEventUI;
using SkinUI::NotifyEventUI;

// "left,top,right,bottom", for comparing rectangles in assertions.
inline std::string RectText(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

// A window whose procedure hands every message to its paint manager first. Message-only by default (it
// cannot be painted, but timers and focus work); a visible pop-up when painting is needed.
class HostWindow
{
public:
    enum Kind
    {
        MessageOnly,
        VisiblePopup
    };
    explicit HostWindow(CPaintManagerUI& pm, Kind kind = MessageOnly, int cx = 200, int cy = 120);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Handle() const { return m_hWnd; }
    // Dispatches whatever is queued for this thread's windows.
    static void Pump();

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    CPaintManagerUI& m_pm;
    HWND m_hWnd;
};

// A shared, ordered log of what controls and receivers saw.
using EventLog = std::vector<std::string>;

// Names an event kind for the log ("setfocus", "killfocus", "timer", ...).
std::string KindName(int nKind);

// A leaf control that logs every event it handles as "<name>:<kind>[<-sender]" and can be a tab stop.
class CRecordingControlUI : public CControlUI
{
public:
    CRecordingControlUI(const char* pstrName, EventLog* pLog = nullptr, bool bTabStop = false,
                        const char* pstrClass = "RecordingUI");
    CUIString GetClassName() const override { return m_sClass; }
    UINT GetControlFlags() const override { return m_bTabStop ? SkinUI::CONTROL_FLAG_TABSTOP : 0; }
    void HandleEvent(InputEventUI& event) override;

    std::vector<InputEventUI> events;
    std::vector<void*> senders;
    bool* pDeletedFlag = nullptr;
    ~CRecordingControlUI() override;

private:
    EventLog* m_pLog;
    bool m_bTabStop;
    CUIString m_sClass;
};

// A container reduced to what the registry and focus need: it owns its children, passes the manager and
// visibility down, and visits children in the documented orders.
class CTestContainerUI : public CRecordingControlUI
{
public:
    explicit CTestContainerUI(const char* pstrName, EventLog* pLog = nullptr, bool bTabStop = false);
    ~CTestContainerUI() override;

    // Takes ownership; attaches the child to the tree when the container has a manager.
    template <class T>
    T* Add(std::unique_ptr<T> pChild)
    {
        T* p = pChild.release();
        AddOwned(p);
        return p;
    }
    CControlUI* ChildAt(int i) const { return m_children[i]; }

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    CControlUI* FindControl(SkinUI::FindControlProc Proc, void* pData, UINT uFlags) override;

private:
    void AddOwned(CControlUI* pChild);
    std::vector<CControlUI*> m_children;
};

// Records notifications as "<type>:<sender name or null>".
class NotifyRecorder : public SkinUI::INotifyUI
{
public:
    explicit NotifyRecorder(EventLog* pLog) : m_pLog(pLog) {}
    void ReceiveNotify(NotifyEventUI& msg) override;
    std::vector<NotifyEventUI> received;

private:
    EventLog* m_pLog;
};

// Observes debug assertions while it lives.
class AssertCounter
{
public:
    AssertCounter();
    ~AssertCounter();
    int Count() const;
    std::string Last() const;
};

} // namespace SkinUITest

// CPaintManagerUI binds one native window to one tree of controls: it holds the root, routes window
// messages to controls, delivers notifications, runs control timers and owns the shared resources.
// NotifyEventUI and the receiver interfaces it calls are declared here too.
#pragma once

#include "SkinUI/Utils/Utils.h"

#include <windows.h>

namespace SkinUI {

class CControlUI;

// A notification raised by a control and delivered to the window's receivers.
struct NotifyEventUI
{
    CUIString type;
    CUIString virtualWindow;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    CUIPoint mousePoint;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI
{
public:
    virtual void ReceiveNotify(NotifyEventUI& msg) = 0;
};

class IMessageFilterUI
{
public:
    virtual LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

class ITranslateAccelerator
{
public:
    virtual LRESULT TranslateKey(MSG* pMsg) = 0;
};

class CPaintManagerUI
{
public:
    // Process-wide resource location.
    static void SetModuleInstance(HINSTANCE hInst);
    static HINSTANCE GetModuleInstance();
    static CUIString GetModuleFolder();
    static HINSTANCE GetResourceModule();
    static void SetResourceFolder(const char* pStrPath);
    static const CUIString& GetResourceFolder();

    // Offers a queued message to the manager of its target window before it is dispatched; true when
    // the message was consumed.
    static bool RouteQueuedMessage(MSG* pMsg);
};

} // namespace SkinUI

// WindowImplBase: the base of every skinned top-level window. At creation it loads the skin (plain files,
// an archive file, an "xml" resource or a "ZIPRES" archive resource), builds the control tree into its own
// paint manager and then routes each message through its handlers, the paint manager and the default
// procedure. It stands in for the missing frame: caption and border hit-testing, maximising to the work
// area, rounded corners, the skin's system buttons and closing on Escape.
#pragma once

#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Window/UIDlgBuilder.h"
#include "SkinUI/Core/UIManager.h"

namespace SkinUI {

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback
{
public:
    // Where the skin comes from (SkinSourceKind).
    enum : int
    {
        SKIN_FROM_FILE = 1,             // plain files under the resource folder
        SKIN_FROM_ARCHIVE_FILE = 2,     // a zip archive file under the resource folder, held open
        SKIN_FROM_RESOURCE = 3,         // an "xml" resource whose id is the decimal SkinFileName
        SKIN_FROM_ARCHIVE_RESOURCE = 4, // a "ZIPRES" resource with the id SkinResourceId, held open in memory
    };

    WindowImplBase() = default;
    // Destroys a window that still lives, so that no message reaches a dead object.
    ~WindowImplBase() override;

    CPaintManagerUI& GetPaintManager() { return m_pm; }

    // INotifyUI: dispatches through the notification map. A derived window that overrides it passes on
    // what it does not consume, so that the system buttons keep working.
    void ReceiveNotify(NotifyEventUI& msg) override;
    // Pre-message filter: Escape closes the window with code 1. It never consumes the key.
    LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // Builder callback: no tags of its own.
    CControlUI* MakeControl(const char* pstrClass) override;

    static const NotifyMap* ThisNotifyMap();
    const NotifyMap* GetNotifyMap() const override;

protected:
    UINT ClassStyle() const override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND hWnd) override;

    // Called at the end of a successful creation, with the tree installed.
    virtual void OnSkinReady();
    // Closes on "closebtn", minimises on "minbtn", maximises on "maxbtn", restores on "restorebtn".
    virtual void OnClickNotify(NotifyEventUI& msg);

    // Folder of the skin below the module's folder (may be empty).
    virtual CUIString SkinFolderName() const = 0;
    // The skin document's name, or the decimal id of its "xml" resource.
    virtual CUIString SkinFileName() const = 0;
    virtual int SkinSourceKind() const;
    virtual CUIString SkinArchiveName() const;
    virtual CUIResName SkinResourceId() const;
    // The skin could not be loaded or yields no control: tells the user and ends the process with code 1.
    // If an override returns, the window's creation fails.
    virtual void OnSkinLoadFailed();

    virtual LRESULT HandleClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleChar(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // Every message that no handler above kept (bHandled arrives false).
    virtual LRESULT HandleOtherMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // The window's current style without the caption.
    virtual DWORD FrameStyle() const;

    CPaintManagerUI m_pm;

private:
    // Hands the "ZIPRES" skin archive to the paint manager; false when it cannot be had.
    bool OpenArchiveResource();
};

} // namespace SkinUI

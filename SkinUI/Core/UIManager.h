// CPaintManagerUI binds one native window to one tree of controls: it holds the root, keeps the registry of
// controls by name, delivers notifications, runs control timers, moves the keyboard focus, routes window
// messages to controls, paints the tree and owns the shared resources (fonts, images, default attributes).
// Its sources are split by concern: UIManager.cpp (registry, notifications, timers, focus),
// UIManagerMessages.cpp, UIManagerResources.cpp, UIManagerPaint.cpp and UIManagerDpi.cpp (display scale).
// NotifyEventUI and the receiver interfaces the manager calls (and never owns) are declared here too.
#pragma once

#include "SkinUI/Core/UIResourceTypes.h"
#include "SkinUI/Utils/Utils.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>

// The zip reader's archive handle (zip/ZipReader.h); only passed through here.
struct ZipHandleRecord;
typedef ZipHandleRecord* ZipHandle;

namespace SkinUI {

class CControlUI;
class CPaintManagerUI;

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

// A filter sets bHandled to stop further processing of the message; its result is then the window
// procedure's result.
class IMessageFilterUI
{
public:
    virtual LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// 0 from TranslateKey means the queued message was consumed.
class ITranslateAccelerator
{
public:
    virtual LRESULT TranslateKey(MSG* pMsg) = 0;
};

// One control timer: the control's own id mapped to a system timer id of the host window. A stopped timer
// keeps its record (killed) so that starting it again reuses the system id.
struct ControlTimerUI
{
    CControlUI* pSender = nullptr;
    UINT nLocalID = 0;
    HWND hWnd = nullptr;
    UINT uWinTimer = 0;
    bool bKilled = false;
};

// A control factory of a loaded control module: makes a control for a class text, or null.
using ControlFactoryProc = CControlUI* (*)(const char* pstrClass);

// A control that takes the Tab key itself instead of letting it move the focus (the rich edit) answers
// GetInterface("WantTab") with a pointer to this interface (static_cast<IWantTabUI*>(this)).
class IWantTabUI
{
public:
    virtual bool IsWantTab() const = 0;
};

// Posted to the host window to delete the controls queued with ScheduleDelete.
constexpr UINT UIMSG_DELETE_QUEUE = WM_APP + 1;
// Child windows receive their own notification messages back at this offset.
constexpr UINT UIMSG_REFLECT_BASE = 0x2000;

class CPaintManagerUI
{
public:
    CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
    ~CPaintManagerUI();

    // ---- Window and control tree (UIManager.cpp) ----
    void AttachWindow(HWND hWnd);
    HWND GetHostWindow() const;
    bool SetRootControl(CControlUI* pControl);
    CControlUI* GetRootControl() const;
    bool AttachControlTree(CControlUI* pControl, CControlUI* pParent);
    // Drops every reference the manager holds to a control leaving the tree or being deleted.
    void ForgetControl(CControlUI* pControl);
    void ScheduleDelete(CControlUI* pControl);
    void MarkLayoutNeeded();
    void InvalidateArea(const RECT* pRect);

    CControlUI* FindControlByName(const char* pstrName) const;
    CControlUI* FindControlAt(POINT pt) const;
    CControlUI* FindChildAt(CControlUI* pParent, POINT pt) const;
    CControlUI* FindChildByName(CControlUI* pParent, const char* pstrName) const;
    CControlUI* FindChildByClass(CControlUI* pParent, const char* pstrClass, int iIndex = 0);
    CUIPtrArray* FindChildrenByClass(CControlUI* pParent, const char* pstrClass);
    CUIPtrArray* GetFoundControls();

    bool JoinOptionGroup(const char* pstrGroupName, CControlUI* pControl);
    CUIPtrArray* GetOptionGroupMembers(const char* pstrGroupName) const;
    void LeaveOptionGroup(const char* pstrGroupName, CControlUI* pControl);
    void ClearOptionGroups();

    bool RegisterNotifier(INotifyUI* pNotifier);
    bool UnregisterNotifier(INotifyUI* pNotifier);
    bool RegisterPreMessageFilter(IMessageFilterUI* pFilter);
    bool UnregisterPreMessageFilter(IMessageFilterUI* pFilter);
    bool RegisterMessageFilter(IMessageFilterUI* pFilter);
    bool UnregisterMessageFilter(IMessageFilterUI* pFilter);
    bool RegisterPostPaintControl(CControlUI* pControl);
    bool UnregisterPostPaintControl(CControlUI* pControl);
    bool MovePostPaintControl(CControlUI* pControl, int iIndex);
    int CountPostPaintControls() const;
    bool RegisterAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    bool UnregisterAccelerator(ITranslateAccelerator* pTranslateAccelerator);

    void SendNotify(CControlUI* pControl, const char* pstrType, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    void SendNotify(NotifyEventUI& msg, bool bAsync = false);
    // Delivers every queued notification, those queued meanwhile included.
    void DrainNotifyQueue();
    void SetVirtualWindowRouting(bool bUsed);

    bool StartControlTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool StopControlTimer(CControlUI* pControl, UINT nTimerID);
    void StopAllTimersOf(CControlUI* pControl);
    void StopAllTimers();

    CControlUI* GetFocusedControl() const;
    void FocusControl(CControlUI* pControl);
    void FocusOnNextPaint(CControlUI* pControl);
    bool MoveFocusByTab(bool bForward = true);

    // ---- Window messages and the message loop (UIManagerMessages.cpp) ----
    bool HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreHandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool ApplyAccelerators(MSG* pMsg);
    // Offers a queued message to the manager of its target window before it is dispatched; true when
    // the message was consumed.
    static bool RouteQueuedMessage(MSG* pMsg);
    static void MessageLoop();
    static WORD CurrentKeyState();
    void CaptureMouse();
    void ReleaseMouse();
    bool IsMouseCaptured() const;
    HDC GetHostDC() const;
    CUIPoint GetLastMousePoint() const;
    CUISize GetHostClientSize() const;

    // ---- Shared resources (UIManagerResources.cpp) ----
    static void SetModuleInstance(HINSTANCE hInst);
    static HINSTANCE GetModuleInstance();
    static CUIString GetModuleFolder();
    static HINSTANCE GetResourceModule();
    static void SetResourceFolder(const char* pStrPath);
    static const CUIString& GetResourceFolder();
    static void SetResourceArchiveFile(const char* pstrName, bool bKeepOpen = false);
    static void SetResourceArchiveMemory(const void* pBuffer, DWORD dwSize);
    static const CUIString& GetResourceArchiveName();
    static bool IsResourceArchiveOpen();
    // The archive held open, or null.
    static ZipHandle GetResourceArchive();

    // Why reading a resource failed (ReadResourceData).
    enum class ResourceRead
    {
        Ok,
        FileOpenFailed,
        FileEmpty,
        FileTooLarge,
        FileReadFailed,
        ArchiveOpenFailed,
        ItemNotFound,
        UnzipFailed,
    };
    // A resource's bytes, read whole.
    struct ResourceData
    {
        std::unique_ptr<BYTE[]> pBytes;
        DWORD dwSize = 0;
    };
    // Reads the item pstrName whole from the archive held open, else from the archive file named by the
    // resource folder and archive name (items found ignoring case), else from the file under the resource
    // folder. An item or file larger than dwMaxSize bytes is refused.
    static ResourceRead ReadResourceData(const char* pstrName, DWORD dwMaxSize, ResourceData& data);
    // Reads a plain file whole (a path as given: absolute or relative to the current folder).
    static ResourceRead ReadFileData(const char* pstrPath, DWORD dwMaxSize, ResourceData& data);
    static void GetColorAdjust(short& H, short& S, short& L);
    static void SetColorAdjust(short H, short S, short L);
    static bool LoadControlModule(const char* pstrModuleName);
    static CUIPtrArray* GetControlFactories();

    DWORD GetDisabledFontColor() const;
    void SetDisabledFontColor(DWORD dwColor);
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD dwColor);
    DWORD GetLinkFontColor() const;
    void SetLinkFontColor(DWORD dwColor);
    DWORD GetLinkHoverFontColor() const;
    void SetLinkHoverFontColor(DWORD dwColor);
    DWORD GetSelectedColor() const;
    void SetSelectedColor(DWORD dwColor);

    FontInfoUI* GetBaseFont();
    void SetBaseFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic);
    HFONT RegisterFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic);
    int CountFonts() const;
    HFONT FontByIndex(int iIndex);
    FontInfoUI* FontInfoByIndex(int iIndex);
    HFONT FindFontHandle(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic) const;
    FontInfoUI* FontInfoOf(HFONT hFont);
    void DropAllFonts();

    ImageInfoUI* FindOrLoadImage(const char* pstrName, const char* pstrType = nullptr, DWORD dwMask = 0);
    ImageInfoUI* LoadSkinImage(const char* pstrName, const char* pstrType = nullptr, DWORD dwMask = 0);
    void DropAllImages();

    void SetClassDefaults(const char* pstrControlClass, const char* pstrAttributes);
    const char* GetClassDefaults(const char* pstrControlClass) const;
    void DropAllClassDefaults();

    bool SetResourceParent(CPaintManagerUI* pManager);
    CPaintManagerUI* GetResourceParent() const;

    // ---- Display scale (UIManagerDpi.cpp) ----
    // Skin lengths are logical units (96 to the inch, see UIDpi.h); the tree is laid out and drawn at this
    // DPI: the host window's from AttachWindow on (following WM_DPICHANGED), 96 before.
    int GetDpi() const;
    // Draws the tree at another DPI: the fonts are made again at their scaled sizes (native child windows
    // get the new ones), the images are loaded again for the new scale and the whole tree is laid out
    // again. The window's size is the caller's (WM_DPICHANGED suggests one, which the manager takes).
    void SetDpi(int nDpi);
    // A logical length, rectangle or size of the skin in pixels at this manager's DPI, and back.
    int ScaleLength(int n) const;
    CUIRect ScaleRect(const RECT& rc) const;
    CUISize ScaleSize(const SIZE& sz) const;
    int UnscaleLength(int n) const;

    // ---- Painting and window geometry (UIManagerPaint.cpp) ----
    // The geometry settings are stored as the skin gives them (logical); the window is sized and hit-tested
    // with them scaled.
    CUISize GetInitialSize() const;
    void SetInitialSize(int cx, int cy);
    CUISize GetMinimumSize() const;
    void SetMinimumSize(int cx, int cy);
    CUISize GetMaximumSize() const;
    void SetMaximumSize(int cx, int cy);
    CUIRect GetResizeBorder() const;
    void SetResizeBorder(const RECT& rcSizeBox);
    CUIRect GetCaptionArea() const;
    void SetCaptionArea(const RECT& rcCaption);
    CUISize GetCornerRounding() const;
    void SetCornerRounding(int cx, int cy);
    int GetWindowOpacity() const;
    void SetWindowOpacity(int nOpacity);
    void SetBackdropSnapshot(bool bSnapshot);
    bool IsShowDirty() const;
    void SetShowDirty(bool bShow);

private:
    // Message handling helpers.
    void DeleteQueuedControls();
    void DeliverControlTimer(WPARAM wParam);
    // The control under a client point that belongs to this manager, or null (also without a root).
    CControlUI* FindOwnedControlAt(POINT pt) const;
    void OnWindowClose();
    void OnMouseMove(LPARAM lParam);
    bool OnMouseHover(LPARAM lParam);
    void OnMouseLeave();
    void OnButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void OnButtonUp(WPARAM wParam, LPARAM lParam);
    void OnContextMenu(WPARAM wParam, LPARAM lParam);
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnKey(UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool ShortcutKey(char chKey);
    void ShowToolTip(CControlUI* pControl);
    // Painting helpers, reached from HandleWindowMessage.
    bool OnPaint();
    // Lays out the controls that ask for it, each a bounded number of times.
    void LayoutPendingControls();
    void PaintOffscreen(HDC hDcPaint, const RECT& rcPaint, const RECT& rcUpdate);
    void OnPrintClient(HDC hDC, LPARAM lParam);
    void OnGetMinMaxInfo(MINMAXINFO* pInfo) const;
    void ReleasePaintSurfaces();
    // Display scale helpers.
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    void RescaleFonts();
    void ReloadImages();
    // An image for this manager's DPI: the nearest scaled version the skin has at or above it
    // (name@1.5x.png, name@2x.png, or .jpg), else the largest below, resampled to the DPI where it differs.
    ImageInfoUI* LoadImageForDpi(const char* pstrName, const char* pstrType, DWORD dwMask) const;
    // Resource helpers.
    void InitBaseFont();
    void MeasureFont(FontInfoUI* pFontInfo);
    void DeliverNotify(NotifyEventUI& msg);
    // The next free system timer id on this manager's window, or false when all are taken.
    bool NextTimerId(UINT& uTimerId);
    CControlUI* SearchTabStop(CControlUI* pStart, bool bForward, CControlUI** ppLastSeen) const;
    // Process-wide list of live managers (those attached to a window), in attach order.
    static CUIPtrArray& LiveManagers();
    // First construction in the process: process-wide drawing resources.
    static void InitProcessPaintResources();

    HWND m_hWndPaint;
    int m_nDpi;
    int m_nOpacity;
    HDC m_hDcPaint;
    HDC m_hDcOffscreen;
    HDC m_hDcBackground;
    HBITMAP m_hbmpOffscreen;
    HBITMAP m_hbmpBackground;
    HWND m_hwndToolTip;
    TOOLINFOW m_toolInfo;
    bool m_bShowDirty;

    CControlUI* m_pRoot;
    CControlUI* m_pFocus;
    CControlUI* m_pHover;
    CControlUI* m_pPress;
    CControlUI* m_pKeyControl;
    CUIPoint m_ptLastMouse;
    CUISize m_szMinimum;
    CUISize m_szMaximum;
    CUISize m_szInitial;
    CUIRect m_rcResizeBorder;
    CUISize m_szCornerRounding;
    CUIRect m_rcCaptionArea;
    UINT m_uTimerCounter;
    bool m_bFirstLayoutPending;
    bool m_bLayoutNeeded;
    bool m_bFocusNeeded;
    bool m_bOffscreenPaint;
    bool m_bBackdropSnapshot;
    bool m_bMouseTracking;
    bool m_bMouseCaptured;
    bool m_bVirtualWindowRouting;

    CUIPtrArray m_aNotifiers;
    CUIPtrArray m_aTimers;
    CUIPtrArray m_aPreMessageFilters;
    CUIPtrArray m_aMessageFilters;
    CUIPtrArray m_aPostPaintControls;
    CUIPtrArray m_aDeleteQueue;
    CUIPtrArray m_aNotifyQueue;
    // Notifications being delivered now, innermost first (ForgetControl clears their sender).
    struct NotifyDelivery;
    NotifyDelivery* m_pNotifyDelivery;
    CUIPtrArray m_aFoundControls;
    CUIStringMap m_mNames;
    CUIStringMap m_mOptionGroups;

    CPaintManagerUI* m_pResourceParent;
    DWORD m_dwDisabledFontColor;
    DWORD m_dwDefaultFontColor;
    DWORD m_dwLinkFontColor;
    DWORD m_dwLinkHoverFontColor;
    DWORD m_dwSelectedColor;
    FontInfoUI m_baseFont;
    CUIPtrArray m_aFonts;
    CUIStringMap m_mImages;
    CUIStringMap m_mClassDefaults;
    CUIPtrArray m_aTranslateAccelerator;
};

} // namespace SkinUI

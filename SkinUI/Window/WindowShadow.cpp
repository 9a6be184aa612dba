#include "SkinUI/Window/WindowShadow.h"

#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Utils/UIAssert.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace SkinUI {

namespace {

using PFN_UPDATELAYEREDWINDOW = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);

const wchar_t kShadowClassName[] = L"OmbrelShadowWnd";
const int kMaxShadowSize = 20;
const unsigned kMaxSharpness = 20;

PFN_UPDATELAYEREDWINDOW s_pfnUpdateLayeredWindow = nullptr;
HINSTANCE s_hInstance = nullptr;

// One entry per shadowed window. The previous procedure lives here rather than in the object so that a
// window whose hook could not be removed (another procedure was installed on top of it) still forwards its
// messages after the object is gone.
struct ShadowEntry
{
    CWindowShadow* pShadow;
    WNDPROC pfnPrevProc;
};
std::map<HWND, ShadowEntry>& ShadowTable()
{
    static std::map<HWND, ShadowEntry> s_table;
    return s_table;
}

// A span of columns x <= col < y; x >= y is an empty span.
struct Span
{
    int x;
    int y;
};

bool IsEmpty(const Span& span)
{
    return span.x >= span.y;
}

// A premultiplied pixel of opacity nAlpha in clr, in the DIB's BGRA byte order.
uint32_t ShadowPixel(unsigned nAlpha, COLORREF clr)
{
    const uint32_t r = GetRValue(clr) * nAlpha / 255;
    const uint32_t g = GetGValue(clr) * nAlpha / 255;
    const uint32_t b = GetBValue(clr) * nAlpha / 255;
    return static_cast<uint32_t>(nAlpha) << 24 | r << 16 | g << 8 | b;
}

} // namespace

CWindowShadow::~CWindowShadow()
{
    Detach();
}

bool CWindowShadow::RegisterShadowClass(HINSTANCE hInstance)
{
    if (s_pfnUpdateLayeredWindow != nullptr)
        return false;
    // user32 is always loaded in a GUI process; layered windows are looked up so that a platform without
    // them simply shows no shadow.
    HMODULE hUser32 = GetModuleHandleW(L"USER32.DLL");
    if (hUser32 == nullptr)
        return false;
    auto pfn = reinterpret_cast<PFN_UPDATELAYEREDWINDOW>(
        reinterpret_cast<void*>(GetProcAddress(hUser32, "UpdateLayeredWindow")));
    if (pfn == nullptr)
        return false;
    s_pfnUpdateLayeredWindow = pfn;
    s_hInstance = hInstance;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kShadowClassName;
    RegisterClassExW(&wc); // an earlier registration of the same class serves as well
    return true;
}

void CWindowShadow::AttachToWindow(HWND hParent)
{
    if (s_pfnUpdateLayeredWindow == nullptr)
        return;
    UIASSERT(s_hInstance != nullptr);
    UIASSERT(m_hParent == nullptr);
    auto& table = ShadowTable();
    UIASSERT(table.find(hParent) == table.end());
    if (m_hParent != nullptr || !IsWindow(hParent) || table.find(hParent) != table.end())
        return;

    // Layered and transparent: the mouse passes through the shadow to whatever lies below.
    m_hWnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClassName, nullptr, WS_POPUPWINDOW,
                             CW_USEDEFAULT, 0, 0, 0, hParent, nullptr, s_hInstance, nullptr);
    if (m_hWnd == nullptr)
        return;
    m_hParent = hParent;
    m_nDpi = WindowDpi(hParent);
    table[hParent] = ShadowEntry{this, nullptr};

    const LONG_PTR nStyle = GetWindowLongPtrW(hParent, GWL_STYLE);
    if (!(nStyle & WS_VISIBLE)) {
        m_Status = SHADOW_ENABLED;
    } else if (nStyle & (WS_MAXIMIZE | WS_MINIMIZE)) {
        m_Status = SHADOW_ENABLED | SHADOW_PARENT_SHOWN;
    } else {
        m_Status = SHADOW_ENABLED | SHADOW_SHOWN | SHADOW_PARENT_SHOWN;
        ShowWindow(m_hWnd, SW_SHOWNA);
        RedrawShadow(hParent);
    }

    table[hParent].pfnPrevProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowShadow::ShadowParentProc)));
}

void CWindowShadow::Detach()
{
    if (m_hParent == nullptr)
        return;
    auto& table = ShadowTable();
    auto it = table.find(m_hParent);
    if (it != table.end()) {
        const auto pfnOurs = reinterpret_cast<LONG_PTR>(&CWindowShadow::ShadowParentProc);
        if (GetWindowLongPtrW(m_hParent, GWLP_WNDPROC) == pfnOurs) {
            SetWindowLongPtrW(m_hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.pfnPrevProc));
            table.erase(it);
        } else {
            // Someone hooked the window after us and calls our procedure: keep forwarding until it dies.
            it->second.pShadow = nullptr;
        }
    }
    if (m_hWnd != nullptr)
        DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    m_hParent = nullptr;
    m_Status = 0;
    m_bUpdate = false;
}

bool CWindowShadow::SetShadowSize(int nSize)
{
    if (nSize < -kMaxShadowSize || nSize > kMaxShadowSize)
        return false;
    m_nSize = static_cast<signed char>(nSize);
    if (m_Status & SHADOW_SHOWN)
        RedrawShadow(GetParent(m_hWnd));
    return true;
}

bool CWindowShadow::SetShadowSharpness(unsigned nSharpness)
{
    if (nSharpness > kMaxSharpness)
        return false;
    m_nSharpness = static_cast<BYTE>(nSharpness);
    if (m_Status & SHADOW_SHOWN)
        RedrawShadow(GetParent(m_hWnd));
    return true;
}

bool CWindowShadow::SetShadowDarkness(unsigned nDarkness)
{
    if (nDarkness > 255)
        return false;
    m_nDarkness = static_cast<BYTE>(nDarkness);
    if (m_Status & SHADOW_SHOWN)
        RedrawShadow(GetParent(m_hWnd));
    return true;
}

bool CWindowShadow::SetShadowOffset(int nX, int nY)
{
    if (nX < -kMaxShadowSize || nX > kMaxShadowSize || nY < -kMaxShadowSize || nY > kMaxShadowSize)
        return false;
    m_nxOffset = static_cast<signed char>(nX);
    m_nyOffset = static_cast<signed char>(nY);
    if (m_Status & SHADOW_SHOWN)
        RedrawShadow(GetParent(m_hWnd));
    return true;
}

bool CWindowShadow::SetShadowColor(COLORREF clr)
{
    m_Color = clr;
    if (m_Status & SHADOW_SHOWN)
        RedrawShadow(GetParent(m_hWnd));
    return true;
}

LRESULT CALLBACK CWindowShadow::ShadowParentProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto& table = ShadowTable();
    auto it = table.find(hWnd);
    UIASSERT(it != table.end());
    if (it == table.end())
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    const WNDPROC pfnPrevProc = it->second.pfnPrevProc;
    if (it->second.pShadow != nullptr)
        it->second.pShadow->HandleParentMessage(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) {
        // Unhook on the way out so that nothing calls into the table for this handle again.
        if (GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWindowShadow::ShadowParentProc))
            SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnPrevProc));
        table.erase(hWnd);
    }
    // The parent is a Unicode window and is hooked with the wide calls, so its messages keep their UTF-16 form.
    // CallWindowProcW rather than a direct call: the kept value may be a thunk rather than a function.
    return CallWindowProcW(pfnPrevProc, hWnd, uMsg, wParam, lParam);
}

void CWindowShadow::ShowShadow(bool bShow)
{
    ShowWindow(m_hWnd, bShow ? SW_SHOWNA : SW_HIDE);
    if (bShow)
        m_Status |= SHADOW_SHOWN;
    else
        m_Status &= static_cast<BYTE>(~SHADOW_SHOWN);
}

LRESULT CWindowShadow::HandleParentMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_MOVE:
        if (m_Status & SHADOW_SHOWN) {
            RECT rc;
            GetWindowRect(hWnd, &rc);
            const Lengths px = ScaledLengths();
            SetWindowPos(m_hWnd, nullptr, rc.left + px.nX - px.nSize, rc.top + px.nY - px.nSize, 0, 0,
                         SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
        break;
    case WM_SIZE:
        if (m_Status & SHADOW_ENABLED) {
            if (wParam == SIZE_MAXIMIZED || wParam == SIZE_MINIMIZED) {
                ShowShadow(false);
            } else if (m_Status & SHADOW_PARENT_SHOWN) {
                // A window that grows gets its new region only at its next paint, so the redraw waits for it.
                if (LOWORD(lParam) > LOWORD(m_WndSize) || HIWORD(lParam) > HIWORD(m_WndSize))
                    m_bUpdate = true;
                else
                    RedrawShadow(hWnd);
                if (!(m_Status & SHADOW_SHOWN))
                    ShowShadow(true);
            }
            m_WndSize = lParam;
        }
        break;
    case WM_PAINT:
        if (m_bUpdate) {
            RedrawShadow(hWnd);
            m_bUpdate = false;
        }
        break;
    case kMsgDpiChanged:
        // The window is resized for its new scale next; the shadow is drawn again at that size.
        m_nDpi = HIWORD(wParam) != 0 ? HIWORD(wParam) : m_nDpi;
        m_bUpdate = true;
        break;
    case WM_EXITSIZEMOVE:
        if (m_Status & SHADOW_SHOWN)
            RedrawShadow(hWnd);
        break;
    case WM_SHOWWINDOW:
        if (m_Status & SHADOW_ENABLED) {
            if (!wParam) {
                ShowShadow(false);
                m_Status &= static_cast<BYTE>(~SHADOW_PARENT_SHOWN);
            } else if (!(m_Status & SHADOW_PARENT_SHOWN)) {
                m_bUpdate = true;
                ShowShadow(true);
                m_Status |= SHADOW_PARENT_SHOWN;
            }
        }
        break;
    case WM_DESTROY:
        if (m_hWnd != nullptr)
            DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        break;
    case WM_NCDESTROY:
        m_hParent = nullptr;
        m_Status = 0;
        m_bUpdate = false;
        break;
    default:
        break;
    }
    return 0;
}

CWindowShadow::Lengths CWindowShadow::ScaledLengths() const
{
    return Lengths{DpiScale(m_nSize, m_nDpi), DpiScale(m_nSharpness, m_nDpi), DpiScale(m_nxOffset, m_nDpi),
                   DpiScale(m_nyOffset, m_nDpi)};
}

SIZE CWindowShadow::GetShadowBitmapSize(const RECT& rcWindow) const
{
    const int S = ScaledLengths().nSize;
    return SIZE{rcWindow.right - rcWindow.left + 2 * S, rcWindow.bottom - rcWindow.top + 2 * S};
}

void CWindowShadow::RedrawShadow(HWND hParent)
{
    if (s_pfnUpdateLayeredWindow == nullptr || m_hWnd == nullptr || !IsWindow(hParent))
        return;
    RECT rcWindow;
    GetWindowRect(hParent, &rcWindow);
    SIZE size = GetShadowBitmapSize(rcWindow);
    const Lengths px = ScaledLengths();
    POINT ptDest = {rcWindow.left + px.nX - px.nSize, rcWindow.top + px.nY - px.nSize};
    // A negative size can leave nothing of a small window: no bitmap, and an empty shadow window.
    if (size.cx <= 0 || size.cy <= 0) {
        SetWindowPos(m_hWnd, nullptr, ptDest.x, ptDest.y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        return;
    }

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = size.cx;
    bmi.bmiHeader.biHeight = size.cy; // bottom-up
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage = static_cast<DWORD>(size.cx) * static_cast<DWORD>(size.cy) * 4;
    void* pvBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    if (hBitmap == nullptr || pvBits == nullptr) {
        if (hBitmap != nullptr)
            DeleteObject(hBitmap);
        return;
    }
    auto* pPixels = static_cast<uint32_t*>(pvBits);
    std::fill(pPixels, pPixels + static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy), 0u);
    ComputeShadowPixels(pPixels, hParent, rcWindow);

    HDC hMemDC = CreateCompatibleDC(nullptr);
    HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
    SetWindowPos(m_hWnd, nullptr, ptDest.x, ptDest.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    POINT ptSrc = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const BOOL bUpdated =
        s_pfnUpdateLayeredWindow(m_hWnd, nullptr, &ptDest, &size, hMemDC, &ptSrc, 0, &blend, ULW_ALPHA);
    UIASSERT(bUpdated);
    (void)bUpdated;
    SelectObject(hMemDC, hOldBitmap);
    DeleteDC(hMemDC);
    DeleteObject(hBitmap);
}

void CWindowShadow::ComputeShadowPixels(uint32_t* pPixels, HWND hParent, const RECT& rcWindow) const
{
    const int W = rcWindow.right - rcWindow.left;
    const int H = rcWindow.bottom - rcWindow.top;
    const Lengths px = ScaledLengths();
    const int S = px.nSize;
    const int w = W + 2 * S;
    const int h = H + 2 * S;
    if (pPixels == nullptr || W <= 0 || H <= 0 || w <= 0 || h <= 0)
        return;
    const int P = px.nSharpness;
    const unsigned D = m_nDarkness;
    const Span kEmpty = {W, 0};

    // The window's outline, one span per row, sampled from each side (a window without a region has none).
    std::vector<Span> aWindow(static_cast<size_t>(H), kEmpty);
    HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
    if (hRgn != nullptr && GetWindowRgn(hParent, hRgn) != ERROR) {
        for (int i = 0; i < H; ++i) {
            int j = 0;
            while (j < W && !PtInRegion(hRgn, j, i))
                ++j;
            if (j == W)
                continue;
            int k = W - 1;
            while (k > j && !PtInRegion(hRgn, k, i))
                --k;
            aWindow[static_cast<size_t>(i)] = Span{j, k + 1};
        }
    }
    if (hRgn != nullptr)
        DeleteObject(hRgn);

    // The outline in shadow space, with an empty row above and below.
    const int N = std::max(H, h);
    std::vector<Span> aOutline(static_cast<size_t>(N + 2), kEmpty);
    for (int i = 0; i < H; ++i) {
        Span span = aWindow[static_cast<size_t>(i)];
        if (!IsEmpty(span))
            span = Span{span.x + S, span.y + S};
        aOutline[static_cast<size_t>(i + 1 + std::max(S, 0))] = span;
    }

    // Erosion pulls the outline in so that a soft edge wider than the shadow still ends inside it.
    std::vector<Span> aNext(aOutline.size(), kEmpty);
    for (int nPass = std::max(P - S, 0); nPass > 0; --nPass) {
        for (int n = 1; n <= N; ++n) {
            const Span& a = aOutline[static_cast<size_t>(n - 1)];
            const Span& b = aOutline[static_cast<size_t>(n)];
            const Span& c = aOutline[static_cast<size_t>(n + 1)];
            aNext[static_cast<size_t>(n)] = Span{std::max({a.x, b.x, c.x}) + 1, std::min({a.y, b.y, c.y}) - 1};
        }
        aOutline.swap(aNext);
    }
    const int nRowBase = 1 + std::max(-S, 0);
    auto outline = [&](int r) -> const Span& { return aOutline[static_cast<size_t>(r + nRowBase)]; };

    // The kernel: solid within c of the centre, fading to nothing at K.
    const int K = std::max(P, S);
    const int c = std::max(S - P, 0);
    const int nKernel = 2 * K + 1;
    const uint32_t nSolid = ShadowPixel(D, m_Color);
    std::vector<uint32_t> aKernel(static_cast<size_t>(nKernel * nKernel), 0u);
    for (int dy = -K; dy <= K; ++dy) {
        for (int dx = -K; dx <= K; ++dx) {
            const double d = std::sqrt(static_cast<double>(dy * dy + dx * dx));
            uint32_t nValue = 0;
            if (d < c)
                nValue = nSolid;
            else if (d <= K) // D * (1 - (d - c) / (P + 1)), arranged so whole distances give whole values
                nValue = ShadowPixel(static_cast<unsigned>(D * ((P + 1) - (d - c)) / (P + 1)), m_Color);
            aKernel[static_cast<size_t>((dy + K) * nKernel + dx + K)] = nValue;
        }
    }

    // Row r of the picture is memory row h - 1 - r of the bottom-up bitmap.
    auto row = [&](int r) { return pPixels + static_cast<size_t>(h - 1 - r) * static_cast<size_t>(w); };
    auto stamp = [&](int x, int r) {
        for (int dy = -K; dy <= K; ++dy) {
            const int y = r + dy;
            if (y < 0 || y >= h)
                continue;
            uint32_t* pRow = row(y);
            const uint32_t* pKernel = &aKernel[static_cast<size_t>((dy + K) * nKernel)];
            for (int dx = -K; dx <= K; ++dx) {
                const int px = x + dx;
                if (px >= 0 && px < w && pKernel[dx + K] > pRow[px])
                    pRow[px] = pKernel[dx + K];
            }
        }
    };

    // Soft edges along the outline's ends, only where a row sticks out beyond its neighbours.
    for (int r = K; r <= h - K - 1; ++r) {
        const Span& o = outline(r);
        if (IsEmpty(o))
            continue;
        const Span& above = outline(r - 1);
        const Span& below = outline(r + 1);
        const int nLeftEnd = std::min(o.y, std::max(above.x, below.x) + 1);
        int x = o.x;
        for (; x < nLeftEnd; ++x)
            stamp(x, r);
        for (x = std::max(x, std::min(above.y, below.y) - 1); x < o.y; ++x)
            stamp(x, r);
    }

    // Solid inside the outline, except under the window itself, which stays fully transparent.
    auto fill = [&](uint32_t* pRow, int x0, int x1, uint32_t nValue) {
        for (int x = std::max(x0, 0), xEnd = std::min(x1, w); x < xEnd; ++x)
            pRow[x] = nValue;
    };
    const int rFirst = std::min(K, std::max(S - px.nY, 0));
    const int rLast = std::min(std::max(std::min(H + S - px.nY, H + 2 * S), h - K), h);
    const int e = S - px.nX;
    for (int r = rFirst; r < rLast; ++r) {
        uint32_t* pRow = row(r);
        const Span& o = outline(r);
        const int q = r - S + px.nY;
        if (q < 0 || q >= H) {
            fill(pRow, o.x, o.y, nSolid);
            continue;
        }
        const Span& win = aWindow[static_cast<size_t>(q)];
        fill(pRow, o.x, std::min(win.x + e, o.y), nSolid);
        fill(pRow, win.x + e, win.y + e, 0u);
        fill(pRow, std::max(o.x, win.y + e), o.y, nSolid);
    }
}

} // namespace SkinUI

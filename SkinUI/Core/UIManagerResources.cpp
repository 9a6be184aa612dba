// CPaintManagerUI: shared resources (default colours, fonts, images, class defaults, the resource parent)
// and the process-wide resource location.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Utils/UITextConvert.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace SkinUI {

namespace {

HINSTANCE g_hInstance = nullptr;

struct ResourceLocation
{
    CUIString sFolder;
    CUIString sArchiveName;
    bool bArchiveOpen = false;
    ZipHandle hArchive = nullptr;
};

ResourceLocation& Location()
{
    static ResourceLocation s_location;
    return s_location;
}

constexpr const char* kMemoryArchiveName = "membuffer";

short g_nHue = 180;
short g_nSaturation = 100;
short g_nLightness = 100;

// Closes the archive held open, if any.
void CloseHeldArchive()
{
    ResourceLocation& loc = Location();
    if (loc.hArchive != nullptr)
        ZipClose(loc.hArchive);
    loc.hArchive = nullptr;
}

// Closes an archive opened for one read; the held archive is left alone.
struct CArchiveForRead
{
    ZipHandle hZip = nullptr;
    bool bOwned = false;
    ~CArchiveForRead()
    {
        if (bOwned && hZip != nullptr)
            ZipClose(hZip);
    }
};

bool AllocateBytes(DWORD dwSize, CPaintManagerUI::ResourceData& data)
{
    data.pBytes.reset(new (std::nothrow) BYTE[dwSize]);
    data.dwSize = data.pBytes != nullptr ? dwSize : 0;
    return data.pBytes != nullptr;
}

// Unpacks an item into a block of its full size. The reader answers ZipMoreData for a block that the item
// fills exactly and keeps the item open; it is read on to its end so that the next read of the same item
// starts afresh and a damaged item (bad checksum, short data) is refused.
bool UnzipWholeItem(ZipHandle hZip, int iIndex, BYTE* pDest, DWORD dwSize)
{
    ZipResult nResult = ZipUnzipItem(hZip, iIndex, pDest, dwSize, ZipKindMemory);
    if (nResult == ZipOk)
        return true;
    BYTE aScratch[256];
    bool bOverrun = false;
    while (nResult == ZipMoreData) {
        nResult = ZipUnzipItem(hZip, iIndex, aScratch, sizeof(aScratch), ZipKindMemory);
        if (nResult == ZipMoreData)
            bOverrun = true; // more bytes than the directory promised
    }
    return nResult == ZipOk && !bOverrun;
}

// A font made from the system's GUI font with the given face, pixel size and style.
HFONT CreateSkinFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
    // The face name in UTF-16, whatever the system's code page: the field holds 31 characters and its
    // terminator.
    const std::wstring strFace = GbkToWide(pstrFace);
    std::memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    strFace.copy(lf.lfFaceName, LF_FACESIZE - 1);
    lf.lfCharSet = DEFAULT_CHARSET;
    // INT_MIN has no negation; such a size is nonsense from a skin, so it is taken as the largest height.
    lf.lfHeight = nSize == INT_MIN ? INT_MAX : -nSize;
    if (bBold)
        lf.lfWeight += FW_BOLD;
    if (bUnderline)
        lf.lfUnderline = TRUE;
    if (bItalic)
        lf.lfItalic = TRUE;
    return ::CreateFontIndirectW(&lf);
}

// The scaled pictures a skin may carry beside an image ("bk.png" beside "bk@2x.png"), by the DPI they are
// drawn for; the plain name is drawn for 96.
struct ArtScale
{
    int nDpi;
    const char* pstrSuffix;
};
constexpr ArtScale kArtScales[] = {{kLogicalDpi, ""}, {144, "@1.5x"}, {192, "@2x"}};
constexpr int kArtScaleCount = static_cast<int>(sizeof(kArtScales) / sizeof(kArtScales[0]));

// The order in which the scales are tried at nDpi: the nearest at or above it first (the smallest picture
// that needs no enlarging), then those below from the largest down.
std::vector<ArtScale> ArtScalesFor(int nDpi)
{
    std::vector<ArtScale> aOrder;
    for (const ArtScale& art : kArtScales) {
        if (art.nDpi >= nDpi)
            aOrder.push_back(art);
    }
    for (int i = kArtScaleCount - 1; i >= 0; --i) {
        if (kArtScales[i].nDpi < nDpi)
            aOrder.push_back(kArtScales[i]);
    }
    return aOrder;
}

// The picture of one scale: the name with the scale's suffix before its extension, with that extension or
// the other picture format (a large painted picture may be a JPEG beside a PNG of the plain scale).
ImageInfoUI* LoadArtScale(const char* pstrName, const ArtScale& art, DWORD dwMask)
{
    const CUIString sName(pstrName);
    const int iSeparator = std::max(sName.FindLastChar('/'), sName.FindLastChar('\\'));
    const int iDot = sName.FindLastChar('.');
    const bool bExtension = iDot > iSeparator;
    const CUIString sStem = bExtension ? sName.Leftmost(iDot) : sName;
    const CUIString sExtension = bExtension ? sName.Substring(iDot) : CUIString();
    const CUIString aExtensions[] = {sExtension, CUIString(".jpg"), CUIString(".png")};
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && (!bExtension || aExtensions[i].CompareIgnoreCase(sExtension) == 0))
            continue;
        if (*art.pstrSuffix == '\0' && i > 0)
            break; // the plain scale is the name itself
        const CUIString sTry = sStem + art.pstrSuffix + aExtensions[i];
        if (ImageInfoUI* pImage = CUIRender::LoadImage(sTry.Chars(), nullptr, dwMask)) {
            pImage->dpi = art.nDpi;
            return pImage;
        }
    }
    return nullptr;
}

} // namespace

// ---- Process-wide resource location ----

void CPaintManagerUI::SetModuleInstance(HINSTANCE hInst)
{
    g_hInstance = hInst;
}

HINSTANCE CPaintManagerUI::GetModuleInstance()
{
    return g_hInstance;
}

HINSTANCE CPaintManagerUI::GetResourceModule()
{
    return g_hInstance;
}

CUIString CPaintManagerUI::GetModuleFolder()
{
    if (g_hInstance == nullptr)
        return CUIString();
    wchar_t szModule[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(g_hInstance, szModule, MAX_PATH);
    CUIString sFolder = WideToGbk(szModule);
    const int iPos = sFolder.FindLastChar('\\');
    if (iPos >= 0)
        return sFolder.Leftmost(iPos + 1);
    return sFolder;
}

void CPaintManagerUI::SetResourceFolder(const char* pStrPath)
{
    CUIString& sFolder = Location().sFolder;
    sFolder = pStrPath;
    if (sFolder.IsEmpty())
        return;
    // The last character, not the last byte: a trail byte may equal '\\'.
    const int iLast = sFolder.GetLength() - 1;
    const bool bEndsWithSeparator = (sFolder.FindLastChar('\\') == iLast || sFolder.FindLastChar('/') == iLast);
    if (!bEndsWithSeparator)
        sFolder += '\\';
}

const CUIString& CPaintManagerUI::GetResourceFolder()
{
    return Location().sFolder;
}

void CPaintManagerUI::SetResourceArchiveFile(const char* pstrName, bool bKeepOpen)
{
    ResourceLocation& loc = Location();
    const char* pstrSafeName = pstrName != nullptr ? pstrName : "";
    if (loc.sArchiveName == pstrSafeName && loc.bArchiveOpen == bKeepOpen)
        return;
    CloseHeldArchive();
    loc.sArchiveName = pstrSafeName;
    loc.bArchiveOpen = bKeepOpen;
    if (bKeepOpen) {
        const CUIString sPath = loc.sFolder + loc.sArchiveName;
        loc.hArchive = ZipOpen(sPath.Chars(), 0, ZipKindFile);
    }
}

void CPaintManagerUI::SetResourceArchiveMemory(const void* pBuffer, DWORD dwSize)
{
    ResourceLocation& loc = Location();
    if (loc.sArchiveName == kMemoryArchiveName)
        return;
    CloseHeldArchive();
    loc.sArchiveName = kMemoryArchiveName;
    loc.bArchiveOpen = true;
    // The block is read in place: the caller keeps it alive while the archive is in use.
    if (pBuffer != nullptr && dwSize > 0)
        loc.hArchive = ZipOpen(pBuffer, dwSize, ZipKindMemory);
}

const CUIString& CPaintManagerUI::GetResourceArchiveName()
{
    return Location().sArchiveName;
}

bool CPaintManagerUI::IsResourceArchiveOpen()
{
    return Location().bArchiveOpen;
}

ZipHandle CPaintManagerUI::GetResourceArchive()
{
    return Location().hArchive;
}

void CPaintManagerUI::GetColorAdjust(short& H, short& S, short& L)
{
    H = g_nHue;
    S = g_nSaturation;
    L = g_nLightness;
}

void CPaintManagerUI::SetColorAdjust(short H, short S, short L)
{
    if (H == g_nHue && S == g_nSaturation && L == g_nLightness)
        return;
    g_nHue = std::clamp<short>(H, 0, 360);
    g_nSaturation = std::clamp<short>(S, 0, 200);
    g_nLightness = std::clamp<short>(L, 0, 200);
    CUIPtrArray& aManagers = LiveManagers();
    for (int i = 0; i < aManagers.Count(); ++i) {
        auto* pManager = static_cast<CPaintManagerUI*>(aManagers[i]);
        if (pManager->m_pRoot != nullptr)
            pManager->m_pRoot->Invalidate();
    }
}

CPaintManagerUI::ResourceRead CPaintManagerUI::ReadFileData(const char* pstrPath, DWORD dwMaxSize, ResourceData& data)
{
    data = ResourceData();
    if (pstrPath == nullptr || *pstrPath == '\0')
        return ResourceRead::FileOpenFailed;
    const HANDLE hFile = ::CreateFileW(GbkToWide(pstrPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return ResourceRead::FileOpenFailed;
    std::unique_ptr<void, decltype(&::CloseHandle)> closer(hFile, &::CloseHandle);
    LARGE_INTEGER liSize = {};
    if (!::GetFileSizeEx(hFile, &liSize))
        return ResourceRead::FileReadFailed;
    if (liSize.QuadPart == 0)
        return ResourceRead::FileEmpty;
    if (liSize.QuadPart > static_cast<LONGLONG>(dwMaxSize))
        return ResourceRead::FileTooLarge;
    const DWORD dwSize = static_cast<DWORD>(liSize.QuadPart);
    if (!AllocateBytes(dwSize, data))
        return ResourceRead::FileReadFailed;
    DWORD dwDone = 0;
    while (dwDone < dwSize) {
        DWORD dwRead = 0;
        if (!::ReadFile(hFile, data.pBytes.get() + dwDone, dwSize - dwDone, &dwRead, nullptr) || dwRead == 0)
            break;
        dwDone += dwRead;
    }
    if (dwDone != dwSize) {
        data = ResourceData();
        return ResourceRead::FileReadFailed;
    }
    return ResourceRead::Ok;
}

CPaintManagerUI::ResourceRead CPaintManagerUI::ReadResourceData(const char* pstrName, DWORD dwMaxSize,
                                                                ResourceData& data)
{
    data = ResourceData();
    if (pstrName == nullptr)
        return ResourceRead::FileOpenFailed;
    const ResourceLocation& loc = Location();
    if (loc.sArchiveName.IsEmpty())
        return ReadFileData(loc.sFolder + pstrName, dwMaxSize, data);

    CArchiveForRead archive;
    if (loc.bArchiveOpen) {
        archive.hZip = loc.hArchive;
    } else {
        const CUIString sArchivePath = loc.sFolder + loc.sArchiveName;
        archive.hZip = ZipOpen(sArchivePath.Chars(), 0, ZipKindFile);
        archive.bOwned = true;
    }
    if (archive.hZip == nullptr)
        return ResourceRead::ArchiveOpenFailed;
    int iIndex = -1;
    ZipItemInfo info = {};
    if (ZipFindItem(archive.hZip, pstrName, true, &iIndex, &info) != ZipOk)
        return ResourceRead::ItemNotFound;
    if (info.nUncompressedSize == 0)
        return ResourceRead::FileEmpty;
    if (info.nUncompressedSize < 0 || static_cast<DWORD>(info.nUncompressedSize) > dwMaxSize)
        return ResourceRead::FileTooLarge;
    const DWORD dwSize = static_cast<DWORD>(info.nUncompressedSize);
    if (!AllocateBytes(dwSize, data))
        return ResourceRead::UnzipFailed;
    if (!UnzipWholeItem(archive.hZip, iIndex, data.pBytes.get(), dwSize)) {
        data = ResourceData();
        return ResourceRead::UnzipFailed;
    }
    return ResourceRead::Ok;
}

bool CPaintManagerUI::LoadControlModule(const char* pstrModuleName)
{
    UIASSERT(!::IsBadStringPtrA(pstrModuleName, -1) || pstrModuleName == 0);
    if (pstrModuleName == nullptr || *pstrModuleName == '\0')
        return false;
    // A bare file name is loaded from the program's own folder by full path: the program runs elevated,
    // and a search by bare name could pick up a planted DLL from the current folder.
    const CUIString sName(pstrModuleName);
    std::wstring strPath = GbkToWide(pstrModuleName);
    const bool bBareName = sName.FindChar('\\') < 0 && sName.FindChar('/') < 0 && sName.FindChar(':') < 0;
    if (bBareName) {
        // The program's folder in UTF-16 as the system gives it, whatever characters it holds.
        wchar_t szExe[MAX_PATH + 1] = {};
        const DWORD nLen = ::GetModuleFileNameW(g_hInstance, szExe, MAX_PATH);
        if (nLen == 0 || nLen >= MAX_PATH)
            return false;
        const std::wstring strExe(szExe, nLen);
        strPath = strExe.substr(0, strExe.rfind(L'\\') + 1) + strPath;
    }
    const HMODULE hModule = ::LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hModule == nullptr)
        return false;
    const FARPROC pfnCreate = ::GetProcAddress(hModule, "CreateControl");
    if (pfnCreate == nullptr) {
        ::FreeLibrary(hModule);
        return false;
    }
    // The module stays loaded for the life of the process: its factory is called by later builds.
    auto* pFactory = reinterpret_cast<void*>(pfnCreate);
    CUIPtrArray* pFactories = GetControlFactories();
    if (pFactories->IndexOf(pFactory) < 0)
        pFactories->Push(pFactory);
    return true;
}

CUIPtrArray* CPaintManagerUI::GetControlFactories()
{
    static CUIPtrArray s_aFactories;
    return &s_aFactories;
}

// ---- Default colours ----

DWORD CPaintManagerUI::GetDisabledFontColor() const
{
    return m_pResourceParent != nullptr ? m_pResourceParent->GetDisabledFontColor() : m_dwDisabledFontColor;
}

void CPaintManagerUI::SetDisabledFontColor(DWORD dwColor)
{
    m_dwDisabledFontColor = dwColor;
}

DWORD CPaintManagerUI::GetDefaultFontColor() const
{
    return m_pResourceParent != nullptr ? m_pResourceParent->GetDefaultFontColor() : m_dwDefaultFontColor;
}

void CPaintManagerUI::SetDefaultFontColor(DWORD dwColor)
{
    m_dwDefaultFontColor = dwColor;
}

DWORD CPaintManagerUI::GetLinkFontColor() const
{
    return m_pResourceParent != nullptr ? m_pResourceParent->GetLinkFontColor() : m_dwLinkFontColor;
}

void CPaintManagerUI::SetLinkFontColor(DWORD dwColor)
{
    m_dwLinkFontColor = dwColor;
}

DWORD CPaintManagerUI::GetLinkHoverFontColor() const
{
    return m_pResourceParent != nullptr ? m_pResourceParent->GetLinkHoverFontColor() : m_dwLinkHoverFontColor;
}

void CPaintManagerUI::SetLinkHoverFontColor(DWORD dwColor)
{
    m_dwLinkHoverFontColor = dwColor;
}

DWORD CPaintManagerUI::GetSelectedColor() const
{
    return m_pResourceParent != nullptr ? m_pResourceParent->GetSelectedColor() : m_dwSelectedColor;
}

void CPaintManagerUI::SetSelectedColor(DWORD dwColor)
{
    m_dwSelectedColor = dwColor;
}

// ---- Fonts ----

void CPaintManagerUI::InitBaseFont()
{
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &lf);
    lf.lfCharSet = DEFAULT_CHARSET;
    // The system's font is made for the system DPI: its logical size is taken back from that, and the
    // font is made for this manager's DPI.
    m_baseFont.size = DpiUnscale(-lf.lfHeight, SystemDpi());
    lf.lfHeight = -ScaleLength(m_baseFont.size);
    m_baseFont.handle = ::CreateFontIndirectW(&lf);
    m_baseFont.faceName = WideToGbk(lf.lfFaceName);
    m_baseFont.bold = lf.lfWeight >= FW_BOLD;
    m_baseFont.underline = lf.lfUnderline == TRUE;
    m_baseFont.italic = lf.lfItalic == TRUE;
    m_baseFont.metrics = TEXTMETRICW{};
}

void CPaintManagerUI::MeasureFont(FontInfoUI* pFontInfo)
{
    if (pFontInfo == nullptr || m_hDcPaint == nullptr || pFontInfo->handle == nullptr)
        return;
    const HGDIOBJ hOldFont = ::SelectObject(m_hDcPaint, pFontInfo->handle);
    ::GetTextMetricsW(m_hDcPaint, &pFontInfo->metrics);
    ::SelectObject(m_hDcPaint, hOldFont);
}

FontInfoUI* CPaintManagerUI::GetBaseFont()
{
    if (m_pResourceParent != nullptr)
        return m_pResourceParent->GetBaseFont();
    if (m_baseFont.metrics.tmHeight == 0)
        MeasureFont(&m_baseFont);
    return &m_baseFont;
}

void CPaintManagerUI::SetBaseFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    const HFONT hFont = CreateSkinFont(pstrFace, ScaleLength(nSize), bBold, bUnderline, bItalic);
    if (hFont == nullptr)
        return;
    if (m_baseFont.handle != nullptr)
        ::DeleteObject(m_baseFont.handle);
    m_baseFont.handle = hFont;
    m_baseFont.faceName = pstrFace;
    m_baseFont.size = nSize;
    m_baseFont.bold = bBold;
    m_baseFont.underline = bUnderline;
    m_baseFont.italic = bItalic;
    m_baseFont.metrics = TEXTMETRICW{};
    MeasureFont(&m_baseFont);
}

HFONT CPaintManagerUI::RegisterFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    const HFONT hFont = CreateSkinFont(pstrFace, ScaleLength(nSize), bBold, bUnderline, bItalic);
    if (hFont == nullptr)
        return nullptr;
    auto pFontInfo = std::make_unique<FontInfoUI>();
    pFontInfo->handle = hFont;
    pFontInfo->faceName = pstrFace;
    pFontInfo->size = nSize;
    pFontInfo->bold = bBold;
    pFontInfo->underline = bUnderline;
    pFontInfo->italic = bItalic;
    MeasureFont(pFontInfo.get());
    if (!m_aFonts.Push(pFontInfo.get())) {
        ::DeleteObject(hFont);
        return nullptr;
    }
    pFontInfo.release(); // owned by the font list now
    return hFont;
}

int CPaintManagerUI::CountFonts() const
{
    return m_aFonts.Count();
}

HFONT CPaintManagerUI::FontByIndex(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_aFonts.Count())
        return GetBaseFont()->handle;
    return static_cast<FontInfoUI*>(m_aFonts[iIndex])->handle;
}

FontInfoUI* CPaintManagerUI::FontInfoByIndex(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_aFonts.Count())
        return GetBaseFont();
    auto* pFontInfo = static_cast<FontInfoUI*>(m_aFonts[iIndex]);
    if (pFontInfo->metrics.tmHeight == 0)
        MeasureFont(pFontInfo);
    return pFontInfo;
}

HFONT CPaintManagerUI::FindFontHandle(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic) const
{
    for (int i = 0; i < m_aFonts.Count(); ++i) {
        const auto* pFontInfo = static_cast<const FontInfoUI*>(m_aFonts[i]);
        if (pFontInfo->faceName == (pstrFace != nullptr ? pstrFace : "") && pFontInfo->size == nSize &&
            pFontInfo->bold == bBold && pFontInfo->underline == bUnderline && pFontInfo->italic == bItalic)
            return pFontInfo->handle;
    }
    if (m_pResourceParent != nullptr)
        return m_pResourceParent->FindFontHandle(pstrFace, nSize, bBold, bUnderline, bItalic);
    return nullptr;
}

FontInfoUI* CPaintManagerUI::FontInfoOf(HFONT hFont)
{
    for (int i = 0; i < m_aFonts.Count(); ++i) {
        auto* pFontInfo = static_cast<FontInfoUI*>(m_aFonts[i]);
        if (pFontInfo->handle == hFont) {
            if (pFontInfo->metrics.tmHeight == 0)
                MeasureFont(pFontInfo);
            return pFontInfo;
        }
    }
    if (m_pResourceParent != nullptr)
        return m_pResourceParent->FontInfoOf(hFont);
    return GetBaseFont();
}

void CPaintManagerUI::DropAllFonts()
{
    for (int i = 0; i < m_aFonts.Count(); ++i) {
        auto* pFontInfo = static_cast<FontInfoUI*>(m_aFonts[i]);
        ::DeleteObject(pFontInfo->handle);
        delete pFontInfo;
    }
    m_aFonts.Clear();
}

namespace {

// Gives the native child windows of hWndHost that use a font being replaced its successor.
struct FontSwap
{
    HFONT hOld;
    HFONT hNew;
};

BOOL CALLBACK SwapChildFont(HWND hWnd, LPARAM lParam)
{
    const auto* pSwaps = reinterpret_cast<const std::vector<FontSwap>*>(lParam);
    const auto hFont = reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0));
    for (const FontSwap& swap : *pSwaps) {
        if (hFont != nullptr && swap.hOld == hFont) {
            ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(swap.hNew), TRUE);
            break;
        }
    }
    return TRUE;
}

} // namespace

void CPaintManagerUI::RescaleFonts()
{
    std::vector<FontSwap> aSwaps;
    const auto remake = [this, &aSwaps](FontInfoUI* pFontInfo) {
        const HFONT hFont = CreateSkinFont(pFontInfo->faceName, ScaleLength(pFontInfo->size), pFontInfo->bold,
                                           pFontInfo->underline, pFontInfo->italic);
        if (hFont == nullptr)
            return; // the old font stays: wrongly sized text rather than none
        aSwaps.push_back(FontSwap{pFontInfo->handle, hFont});
        pFontInfo->handle = hFont;
        pFontInfo->metrics = TEXTMETRICW{};
        MeasureFont(pFontInfo);
    };
    remake(&m_baseFont);
    for (int i = 0; i < m_aFonts.Count(); ++i)
        remake(static_cast<FontInfoUI*>(m_aFonts[i]));
    // A native child (the edit control's window) holds a font handle of its own: it is given the new one
    // before the old one is deleted.
    if (m_hWndPaint != nullptr)
        ::EnumChildWindows(m_hWndPaint, &SwapChildFont, reinterpret_cast<LPARAM>(&aSwaps));
    for (const FontSwap& swap : aSwaps) {
        if (swap.hOld != nullptr)
            ::DeleteObject(swap.hOld);
    }
}

// ---- Images ----

void CPaintManagerUI::ReloadImages()
{
    // The names first: looking an entry up reorders the table.
    std::vector<CUIString> aNames;
    for (int i = 0; i < m_mImages.Count(); ++i)
        aNames.emplace_back(m_mImages.KeyAt(i));
    for (const CUIString& sName : aNames) {
        const auto* pOld = static_cast<ImageInfoUI*>(m_mImages.Lookup(sName, false));
        if (pOld == nullptr)
            continue;
        ImageInfoUI* pNew =
            LoadImageForDpi(sName, pOld->resourceType.IsEmpty() ? nullptr : pOld->resourceType.Chars(), pOld->mask);
        if (pNew == nullptr)
            continue; // kept as it was: drawn at its old scale rather than not at all
        CUIRender::FreeImage(static_cast<ImageInfoUI*>(m_mImages.Set(sName, pNew)));
    }
}

ImageInfoUI* CPaintManagerUI::FindOrLoadImage(const char* pstrName, const char* pstrType, DWORD dwMask)
{
    if (pstrName == nullptr)
        return nullptr;
    if (auto* pImage = static_cast<ImageInfoUI*>(m_mImages.Lookup(pstrName)))
        return pImage;
    if (LoadSkinImage(pstrName, pstrType, dwMask) == nullptr)
        return nullptr;
    return static_cast<ImageInfoUI*>(m_mImages.Lookup(pstrName));
}

ImageInfoUI* CPaintManagerUI::LoadSkinImage(const char* pstrName, const char* pstrType, DWORD dwMask)
{
    if (pstrName == nullptr || *pstrName == '\0')
        return nullptr;
    const bool bTyped = pstrType != nullptr && *pstrType != '\0';
    ImageInfoUI* pImage = LoadImageForDpi(pstrName, bTyped ? pstrType : nullptr, dwMask);
    if (pImage == nullptr)
        return nullptr;
    if (!m_mImages.Insert(pstrName, pImage)) {
        // The name is taken already: keep the record in the table.
        CUIRender::FreeImage(pImage);
        return static_cast<ImageInfoUI*>(m_mImages.Lookup(pstrName));
    }
    return pImage;
}

ImageInfoUI* CPaintManagerUI::LoadImageForDpi(const char* pstrName, const char* pstrType, DWORD dwMask) const
{
    ImageInfoUI* pImage = nullptr;
    if (pstrType != nullptr) {
        // A typed image is a resource with a numeric id; other names cannot be resources here. Resources
        // come in one scale.
        if (pstrName[0] < '0' || pstrName[0] > '9')
            return nullptr;
        unsigned long nId = 0;
        for (const char* p = pstrName; *p >= '0' && *p <= '9' && nId <= 0xFFFF; ++p)
            nId = nId * 10 + static_cast<unsigned long>(*p - '0');
        if (nId > 0xFFFF)
            return nullptr; // not a resource id
        pImage = CUIRender::LoadImage(CUIResName(static_cast<unsigned int>(nId)), pstrType, dwMask);
        if (pImage != nullptr)
            pImage->resourceType = pstrType;
    } else {
        for (const ArtScale& art : ArtScalesFor(m_nDpi)) {
            pImage = LoadArtScale(pstrName, art, dwMask);
            if (pImage != nullptr)
                break;
        }
    }
    if (pImage == nullptr)
        return nullptr;
    pImage->mask = dwMask;
    if (pImage->dpi != m_nDpi) {
        // No picture drawn for this scale: the nearest one is resampled once, here, with a filter, so that
        // drawing never stretches it pixel by pixel.
        const int cx = ScaleLength(DpiUnscale(pImage->width, pImage->dpi));
        const int cy = ScaleLength(DpiUnscale(pImage->height, pImage->dpi));
        if (ImageInfoUI* pResampled = CUIRender::ResampleImage(pImage, cx, cy, m_nDpi)) {
            CUIRender::FreeImage(pImage);
            pImage = pResampled;
        }
    }
    return pImage;
}

void CPaintManagerUI::DropAllImages()
{
    for (int i = 0; i < m_mImages.Count(); ++i)
        CUIRender::FreeImage(static_cast<ImageInfoUI*>(m_mImages.Lookup(m_mImages.KeyAt(i), false)));
    m_mImages.Clear();
}

// ---- Class defaults ----

void CPaintManagerUI::SetClassDefaults(const char* pstrControlClass, const char* pstrAttributes)
{
    if (pstrControlClass == nullptr || m_mClassDefaults.Lookup(pstrControlClass) != nullptr)
        return; // the first list given for a class wins
    auto pList = std::make_unique<CUIString>(pstrAttributes != nullptr ? pstrAttributes : "");
    if (m_mClassDefaults.Insert(pstrControlClass, pList.get()))
        pList.release(); // owned by the table now
}

const char* CPaintManagerUI::GetClassDefaults(const char* pstrControlClass) const
{
    if (pstrControlClass == nullptr)
        return nullptr;
    if (const auto* pList = static_cast<const CUIString*>(m_mClassDefaults.Lookup(pstrControlClass)))
        return pList->Chars();
    if (m_pResourceParent != nullptr)
        return m_pResourceParent->GetClassDefaults(pstrControlClass);
    return nullptr;
}

void CPaintManagerUI::DropAllClassDefaults()
{
    for (int i = 0; i < m_mClassDefaults.Count(); ++i)
        delete static_cast<CUIString*>(m_mClassDefaults.Lookup(m_mClassDefaults.KeyAt(i), false));
    m_mClassDefaults.Clear();
}

// ---- Resource parent ----

bool CPaintManagerUI::SetResourceParent(CPaintManagerUI* pManager)
{
    for (CPaintManagerUI* p = pManager; p != nullptr; p = p->m_pResourceParent) {
        if (p == this)
            return false; // no cycles
    }
    m_pResourceParent = pManager;
    return true;
}

CPaintManagerUI* CPaintManagerUI::GetResourceParent() const
{
    return m_pResourceParent;
}

} // namespace SkinUI

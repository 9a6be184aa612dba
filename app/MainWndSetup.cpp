// CMainWnd: construction, the answers to the window base, the set-up once the skin is built, the
// install-target check and the end of the window.
#include "app/MainWnd.h"

#include "SkinUI/Control/UIAnimation.h"
#include "SkinUI/Control/UIButton.h"
#include "SkinUI/Control/UIEdit.h"
#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Control/UIProgress.h"
#include "SkinUI/Control/UIRichEdit.h"
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UITabLayout.h"
#include "app/AgreementText.h"
#include "app/InstallTarget.h"

#include "BuildConfig.h"

using namespace SkinUI;

namespace {

constexpr UINT kWindowIconId = 102;
constexpr int kSkinResourceId = 101;

// The control of that name when it is of the class the interface key names; null otherwise.
template <class T>
T* FindTyped(CPaintManagerUI& pm, const char* pstrName, const char* pstrInterface)
{
    CControlUI* pControl = pm.FindControlByName(pstrName);
    return pControl != nullptr ? static_cast<T*>(pControl->GetInterface(pstrInterface)) : nullptr;
}

} // namespace

CMainWnd::CMainWnd(const char* pstrExpectedSha256)
    : m_download(pstrExpectedSha256 != nullptr ? pstrExpectedSha256 : Veltara::kPackageSha256)
{
}

CMainWnd::~CMainWnd() = default;

CUIString CMainWnd::SkinFolderName() const
{
    return CUIString();
}

CUIString CMainWnd::SkinFileName() const
{
    return CUIString("skin.xml");
}

int CMainWnd::SkinSourceKind() const
{
    return SKIN_FROM_ARCHIVE_RESOURCE;
}

CUIResName CMainWnd::SkinResourceId() const
{
    return CUIResName(kSkinResourceId);
}

void CMainWnd::OnSkinReady()
{
    SetWindowIcon(kWindowIconId);

    CWindowShadow::RegisterShadowClass(CPaintManagerUI::GetModuleInstance());
    m_shadow.AttachToWindow(m_hWnd);
    m_shadow.SetShadowSize(6);
    m_shadow.SetShadowOffset(0, 0);

    CPaintManagerUI& pm = m_pm;
    m_pTabMainSwitch = FindTyped<CTabLayoutUI>(pm, "Tab_MainSwitch", "TabLayout");
    if (m_pTabMainSwitch != nullptr)
        m_pTabMainSwitch->SelectItem(0);
    m_pTabSwitch = FindTyped<CTabLayoutUI>(pm, "Tab_Switch", "TabLayout");
    if (m_pTabSwitch != nullptr)
        m_pTabSwitch->SelectItem(0);

    m_pHorCustom = FindTyped<CContainerUI>(pm, "Hor_Custom", "Container");
    if (m_pHorCustom != nullptr)
        m_pHorCustom->SetFixedHeight(1);

    m_pBtnCustom = FindTyped<CFadeButtonUI>(pm, "Btn_Custom", "FadeButton");
    SetCustomButtonImages("Custom_Up.png");

    m_pTxtInfo = FindTyped<CRichEditUI>(pm, "Txt_info", "RichEdit");
    if (m_pTxtInfo != nullptr) {
        m_pTxtInfo->SetEnabled(false);
        m_pTxtInfo->SetText(GetAgreementText());
    }

    // The agreement step is switched off: the option is accepted and hidden, its link and label are
    // hidden, and the install button is enabled.
    m_pBtnInstall = FindTyped<CButtonUI>(pm, "Btn_Install", "Button");
    m_pOptAgree = FindTyped<COptionUI>(pm, "Opt_Agree", "Option");
    if (m_pOptAgree != nullptr) {
        m_pOptAgree->Selected(true);
        if (m_pBtnInstall != nullptr)
            m_pBtnInstall->SetEnabled(true);
        m_pOptAgree->SetVisible(false);
    }
    HideAgreementLink();

    m_pTheme = FindTyped<CContainerUI>(pm, "theme", "Container");
    m_pProInstall = FindTyped<CProgressUI>(pm, "Pro_Install", "Progress");
    m_pTxtStatus = FindTyped<CTextUI>(pm, "Txt_Status", "Text");
    m_pTxtError = FindTyped<CTextUI>(pm, "Txt_Error", "Text");
    if (m_pTxtError != nullptr)
        m_dwStatusColor = m_pTxtError->GetTextColor();
    if (m_pProInstall != nullptr)
        m_strProgressFore = m_pProInstall->GetForeImage();
    // Shown with a failure only.
    m_pBtnRetry = FindTyped<CButtonUI>(pm, "Btn_Retry", "Button");
    if (m_pBtnRetry != nullptr)
        m_pBtnRetry->SetVisible(false);
    // Where the log is: shown with a failure only.
    m_pTxtLogPath = FindTyped<CTextUI>(pm, "Txt_LogPath", "Text");
    if (m_pTxtLogPath != nullptr)
        m_pTxtLogPath->SetVisible(false);
    m_pTxtShowMsg = FindTyped<CTextUI>(pm, "Txt_ShowMsg", "Text");
    if (m_pTxtShowMsg != nullptr)
        m_dwShowMsgColor = m_pTxtShowMsg->GetTextColor();

    m_pEdtPath = FindTyped<CEditUI>(pm, "Edt_Path", "Edit");
    if (m_pEdtPath == nullptr)
        return;
    const CUIString strFolder = GetDefaultInstallFolder();
    m_pEdtPath->SetText(strFolder);
    CheckInstallTarget(strFolder);
}

void CMainWnd::HideAgreementLink()
{
    // Hidden from inside: the tab layout shows them again whenever it selects the welcome page.
    for (const char* pstrName : {"Btn_agreement", "Label_agreement"}) {
        if (CControlUI* pControl = m_pm.FindControlByName(pstrName))
            pControl->SetInternVisible(false);
    }
}

void CMainWnd::CheckInstallTarget(const char* pstrFolder)
{
    const InstallTargetCheck check = CheckInstallTargetFolder(pstrFolder);
    m_bSpaceEnough = check.bSpaceEnough;
    if (pstrFolder == nullptr || m_pTxtShowMsg == nullptr)
        return;
    m_pTxtShowMsg->SetTextColor(check.bError ? kInstallTargetErrorColor : m_dwShowMsgColor);
    m_pTxtShowMsg->SetText(check.strText);
}

CUIString CMainWnd::InstallFolder() const
{
    return m_pEdtPath != nullptr ? m_pEdtPath->GetText() : CUIString();
}

void CMainWnd::OnWindowGone(HWND hWnd)
{
    WindowImplBase::OnWindowGone(hWnd);
    // The unpacking thread posts to this window and writes below the install folder: stop it between
    // items and wait for it before the object goes.
    m_unpacker.RequestStop();
    m_unpacker.Join();
    DeleteTask(m_nTaskId);
    if (m_nMessageDepth > 0) {
        m_bDeleteWhenUnwound = true; // a handler of this object is still running below us
        return;
    }
    delete this;
}

LRESULT CMainWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ++m_nMessageDepth;
    const LRESULT lRes = WindowImplBase::OnMessage(uMsg, wParam, lParam);
    if (--m_nMessageDepth == 0 && m_bDeleteWhenUnwound)
        delete this;
    return lRes;
}

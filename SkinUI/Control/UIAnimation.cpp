// CUIAnimation and CFadeButtonUI: animation records over control timers, and the fade button's
// cross-fading state painting.
#include "SkinUI/Control/UIAnimation.h"

#include <algorithm>
#include <cstring>

namespace SkinUI {

// ---- CUIAnimation ----

CUIAnimation::CUIAnimation(CControlUI* pOwner) : m_pOwner(pOwner)
{
    UIASSERT(pOwner != 0);
}

CUIAnimation::~CUIAnimation() = default;

CAnimationData* CUIAnimation::FindAnimation(int nAnimationID) const
{
    for (const auto& pData : m_aAnimations) {
        if (pData->id == nAnimationID)
            return pData.get();
    }
    return nullptr;
}

void CUIAnimation::RemoveAnimation(const CAnimationData* pData)
{
    const auto it = std::find_if(m_aAnimations.begin(), m_aAnimations.end(),
                                 [pData](const std::unique_ptr<CAnimationData>& p) { return p.get() == pData; });
    if (it != m_aAnimations.end())
        m_aAnimations.erase(it);
}

bool CUIAnimation::BeginAnimation(int nElapse, int nTotalFrame, int nAnimationID, bool bLoop)
{
    if (FindAnimation(nAnimationID) != nullptr || nElapse <= 0 || nTotalFrame <= 0 || m_pOwner == nullptr) {
        UIASSERT(0);
        return false;
    }
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    if (pManager == nullptr ||
        !pManager->StartControlTimer(m_pOwner, static_cast<UINT>(nAnimationID), static_cast<UINT>(nElapse)))
        return false;
    auto pData = std::make_unique<CAnimationData>();
    pData->id = nAnimationID;
    pData->elapse = nElapse;
    pData->frameCount = nTotalFrame;
    pData->currentFrame = 0;
    pData->loop = bLoop ? 1 : 0;
    pData->firstLoop = 1;
    m_aAnimations.push_back(std::move(pData));
    return true;
}

void CUIAnimation::EndAnimation(int nAnimationID)
{
    if (m_pOwner == nullptr)
        return;
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    if (nAnimationID == 0) {
        if (pManager != nullptr) {
            for (const auto& pData : m_aAnimations)
                pManager->StopControlTimer(m_pOwner, static_cast<UINT>(pData->id));
        }
        m_aAnimations.clear();
        return;
    }
    CAnimationData* pData = FindAnimation(nAnimationID);
    if (pData == nullptr)
        return;
    if (pManager != nullptr)
        pManager->StopControlTimer(m_pOwner, static_cast<UINT>(nAnimationID));
    RemoveAnimation(pData);
}

bool CUIAnimation::IsAnimating(int nAnimationID)
{
    return FindAnimation(nAnimationID) != nullptr;
}

int CUIAnimation::GetAnimationFrame(int nAnimationID)
{
    const CAnimationData* pData = FindAnimation(nAnimationID);
    if (pData == nullptr) {
        UIASSERT(0);
        return -1;
    }
    return pData->currentFrame;
}

bool CUIAnimation::SetAnimationFrame(int nFrame, int nAnimationID)
{
    CAnimationData* pData = FindAnimation(nAnimationID);
    if (pData == nullptr || nFrame < 0 || nFrame > pData->frameCount) {
        UIASSERT(0);
        return false;
    }
    pData->currentFrame = nFrame;
    return true;
}

void CUIAnimation::OnAnimationFrame(int /*nTotalFrame*/, int /*nCurFrame*/, int /*nAnimationID*/) {}

void CUIAnimation::OnAnimationBegun(int /*nAnimationID*/, bool /*bFirstLoop*/) {}

void CUIAnimation::OnAnimationEnded(int /*nAnimationID*/) {}

void CUIAnimation::AdvanceAnimation(int nAnimationID)
{
    if (m_pOwner == nullptr)
        return;
    CAnimationData* pData = FindAnimation(nAnimationID);
    if (pData == nullptr)
        return;
    const int nFrame = pData->currentFrame;
    const int nFrameCount = pData->frameCount;
    // The hooks may end this animation (or all of them); the record is looked up again after each one so
    // that a removed record is never touched.
    if (nFrame == 0) {
        const bool bFirstLoop = pData->firstLoop != 0;
        OnAnimationBegun(nAnimationID, bFirstLoop);
        if ((pData = FindAnimation(nAnimationID)) == nullptr)
            return;
        pData->firstLoop = 0;
    }
    OnAnimationFrame(nFrameCount, nFrame, nAnimationID);
    if ((pData = FindAnimation(nAnimationID)) == nullptr)
        return;
    if (nFrame >= pData->frameCount) {
        OnAnimationEnded(nAnimationID);
        if ((pData = FindAnimation(nAnimationID)) == nullptr)
            return;
        if (pData->loop != 0) {
            pData->currentFrame = 0;
        } else {
            if (CPaintManagerUI* pManager = m_pOwner->GetManager())
                pManager->StopControlTimer(m_pOwner, static_cast<UINT>(nAnimationID));
            RemoveAnimation(pData);
            return;
        }
    }
    ++pData->currentFrame;
}

// ---- CFadeButtonUI ----

CFadeButtonUI::CFadeButtonUI() : CUIAnimation(this), m_bFadeAlpha(0), m_bMouseHove(FALSE), m_bMouseLeave(FALSE) {}

CFadeButtonUI::~CFadeButtonUI()
{
    EndAnimation(0);
}

CUIString CFadeButtonUI::GetClassName() const
{
    return "FadeButtonUI";
}

void* CFadeButtonUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "FadeButton") == 0)
        return this;
    return CButtonUI::GetInterface(pstrName);
}

void CFadeButtonUI::SetNormalImage(const char* pstrImage)
{
    CButtonUI::SetNormalImage(pstrImage);
    m_sLastImage = pstrImage;
}

void CFadeButtonUI::HandleEvent(InputEventUI& event)
{
    if (event.nKind == UIEV_MOUSEENTER && !IsAnimating(FADE_IN_TIMER)) {
        m_bFadeAlpha = 0;
        m_bMouseHove = TRUE;
        EndAnimation(FADE_OUT_TIMER);
        BeginAnimation(FADE_STEP_MS, FADE_FRAMES, FADE_IN_TIMER);
        Invalidate();
        return;
    }
    if (event.nKind == UIEV_MOUSELEAVE && !IsAnimating(FADE_OUT_TIMER)) {
        m_bFadeAlpha = 0;
        m_bMouseLeave = TRUE;
        EndAnimation(FADE_IN_TIMER);
        BeginAnimation(FADE_STEP_MS, FADE_FRAMES, FADE_OUT_TIMER);
        Invalidate();
        return;
    }
    if (event.nKind == UIEV_TIMER)
        AdvanceAnimation(static_cast<int>(event.wParam));
    CButtonUI::HandleEvent(event);
}

void CFadeButtonUI::OnAnimationFrame(int nTotalFrame, int nCurFrame, int /*nAnimationID*/)
{
    const double dLevel = static_cast<double>(nCurFrame) / nTotalFrame * 255.0;
    m_bFadeAlpha = static_cast<BYTE>(static_cast<int>(dLevel));
    if (m_bFadeAlpha == 0)
        m_bFadeAlpha = 10;
    Invalidate();
}

void CFadeButtonUI::OnAnimationBegun(int /*nAnimationID*/, bool /*bFirstLoop*/) {}

void CFadeButtonUI::OnAnimationEnded(int /*nAnimationID*/) {}

void CFadeButtonUI::PaintStateImage(HDC hDC)
{
    RefreshPaintState();
    CUIString* pStateImage = nullptr;
    if ((m_uButtonState & CONTROL_STATE_DISABLED) != 0)
        pStateImage = &m_sDisabledImage;
    else if ((m_uButtonState & CONTROL_STATE_PUSHED) != 0)
        pStateImage = &m_sPushedImage;
    else if ((m_uButtonState & CONTROL_STATE_FOCUSED) != 0)
        pStateImage = &m_sFocusedImage;
    if (pStateImage != nullptr && !pStateImage->IsEmpty() && DrawOrForget(hDC, *pStateImage))
        return;

    if (m_sNormalImage.IsEmpty())
        return;
    if (IsAnimating(FADE_IN_TIMER) || IsAnimating(FADE_OUT_TIMER)) {
        if (m_bMouseHove) {
            // The first paint of a fade-in still shows the normal image; the button rests on the hot one.
            m_bMouseHove = FALSE;
            m_sLastImage = m_sHotImage;
            DrawOrForget(hDC, m_sNormalImage);
        } else if (m_bMouseLeave) {
            m_bMouseLeave = FALSE;
            m_sLastImage = m_sNormalImage;
            DrawOrForget(hDC, m_sHotImage);
        } else {
            const bool bFadeOut = IsAnimating(FADE_OUT_TIMER);
            m_sOldImage = bFadeOut ? m_sHotImage : m_sNormalImage;
            m_sNewImage = bFadeOut ? m_sNormalImage : m_sHotImage;
            DrawOrForget(hDC, m_sOldImage, true, static_cast<BYTE>(255 - m_bFadeAlpha));
            DrawOrForget(hDC, m_sNewImage, true, m_bFadeAlpha);
        }
        return;
    }
    DrawOrForget(hDC, m_sLastImage);
}

} // namespace SkinUI

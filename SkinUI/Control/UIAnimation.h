// Frame animations of a control, driven by the paint manager's control timers (CUIAnimation), and the
// fade button that cross-fades between its normal and hot images when the mouse enters or leaves it
// (CFadeButtonUI).
#pragma once

#include "SkinUI/Control/UIButton.h"

#include <memory>
#include <vector>

namespace SkinUI {

class IUIAnimation
{
public:
    virtual ~IUIAnimation() = default;
    virtual bool BeginAnimation(int nElapse, int nTotalFrame, int nAnimationID, bool bLoop = false) = 0;
    virtual void EndAnimation(int nAnimationID) = 0;
    virtual bool IsAnimating(int nAnimationID) = 0;
    virtual int GetAnimationFrame(int nAnimationID) = 0;
    virtual bool SetAnimationFrame(int nFrame, int nAnimationID) = 0;
    virtual void OnAnimationFrame(int nTotalFrame, int nCurFrame, int nAnimationID) = 0;
    virtual void OnAnimationBegun(int nAnimationID, bool bFirstLoop) = 0;
    virtual void OnAnimationEnded(int nAnimationID) = 0;
    virtual void AdvanceAnimation(int nAnimationID) = 0;
};

// One running animation. Frames run from 0 to frameCount inclusive; currentFrame is the next one shown.
struct CAnimationData
{
    int id = 0; // also the owner's control-timer id
    int elapse = 0;
    int frameCount = 0;
    int currentFrame = 0;
    int loop = 0;
    int firstLoop = 1;
};

// The animations of one owner control. The owner forwards its UIEV_TIMER events to AdvanceAnimation with
// the event's wParam as id; every frame is reported through OnAnimationFrame.
class CUIAnimation : public IUIAnimation
{
public:
    explicit CUIAnimation(CControlUI* pOwner);
    ~CUIAnimation() override;
    CUIAnimation(const CUIAnimation&) = delete;
    CUIAnimation& operator=(const CUIAnimation&) = delete;

    // Fails for an id already running, a period or frame count below 1, or when the timer is refused.
    bool BeginAnimation(int nElapse, int nTotalFrame, int nAnimationID, bool bLoop = false) override;
    // Id 0 ends every animation.
    void EndAnimation(int nAnimationID) override;
    bool IsAnimating(int nAnimationID) override;
    int GetAnimationFrame(int nAnimationID) override;
    bool SetAnimationFrame(int nFrame, int nAnimationID) override;
    void OnAnimationFrame(int nTotalFrame, int nCurFrame, int nAnimationID) override;
    void OnAnimationBegun(int nAnimationID, bool bFirstLoop) override;
    void OnAnimationEnded(int nAnimationID) override;
    void AdvanceAnimation(int nAnimationID) override;

protected:
    CAnimationData* FindAnimation(int nAnimationID) const;

private:
    void RemoveAnimation(const CAnimationData* pData);

    CControlUI* m_pOwner;
    std::vector<std::unique_ptr<CAnimationData>> m_aAnimations;
};

// A button that fades between its normal and hot images over 30 frames of 10 ms instead of switching.
// Its control timers 8 and 9 drive the fades and must not be used for anything else.
class CFadeButtonUI : public CButtonUI, public CUIAnimation
{
public:
    static constexpr int FADE_IN_TIMER = 8;
    static constexpr int FADE_OUT_TIMER = 9;
    static constexpr int FADE_STEP_MS = 10;
    static constexpr int FADE_FRAMES = 30;

    CFadeButtonUI();
    ~CFadeButtonUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void HandleEvent(InputEventUI& event) override;
    void PaintStateImage(HDC hDC) override;

    void OnAnimationFrame(int nTotalFrame, int nCurFrame, int nAnimationID) override;
    void OnAnimationBegun(int nAnimationID, bool bFirstLoop) override;
    void OnAnimationEnded(int nAnimationID) override;

    // Sets the normal image and also rests on it. A normal image given only as a skin attribute leaves the
    // resting image empty until the first fade.
    void SetNormalImage(const char* pstrImage);
    // The opacity of the image being faded in (0 to 255).
    BYTE GetFadeLevel() const { return m_bFadeAlpha; }

protected:
    CUIString m_sOldImage;  // faded from
    CUIString m_sNewImage;  // faded to
    CUIString m_sLastImage; // drawn while no fade runs
    BYTE m_bFadeAlpha;
    BOOL m_bMouseHove;  // entered; the next paint starts the fade-in
    BOOL m_bMouseLeave; // left; the next paint starts the fade-out
};

} // namespace SkinUI

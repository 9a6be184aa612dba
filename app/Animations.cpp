#include "app/Animations.h"

SlideshowFrame MakeSlideshowFrame(int nAlpha, int nImage)
{
    SlideshowFrame frame;
    frame.nAlpha = nAlpha > kFadeMax ? kFadeMax : (nAlpha < kFadeMin ? kFadeMin : nAlpha);
    frame.nImage = nImage;
    frame.eNext = SlideshowFrame::KeepFading;
    if (frame.nAlpha >= kFadeMax) {
        frame.eNext = SlideshowFrame::Hold;
    } else if (frame.nAlpha <= kFadeMin) {
        frame.nImage = (nImage + 1) % kSlideshowImages;
        frame.eNext = SlideshowFrame::FadeInNext;
    }
    frame.strImage.FormatText("file='%d.png' fade='%d'", frame.nImage, frame.nAlpha);
    return frame;
}

PanelStep StepPanel(int nHeight, bool bOpening)
{
    if (bOpening) {
        const int h = nHeight + kPanelStep;
        return h >= kPanelOpenHeight ? PanelStep{kPanelOpenHeight, true} : PanelStep{h, false};
    }
    const int h = nHeight - kPanelStep;
    return h <= kPanelClosedHeight ? PanelStep{kPanelClosedHeight, true} : PanelStep{h, false};
}

// The steps of the installer window's two animations, apart from the timers that drive them: the
// slideshow's cross-fade through three pictures and the custom panel's slide between its two heights.
#pragma once

#include "SkinUI/Utils/UIString.h"

constexpr int kFadeMin = 20;
constexpr int kFadeMax = 255;
constexpr int kFadeStep = 5;
constexpr int kSlideshowImages = 3;
constexpr int kPanelClosedHeight = 1;
constexpr int kPanelOpenHeight = 80;
constexpr int kPanelStep = 5;

struct SlideshowFrame
{
    enum Next
    {
        KeepFading, // the running fade timer goes on
        Hold,       // fully shown: stop fading in, hold the picture
        FadeInNext, // faded out: stop fading out, fade the next picture in
    };
    int nAlpha; // the level after clamping
    int nImage; // the picture number after the step
    Next eNext;
    SkinUI::CUIString strImage; // the background image string of the slideshow area
};

// The frame for a fade level just changed by a timer and the current picture number.
SlideshowFrame MakeSlideshowFrame(int nAlpha, int nImage);

struct PanelStep
{
    int nHeight;
    bool bEnded; // the panel reached its end height; the direction turns
};

// One step of the panel from its current height in the given direction.
PanelStep StepPanel(int nHeight, bool bOpening);

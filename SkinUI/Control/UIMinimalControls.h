// Controls the skin builder knows by tag but the installer's skin never uses (the list's header item and
// label and text elements, combo, combo box, date-time, slider, ActiveX host, web browser), reduced to what
// building them needs: construction, a class name and interface key, and the common attributes of their
// base. The container-like ones that build on layouts live with the layouts (UIMinimalLayouts.h).
#pragma once

#include "SkinUI/Core/UIContainer.h"

namespace SkinUI {

class CSliderUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CComboUI : public CContainerUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CComboBoxUI : public CComboUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListHeaderItemUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListLabelElementUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListTextElementUI : public CListLabelElementUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CDateTimeUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CActiveXUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CWebBrowserUI : public CActiveXUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

} // namespace SkinUI

// The controls known to the builder only: class names and interface keys.
#include "SkinUI/Control/UIMinimalControls.h"

#include <cstring>

namespace SkinUI {

namespace {

bool IsKey(const char* pstrName, const char* pstrKey)
{
    return pstrName != nullptr && std::strcmp(pstrName, pstrKey) == 0;
}

} // namespace

CUIString CSliderUI::GetClassName() const
{
    return "SliderUI";
}

void* CSliderUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "Slider") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CComboUI::GetClassName() const
{
    return "ComboUI";
}

void* CComboUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "Combo") ? this : CContainerUI::GetInterface(pstrName);
}

CUIString CComboBoxUI::GetClassName() const
{
    return "ComboBoxUI";
}

void* CComboBoxUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ComboBox") ? this : CComboUI::GetInterface(pstrName);
}

CUIString CListHeaderItemUI::GetClassName() const
{
    return "ListHeaderItemUI";
}

void* CListHeaderItemUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListHeaderItem") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CListLabelElementUI::GetClassName() const
{
    return "ListLabelElementUI";
}

void* CListLabelElementUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListLabelElement") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CListTextElementUI::GetClassName() const
{
    return "ListTextElementUI";
}

void* CListTextElementUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListTextElement") ? this : CListLabelElementUI::GetInterface(pstrName);
}

CUIString CDateTimeUI::GetClassName() const
{
    return "DateTimeUI";
}

void* CDateTimeUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "DateTime") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CActiveXUI::GetClassName() const
{
    return "ActiveXUI";
}

void* CActiveXUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ActiveX") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CWebBrowserUI::GetClassName() const
{
    return "WebBrowserUI";
}

void* CWebBrowserUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "WebBrowser") ? this : CActiveXUI::GetInterface(pstrName);
}

} // namespace SkinUI

// CControlUI: the root class of every element of the user interface.
#pragma once

#include "SkinUI/Utils/Utils.h"

namespace SkinUI {

class CControlUI
{
public:
    CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual ~CControlUI();

    virtual const CUIString& GetName() const;
    virtual void SetName(const char* pstrName);

protected:
    CUIString m_sName;
};

} // namespace SkinUI

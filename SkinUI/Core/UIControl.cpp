#include "SkinUI/Core/UIControl.h"

namespace SkinUI {

CControlUI::CControlUI() = default;
CControlUI::~CControlUI() = default;

const CUIString& CControlUI::GetName() const
{
    return m_sName;
}

void CControlUI::SetName(const char* pstrName)
{
    m_sName = pstrName;
}

} // namespace SkinUI

#include "SkinUI/Utils/UIWaitCursor.h"

namespace SkinUI {

CUIWaitCursor::CUIWaitCursor() : m_hOrigCursor(::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)))) {}

CUIWaitCursor::~CUIWaitCursor()
{
    ::SetCursor(m_hOrigCursor);
}

} // namespace SkinUI

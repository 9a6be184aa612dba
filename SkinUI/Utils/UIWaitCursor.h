// CUIWaitCursor: shows the platform's wait cursor for the life of the object.
#pragma once

#include <windows.h>

namespace SkinUI {

class CUIWaitCursor
{
public:
    CUIWaitCursor();
    ~CUIWaitCursor();
    CUIWaitCursor(const CUIWaitCursor&) = delete;
    CUIWaitCursor& operator=(const CUIWaitCursor&) = delete;

private:
    HCURSOR m_hOrigCursor;
};

} // namespace SkinUI

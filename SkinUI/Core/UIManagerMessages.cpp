// CPaintManagerUI: window message handling and the queued-message router.
#include "SkinUI/Core/UIManager.h"

namespace SkinUI {

bool CPaintManagerUI::RouteQueuedMessage(MSG* /*pMsg*/)
{
    // No manager is attached to a window yet: nothing to route.
    return false;
}

} // namespace SkinUI

#include "app/MainWnd.h" // wrong: the installer is above the framework
#include "SkinUI/Layout/UITabLayout.h"
#include "SkinUI/Control/UIButton.h"

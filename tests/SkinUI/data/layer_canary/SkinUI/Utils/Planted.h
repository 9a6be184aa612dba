#include "SkinUI/Core/UIControl.h" // wrong: Utils is the bottom
#include "SkinUI/Utils/UIString.h"

#include "SkinUI/Layout/UILinearLayout.h" // wrong: Control and Layout stand side by side
#include "SkinUI/Core/UIControl.h"

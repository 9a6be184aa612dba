// The framework's value types: strings, geometry, resource names, arrays, the string map, the wait cursor
// and delegates.
#pragma once

#include "SkinUI/Utils/UIAssert.h"
#include "SkinUI/Utils/UIArray.h"
#include "SkinUI/Utils/UIDelegate.h"
#include "SkinUI/Utils/UIGeometry.h"
#include "SkinUI/Utils/UIString.h"
#include "SkinUI/Utils/UIStringMap.h"
#include "SkinUI/Utils/UIWaitCursor.h"

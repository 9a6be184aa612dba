#include "SkinUI/Core/UIBase.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { SUCCEED(); }

// A program built the ordinary way (assertions on, symbols kept, not large-address-aware): every check of the
// release build must refuse it.
#include "SkinUI/Utils/UIString.h"

int main(int argc, char** argv)
{
    const SkinUI::CUIString sFirst(argc > 0 ? argv[0] : nullptr);
    return sFirst.GetLength() > 0 ? 0 : 1;
}

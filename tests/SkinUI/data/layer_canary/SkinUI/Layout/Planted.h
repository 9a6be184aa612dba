#include <SkinUI/Window/WinImplBase.h> // wrong: Window is the top

#include "../Control/Planted.h" // wrong: Core sits below Control
#include "Planted.h"
#include "zip/ZipReader.h"

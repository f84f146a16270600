// Fixture of the include-order check: a layer header naming a platform library.
#pragma once
#include <vector>
#include <SDL2/SDL.h>

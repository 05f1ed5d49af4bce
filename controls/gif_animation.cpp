#include "controls/gif_animation.h"

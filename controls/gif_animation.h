#pragma once
#include "controls/gif.h"

#include "clock.h"

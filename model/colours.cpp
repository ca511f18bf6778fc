#include "colours.h"

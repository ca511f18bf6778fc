#include "diagnostics.h"

#include "files.h"

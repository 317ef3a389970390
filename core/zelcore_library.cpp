#include "zelcore_library.h"

#include "zelcore.h"

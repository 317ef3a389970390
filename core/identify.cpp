#include "identify.h"

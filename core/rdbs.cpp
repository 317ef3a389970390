#include "rdbs.h"

#include "zdb.h"

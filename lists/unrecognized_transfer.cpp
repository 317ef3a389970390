#include "unrecognized_transfer.h"

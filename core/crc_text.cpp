#include "crc_text.h"

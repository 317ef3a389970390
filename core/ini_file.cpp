#include "ini_file.h"

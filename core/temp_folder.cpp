#include "temp_folder.h"

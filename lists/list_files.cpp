#include "list_files.h"

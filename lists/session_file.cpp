#include "session_file.h"

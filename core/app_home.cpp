#include "app_home.h"

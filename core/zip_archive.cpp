#include "zip_archive.h"

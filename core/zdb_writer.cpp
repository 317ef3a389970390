#include "zdb_writer.h"

#include "collection_scan.h"

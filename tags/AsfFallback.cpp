#include "tags/AsfFallback.h"

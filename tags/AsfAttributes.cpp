#include "tags/AsfAttributes.h"

#include "tags/WmaTag.h"

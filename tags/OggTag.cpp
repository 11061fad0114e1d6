#include "tags/OggTag.h"

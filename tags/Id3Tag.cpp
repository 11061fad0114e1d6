#include "tags/Id3Tag.h"

#include "tags/OggCommentStream.h"

// The error of the skin engine: a skin description that cannot be read or a
// form it does not hold.
#pragma once

#include "audio/MessageError.h"

class SkinError : public MessageError {
  public:
    using MessageError::MessageError;
};

// The exception every audio component raises; its message names the file and
// says what failed.
#pragma once

#include "audio/MessageError.h"

class AudioError : public MessageError {
  public:
    using MessageError::MessageError;
};

// A file that needs one of the program's modules (FFmpeg's, say) when that
// module cannot be loaded: a broken installation rather than a bad file, so
// the message says which module and why.
class ModuleMissing : public AudioError {
  public:
    using AudioError::AudioError;
};

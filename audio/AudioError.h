// The exception every audio component raises; its message names the file and
// says what failed.
#pragma once

#include <QString>
#include <stdexcept>

class AudioError : public std::runtime_error {
  public:
    explicit AudioError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// A file that needs one of the program's modules (FFmpeg's, say) when that
// module cannot be loaded: a broken installation rather than a bad file, so
// the message says which module and why.
class ModuleMissing : public AudioError {
  public:
    using AudioError::AudioError;
};

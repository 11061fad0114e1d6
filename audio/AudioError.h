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

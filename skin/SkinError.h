// The error of the skin engine: a skin description that cannot be read or a
// form it does not hold.
#pragma once

#include <QString>
#include <stdexcept>

class SkinError : public std::runtime_error {
  public:
    explicit SkinError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// The shape of every error this program raises: a std::runtime_error whose
// text is the message shown to the user, kept as UTF-8 so that it reads back
// as the same QString. Each unit derives its own class so that a handler
// catches only what it can answer.
#pragma once

#include <QString>
#include <stdexcept>

class MessageError : public std::runtime_error {
  public:
    explicit MessageError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

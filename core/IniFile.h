// An INI settings file read and written like the classic private-profile
// functions: case-insensitive names, every other line kept, each write goes
// to the file at once. LF, CRLF and bare CR line ends all read, and writes keep
// the file's own.
#pragma once

#include "audio/MessageError.h"

#include <QString>

// A write the platform refused; message "Unable to write to <file>".
class IniWriteError : public MessageError {
  public:
    using MessageError::MessageError;
};

class IniFile {
  public:
    explicit IniFile(const QString& path);

    QString path() const { return m_path; }

    // Missing key, empty or non-numeric value: the default. "0x..." is hex.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    // At most 2047 characters; missing key, or a value holding a control
    // character such as NUL: the default.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // Each write updates the file at once; throws IniWriteError when refused.
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeString(const QString& section, const QString& key, const QString& value);

  private:
    QString m_path;
};

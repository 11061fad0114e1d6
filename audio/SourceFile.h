// A QFile that reads a source by the bytes of its name (see NativeName), so
// that a file whose name is not UTF-8 opens as every other does.
#pragma once

#include <QFile>

class SourceFile : public QFile {
  public:
    SourceFile() = default;
    explicit SourceFile(const QString& name);

    // Replaces the file name; takes effect at the next open().
    void setSourceName(const QString& name);
    QString sourceName() const { return m_name; }

    // A name Qt spells the same way opens as QFile opens it. An escaped one
    // opens by its bytes, for reading only; it fails with the system's reason
    // (errorString()) as QFile does.
    bool open(OpenMode mode) override;
    using QFile::open;

  private:
    QString m_name;
};

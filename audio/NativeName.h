// File names as the system spells them, kept exactly inside a QString: a name
// whose bytes are not UTF-8 still opens, and is shown with U+FFFD.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <filesystem>

// On POSIX systems a name is any run of bytes, and Qt turns the bytes that are
// not UTF-8 into U+FFFD, which no longer opens the file. Here each such byte
// becomes a lone low surrogate U+DC80..U+DCFF in the QString instead (as
// Python's "surrogateescape"), so that the name goes back to its very bytes.
// A name that is valid UTF-8 reads exactly as Qt reads it. On Windows names
// are UTF-16, which a QString holds as they are, and nothing is escaped.
class NativeName {
  public:
    // The name of the system's bytes.
    static QString fromNative(const QByteArray& bytes);
    static QString fromPath(const std::filesystem::path& path);
    // The system's bytes of the name: the original ones where it was escaped.
    static QByteArray toNative(const QString& name);
    static std::filesystem::path toPath(const QString& name);

    // True where the name holds an escaped byte, which Qt's own file calls
    // would not find.
    static bool isEscaped(const QString& name);
    // The name for people and for new file names: every escaped byte (and any
    // other lone surrogate) as U+FFFD, so that the text is valid UTF-16 and
    // encodes as valid UTF-8.
    static QString shown(const QString& name);

    // A program's arguments from its argv, each decoded as a name (Qt's own
    // list has lost the bytes already). On Windows, Qt's list.
    static QStringList arguments(int argc, char** argv);

    // What the name is on disk, following symbolic links; false where it
    // cannot be looked at.
    static bool isFolder(const QString& name);
    static bool isFile(const QString& name);
};

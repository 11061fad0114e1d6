#include "audio/SourceFile.h"

#include "audio/NativeName.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

SourceFile::SourceFile(const QString& name) {
    setSourceName(name);
}

void SourceFile::setSourceName(const QString& name) {
    m_name = name;
    setFileName(name);
}

bool SourceFile::open(OpenMode mode) {
    if (!NativeName::isEscaped(m_name))
        return QFile::open(mode);
    // Qt's name would be another file: only the stdio stream reaches this one.
    int reason = EACCES;
    std::error_code error;
    if ((mode & WriteOnly) || (mode & Append))
        reason = EROFS; // a source is never written through this name
    else if (std::filesystem::is_directory(NativeName::toPath(m_name), error))
        reason = EISDIR;
    else if (std::FILE* stream = std::fopen(NativeName::toNative(m_name).constData(), "rb")) {
        if (QFile::open(stream, mode, AutoCloseHandle))
            return true;
        std::fclose(stream);
    } else {
        reason = errno;
    }
    setErrorString(QString::fromStdString(std::generic_category().message(reason)));
    return false;
}

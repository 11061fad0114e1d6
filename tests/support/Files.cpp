#include "support/Files.h"

#include <QFile>
#include <gtest/gtest.h>

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    touch(path, bytes);
}

bool canCreateFileIn(const QString& folder) {
    QFile probe(folder + QStringLiteral("/.probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}

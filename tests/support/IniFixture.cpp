#include "support/IniFixture.h"

#include <QFile>

QString IniFixture::path() const {
    return dir.filePath(QStringLiteral("VAZOzojoin.ini"));
}

void IniFixture::writeRaw(const QByteArray& bytes) const {
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray IniFixture::readRaw() const {
    QFile f(path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

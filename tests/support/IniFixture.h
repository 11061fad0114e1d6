// A settings file in a temporary folder, written and read back byte for byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class IniFixture : public ::testing::Test {
  protected:
    QString path() const;
    void writeRaw(const QByteArray& bytes) const;
    QByteArray readRaw() const;

    QTemporaryDir dir;
};

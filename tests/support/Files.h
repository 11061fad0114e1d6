// Small file helpers the tests share: a folder of the test's own, a file's
// bytes, and a file that only has to exist.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A test with a folder of its own, removed after the test.
class TempDirTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
};

// The whole file, or nothing when it cannot be opened.
QByteArray readBytes(const QString& path);

// Creates (or truncates) `path` holding `content`; a failure to open fails the test.
void touch(const QString& path, const QByteArray& content = {});

// Writes `bytes` to `path`; a failure to open fails the test.
void writeBytes(const QString& path, const QByteArray& bytes);

// Whether this process can still create a file in `folder`: true in a
// read-only folder when it runs with the right to override permissions (root
// with its capabilities). The cases that need a refused write skip then;
// tests/support/unprivileged.sh runs their programs without that right.
bool canCreateFileIn(const QString& folder);

// Hands the files and folders given to a second start over to the running
// copy: the running copy listens on a local socket beside its lock, a second
// start sends its arguments there and ends.
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

class ArgumentChannel : public QObject {
    Q_OBJECT
  public:
    explicit ArgumentChannel(QObject* parent = nullptr);
    ~ArgumentChannel() override;

    // The running copy: listens on `name` (a path), replacing a socket a copy
    // that died left behind. False when it cannot.
    bool listen(const QString& name);
    // A second start: sends `paths` (made absolute here) to the copy listening
    // on `name`. False when nobody takes them within `timeoutMs`.
    static bool send(const QString& name, const QStringList& paths, int timeoutMs = 3000);

  signals:
    void received(const QStringList& paths);

  private:
    QLocalServer* m_server = nullptr;
};

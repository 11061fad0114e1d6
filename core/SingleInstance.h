// One running copy per user and display: a lock file named after the
// application title and the display, in the user's runtime folder. A copy
// that does not get the lock must end at once and tell the other one nothing.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

class SingleInstance {
  public:
    // Usable before the application object exists.
    explicit SingleInstance(const QString& title);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one running copy. A lock left behind
    // by a copy that died is taken over.
    bool tryLock();
    bool isLocked() const;
    QString lockPath() const { return m_path; }

    // The display this process runs on ($WAYLAND_DISPLAY, else $DISPLAY), as
    // it appears in the lock's name.
    static QString displayName();

  private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

// One copy per user and display: the lock itself, and two starts of the real
// program under the offscreen platform.
#include "core/SingleInstance.h"
#include "ui/ArgumentChannel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <future>
#include <gtest/gtest.h>

namespace {

// Sets an environment variable for the scope of a test and puts it back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

QString uniqueTitle() {
    return QStringLiteral("Cadelo test %1").arg(QCoreApplication::applicationPid());
}

TEST(SingleInstance, SecondLockFailsUntilTheFirstIsGone) {
    auto first = std::make_unique<SingleInstance>(uniqueTitle());
    ASSERT_TRUE(first->tryLock());
    EXPECT_TRUE(first->tryLock()) << "asking again keeps the lock";
    SingleInstance second(uniqueTitle());
    EXPECT_EQ(second.lockPath(), first->lockPath());
    EXPECT_FALSE(second.tryLock());
    first.reset();
    EXPECT_TRUE(second.tryLock());
    EXPECT_TRUE(QFileInfo(second.lockPath()).dir().exists());
}

struct DisplayCase {
    const char* wayland; // null: unset
    const char* x11;
    const char* expected;
};

class DisplayNameTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayNameTest, WaylandBeforeX11) {
    ScopedEnv wayland("WAYLAND_DISPLAY",
                      GetParam().wayland ? QByteArray(GetParam().wayland) : QByteArray());
    ScopedEnv x11("DISPLAY", GetParam().x11 ? QByteArray(GetParam().x11) : QByteArray());
    EXPECT_EQ(SingleInstance::displayName(), QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Environments, DisplayNameTest,
                         ::testing::Values(DisplayCase{"wayland-0", ":0", "wayland-0"},
                                           DisplayCase{nullptr, ":1", ":1"},
                                           DisplayCase{"", ":1", ":1"},
                                           DisplayCase{nullptr, nullptr, "nodisplay"}));

TEST(SingleInstance, EachDisplayHasItsOwnCopy) {
    std::unique_ptr<SingleInstance> onFirst;
    std::unique_ptr<SingleInstance> onSecond;
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", QByteArray());
        ScopedEnv x11("DISPLAY", ":7");
        onFirst = std::make_unique<SingleInstance>(uniqueTitle());
    }
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", QByteArray());
        ScopedEnv x11("DISPLAY", "host/unix:8.0");
        onSecond = std::make_unique<SingleInstance>(uniqueTitle());
    }
    EXPECT_NE(onFirst->lockPath(), onSecond->lockPath());
    EXPECT_TRUE(onFirst->tryLock());
    EXPECT_TRUE(onSecond->tryLock());
    // The display's "/" must not turn into a folder of the lock's path.
    EXPECT_EQ(QFileInfo(onSecond->lockPath()).dir(), QFileInfo(onFirst->lockPath()).dir());
}

// --- the real program ----------------------------------------------------------------------

QString programPath() {
    const QString buildDir = qEnvironmentVariable("CADELO_BUILD_DIR");
    if (!buildDir.isEmpty())
        return QDir(buildDir).filePath(QStringLiteral("cadelo"));
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../cadelo"));
}

class TwoStarts : public ::testing::Test {
  protected:
    QTemporaryDir home;
    std::vector<std::unique_ptr<QProcess>> started;

    void SetUp() override {
        if (!QFile::exists(programPath()))
            FAIL() << "build the program first: " << programPath().toStdString();
        QDir(home.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
    }
    void TearDown() override {
        for (auto& p : started) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(30000);
            }
        }
    }

    QString runtimeDir() const { return home.filePath(QStringLiteral("runtime")); }

    QProcess& start() {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":cadelo-test"));
        p->setProcessEnvironment(env);
        p->setProgram(programPath());
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start();
        EXPECT_TRUE(p->waitForStarted(30000));
        started.push_back(std::move(p));
        return *started.back();
    }

    // The pid the program's lock names, or 0 while there is none.
    qint64 lockOwner() const {
        const QStringList locks =
            QDir(runtimeDir()).entryList({QStringLiteral("*.lock")}, QDir::Files);
        if (locks.size() != 1)
            return 0;
        QLockFile lock(QDir(runtimeDir()).filePath(locks.first()));
        qint64 pid = 0;
        QString host, app;
        return lock.getLockInfo(&pid, &host, &app) ? pid : 0;
    }

    // Waits (bounded, for a slow machine) until `process` holds the lock.
    bool waitForLock(QProcess& process) const {
        for (int i = 0; i < 600 && process.state() == QProcess::Running; ++i) {
            if (lockOwner() == process.processId())
                return true;
            QThread::msleep(50);
        }
        return false;
    }
};

TEST_F(TwoStarts, SecondEndsAtOnceWithZeroAndTheFirstRunsOn) {
    QProcess& first = start();
    ASSERT_TRUE(waitForLock(first)) << "the first copy never took the lock";

    QProcess& second = start();
    ASSERT_TRUE(second.waitForFinished(30000)) << "the second copy did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(lockOwner(), first.processId());
    // The second copy shows nothing, so it cannot have loaded or saved settings.
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("config/VAZOzojoin.ini"))));
}

TEST_F(TwoStarts, ACrashedCopyDoesNotBlockTheNextStart) {
    QProcess& crashed = start();
    ASSERT_TRUE(waitForLock(crashed));
    crashed.kill(); // no chance to remove its lock
    ASSERT_TRUE(crashed.waitForFinished(30000));
    ASSERT_NE(lockOwner(), 0) << "the lock file should have been left behind";

    QProcess& next = start();
    EXPECT_TRUE(waitForLock(next)) << "the stale lock was not taken over";
    EXPECT_EQ(next.state(), QProcess::Running);
}

} // namespace

// A second start's files reach the running copy whole, in order, made absolute.
TEST(ArgumentChannel, HandsTheSecondStartsPathsToTheRunningCopy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("lock.socket"));
    ArgumentChannel running;
    ASSERT_TRUE(running.listen(name));
    QStringList got;
    QObject::connect(&running, &ArgumentChannel::received,
                     [&](const QStringList& paths) { got = paths; });

    const QStringList sent = {QStringLiteral("/music/Café – Live.ogg"),
                              QStringLiteral("relative/Кино 東京.mp3"), QStringLiteral("/music")};
    auto sending =
        std::async(std::launch::async, [&] { return ArgumentChannel::send(name, sent, 5000); });
    QElapsedTimer t;
    t.start();
    while (got.isEmpty() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (sending.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(sending.get());
    EXPECT_EQ(got, (QStringList{sent[0], QDir::current().absoluteFilePath(sent[1]), sent[2]}));

    // Nobody listening: the second start gives up instead of hanging.
    EXPECT_FALSE(ArgumentChannel::send(dir.filePath(QStringLiteral("none.socket")), sent, 500));
}

// Two real copies of the program under the offscreen platform: the first is
// started with two files, a second start hands it two more and ends; the
// first copy's file list must then hold exactly those four rows, in order.
//
// The program has no way of telling its rows to the outside, and gets none
// for this test. Instead, this file also builds a small probe library
// (CADELO_TWOCOPIES_PROBE) that the test loads into the first copy only, with
// LD_PRELOAD: it watches the file list "lv" from inside and writes its rows to
// a file the test names, and once more when the program quits. The test ends
// the first copy with SIGTERM, which the program takes as a close request.

#ifdef CADELO_TWOCOPIES_PROBE

#include <QAbstractItemModel>
#include <QApplication>
#include <QSaveFile>
#include <QTableView>
#include <QTimer>

#include <memory>

namespace {

QStringList fileRows() {
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* list = qobject_cast<QTableView*>(widget);
        if (!list || list->objectName() != QLatin1String("lv") || !list->model())
            continue;
        QStringList rows;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            rows << list->model()->index(row, 0).data().toString();
        return rows;
    }
    return {};
}

// The first line says whether the program was still running.
void report(const QString& path, const char* phase, const QStringList& rows) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(phase);
    file.write("\n");
    for (const QString& row : rows)
        file.write(row.toUtf8() + '\n');
    file.commit();
}

void startProbe() {
    const QString path = qEnvironmentVariable("CADELO_PROBE_ROWS");
    QCoreApplication* app = QCoreApplication::instance();
    if (path.isEmpty() || !app || !app->inherits("QApplication"))
        return;
    QTimer::singleShot(0, app, [app, path] {
        auto* timer = new QTimer(app);
        auto last = std::make_shared<QStringList>();
        QObject::connect(timer, &QTimer::timeout, app, [path, last] {
            const QStringList rows = fileRows();
            if (rows != *last) {
                *last = rows;
                report(path, "running", rows);
            }
        });
        timer->start(20);
        QObject::connect(app, &QCoreApplication::aboutToQuit, app,
                         [path] { report(path, "closed", fileRows()); });
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)

#else

#include "support/Printing.h"
#include "synth/Synth.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

// Every wait is bounded: a copy that hangs fails the test and is killed.
constexpr int StartMs = 60000;

class TwoCopiesTest : public ::testing::Test {
  protected:
    QTemporaryDir home; // the copies' home, configuration and runtime folders
    QTemporaryDir music;
    QProcess first;
    QProcess second;

    QString rowsFile() const { return home.filePath(QStringLiteral("rows.txt")); }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.remove(QStringLiteral("LD_PRELOAD"));
        return env;
    }

    void SetUp() override {
        ASSERT_TRUE(home.isValid() && music.isValid());
        ASSERT_TRUE(QFile::exists(QStringLiteral(CADELO_PROGRAM))) << CADELO_PROGRAM;
        ASSERT_TRUE(QFile::exists(QStringLiteral(CADELO_PROBE))) << CADELO_PROBE;
        for (QProcess* copy : {&first, &second}) {
            copy->setProgram(QStringLiteral(CADELO_PROGRAM));
            copy->setWorkingDirectory(music.path());
            copy->setProcessChannelMode(QProcess::ForwardedChannels);
        }
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(CADELO_PROBE));
        env.insert(QStringLiteral("CADELO_PROBE_ROWS"), rowsFile());
        first.setProcessEnvironment(env);
        second.setProcessEnvironment(environment());
    }

    void TearDown() override {
        for (QProcess* copy : {&second, &first}) {
            if (copy->state() == QProcess::NotRunning)
                continue;
            copy->kill();
            copy->waitForFinished(10000);
        }
    }

    QString source(const char* name) {
        const QString path = music.filePath(QLatin1String(name));
        synth::writeOgg(path, 8000 * 2, 8000, 1);
        return path;
    }

    // The probe's last report: its phase, then the rows.
    QStringList report() const {
        QFile file(rowsFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    // Waits until the report satisfies `done`, the first copy ends or time is up.
    QStringList waitForReport(const std::function<bool(const QStringList&)>& done) {
        QDeadlineTimer deadline(StartMs);
        QStringList last = report();
        while (!done(last) && !deadline.hasExpired() && first.state() != QProcess::NotRunning) {
            QThread::msleep(20);
            last = report();
        }
        return last;
    }
};

TEST_F(TwoCopiesTest, FilesOfBothStartsBecomeTheFirstCopysRowsInOrder) {
    const QString b = source("b first.ogg");
    const QString a = source("a second.ogg");
    source("d third.ogg");
    source("c fourth.ogg");

    // The first copy, with two files given as full paths.
    first.setArguments({b, a});
    first.start();
    ASSERT_TRUE(first.waitForStarted(StartMs));
    const QStringList two = {QStringLiteral("running"), QStringLiteral("b first.ogg"),
                             QStringLiteral("a second.ogg")};
    ASSERT_EQ(waitForReport([&](const QStringList& r) { return r == two; }), two)
        << "the first copy did not show its start-up files";

    // The second start hands its files, named relative to its folder, to the
    // first copy and ends without a window of its own.
    second.setArguments({QStringLiteral("d third.ogg"), QStringLiteral("c fourth.ogg")});
    second.start();
    ASSERT_TRUE(second.waitForStarted(StartMs));
    ASSERT_TRUE(second.waitForFinished(StartMs)) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    waitForReport([](const QStringList& r) { return r.size() >= 5; });
    EXPECT_EQ(first.state(), QProcess::Running) << "the first copy ended early";

    // A close request: the first copy closes as from its close box.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(StartMs)) << "SIGTERM did not close the first copy";
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(report(), (QStringList{QStringLiteral("closed"), QStringLiteral("b first.ogg"),
                                     QStringLiteral("a second.ogg"), QStringLiteral("d third.ogg"),
                                     QStringLiteral("c fourth.ogg")}));
    // The close saved the settings, as a close does.
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("config/VAZOzojoin.ini"))));
}

} // namespace

#endif

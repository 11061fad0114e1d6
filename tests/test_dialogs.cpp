// The folder picker and the about dialog: what "Ok", "Cancel" and "New Folder"
// leave behind, and the links going through the prompt.
#include "core/AppInfo.h"
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "support/IniFixture.h"
#include "support/ScriptedPrompt.h"
#include "ui/AboutDialog.h"
#include "ui/FolderDialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeView>

namespace {

class DialogTest : public IniFixture {
  protected:
    void SetUp() override {
        writeRaw("[Output]\nDir=/before\n");
        state.ini = std::make_unique<IniFile>(path());
        state.prompt = &prompt;
        QDir(dir.path()).mkpath(QStringLiteral("music/album"));
        folder = dir.filePath(QStringLiteral("music"));
    }
    QString storedDir() const {
        return state.ini->readString(QStringLiteral("Output"), QStringLiteral("Dir"), {});
    }

    SessionState state;
    ScriptedPrompt prompt;
    QString folder;
};

TEST_F(DialogTest, OkWritesTheFolderAtOnceAndTellsWhoListens) {
    FolderDialog picker(state);
    QStringList chosen;
    QObject::connect(&picker, &FolderDialog::folderChosen,
                     [&](const QString& path) { chosen << path; });
    picker.selectFolder(folder);
    QTimer::singleShot(0, &picker, &FolderDialog::ok);
    EXPECT_EQ(picker.choose(QStringLiteral("Add File Directory")), folder);
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Add File Directory"));
    EXPECT_EQ(storedDir(), folder); // no separator added
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front(), folder);
}

TEST_F(DialogTest, CancelChoosesNothingAndWritesNothing) {
    FolderDialog picker(state);
    QStringList chosen;
    QObject::connect(&picker, &FolderDialog::folderChosen,
                     [&](const QString& path) { chosen << path; });
    picker.selectFolder(folder);
    QTimer::singleShot(0, &picker, &FolderDialog::cancel);
    EXPECT_TRUE(picker.choose(QStringLiteral("Output Directory")).isEmpty());
    EXPECT_EQ(storedDir(), QStringLiteral("/before"));
    EXPECT_TRUE(chosen.isEmpty());
}

// A double-click opens a folder; only "Ok" chooses one.
TEST_F(DialogTest, DoubleClickChoosesNothing) {
    FolderDialog picker(state);
    picker.selectFolder(folder);
    auto* tree = picker.findChild<QTreeView*>(QStringLiteral("ShellTreeView1"));
    ASSERT_NE(tree, nullptr);
    bool stillOpen = false;
    QTimer::singleShot(0, &picker, [&] {
        QApplication::processEvents();
        const QPointF at = tree->visualRect(tree->currentIndex()).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(tree->viewport(), &event);
        }
        stillOpen = picker.isVisible();
        picker.cancel();
    });
    EXPECT_TRUE(picker.choose(QStringLiteral("Add File Directory")).isEmpty());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(storedDir(), QStringLiteral("/before"));
}

TEST_F(DialogTest, NewFolderTwiceMakesOneAndKeepsTheSelection) {
    FolderDialog picker(state);
    picker.selectFolder(folder);
    picker.newFolder();
    picker.newFolder();
    const QStringList children = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(children, (QStringList{QStringLiteral("album"), QStringLiteral("New Folder")}));
    EXPECT_EQ(picker.selectedFolder(), folder);
}

TEST_F(DialogTest, AboutLinksOpenThroughThePrompt) {
    AboutDialog about(state);
    EXPECT_EQ(about.versionText(), QStringLiteral("3.00"));
    about.openWebsite();
    about.mailSales();
    about.mailSupport();
    EXPECT_EQ(prompt.openedUrls,
              (QList<QUrl>{QUrl(AppInfo::homePage()),
                           QUrl(QStringLiteral("mailto:") + AppInfo::salesMail()),
                           QUrl(QStringLiteral("mailto:") + AppInfo::supportMail())}));
}

} // namespace

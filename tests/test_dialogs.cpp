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
    // The picker opened on `folder` under `caption` and closed by `close`:
    // what it returned; `chosen` collects what it told its listeners.
    QString chooseThenClose(FolderDialog& picker, void (FolderDialog::*close)(),
                            const QString& caption) {
        QObject::connect(&picker, &FolderDialog::folderChosen,
                         [this](const QString& path) { chosen << path; });
        picker.selectFolder(folder);
        QTimer::singleShot(0, &picker, close);
        return picker.choose(caption);
    }

    SessionState state;
    ScriptedPrompt prompt;
    QString folder;
    QStringList chosen;
};

TEST_F(DialogTest, OkWritesTheFolderAtOnceAndTellsWhoListens) {
    FolderDialog picker(state);
    EXPECT_EQ(chooseThenClose(picker, &FolderDialog::ok, QStringLiteral("Add File Directory")),
              folder);
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Add File Directory"));
    EXPECT_EQ(storedDir(), folder); // no separator added
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front(), folder);
}

TEST_F(DialogTest, CancelChoosesNothingAndWritesNothing) {
    FolderDialog picker(state);
    EXPECT_TRUE(chooseThenClose(picker, &FolderDialog::cancel, QStringLiteral("Output Directory"))
                    .isEmpty());
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

// The tag edit dialog under the offscreen platform: what an opening lists and
// loads, the boxes kept in step with the selected row, "All", "Reset", "Ok"
// and "Cancel" on the job list's tags and captions.
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"
#include "support/ScriptedPrompt.h"
#include "support/WidgetSupport.h"
#include "ui/MainWindow.h"
#include "ui/TagEditDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

auto fields(const FileTags& t) {
    return std::tuple(t.title, t.artist, t.album, t.year, t.genre, t.comment);
}

class TagEditTest : public ::testing::Test {
  protected:
    SessionState state;
    JobList list{state};
    std::unique_ptr<TagEditDialog> dialog = std::make_unique<TagEditDialog>(state, &list);

    // Row 0 has no title; row i > 0 is titled "Song i".
    void addRows(int count) {
        for (int i = 0; i < count; ++i) {
            appendFileRow(list, QStringLiteral("/music/track%1.ogg").arg(i), 10);
            const QString n = QString::number(i);
            list.file(i).tags = {i ? q("Song ") + n : QString(),
                                 q("Artist ") + n,
                                 q("19") + n,
                                 q("Album ") + n,
                                 q("Note ") + n,
                                 q("Rock")};
        }
    }
    auto snapshot() const {
        std::vector<std::tuple<QString, decltype(fields(FileTags{}))>> rows;
        for (int i = 0; i < list.rowCount(); ++i)
            rows.emplace_back(list.caption(i), fields(list.file(i).tags));
        return rows;
    }
    template <typename T> T* get(const char* name) {
        T* w = dialog->findChild<T*>(q(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTableWidget* rows() { return get<QTableWidget>("lv_id3"); }
    void press(const char* button) { get<QPushButton>(button)->click(); }
    void clickRow(int row) { ::clickRow(rows(), row); }
    void setBox(TagEditDialog::Field field, const QString& text) {
        if (field == TagEditDialog::Field::Genre)
            get<QComboBox>("edt_genre")->setEditText(text);
        else if (field == TagEditDialog::Field::Comment)
            get<QPlainTextEdit>("edt_com")->setPlainText(text);
        else
            get<QLineEdit>(boxNames[int(field)])->setText(text);
    }
    static constexpr const char* boxNames[] = {"edt_tatal", "edt_art", "edt_alb", "edt_year"};
};

} // namespace

TEST_F(TagEditTest, EmptyListOpensWithoutRowsAndStoresNothing) {
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ID3 Edit"));
    EXPECT_EQ(rows()->rowCount(), 0);
    setBox(TagEditDialog::Field::Title, q("typed"));
    press("Button1");
    press("btn_ok");
    EXPECT_TRUE(dialog->editTags().empty());
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TagEditTest, FirstOpeningThenOkOnlyTitlesRowZeroWithItsCaption) {
    addRows(3);
    auto expected = snapshot();
    std::get<0>(std::get<1>(expected[0])) = q("track0.ogg");
    // Ok makes every titled row's caption its title.
    for (int i = 0; i < 3; ++i)
        std::get<0>(expected[size_t(i)]) = std::get<0>(std::get<1>(expected[size_t(i)]));
    dialog->show();
    EXPECT_EQ(get<QLineEdit>("edt_tatal")->text(), q("track0.ogg"));
    press("btn_ok");
    EXPECT_EQ(snapshot(), expected);
}

struct TitleCase {
    const char* typed;
    const char* caption;
};
using OkTitle = testsupport::CaseTable<TagEditTest, TitleCase>;

TEST_P(OkTitle, TypedTitleBecomesTheCaptionUnlessEmpty) {
    addRows(2);
    dialog->show();
    clickRow(1);
    EXPECT_EQ(get<QLineEdit>("edt_art")->text(), q("Artist 1"));
    setBox(TagEditDialog::Field::Title, q(GetParam().typed));
    press("btn_ok");
    EXPECT_EQ(list.file(1).tags.title, q(GetParam().typed));
    EXPECT_EQ(list.caption(1), q(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(
    Titles, OkTitle,
    ::testing::Values(TitleCase{"New Name", "New Name"}, TitleCase{"", "track1.ogg"},
                      // Kept as typed: output names clean their own.
                      TitleCase{"AC/DC: \"Live\" <1979>?*|", "AC/DC: \"Live\" <1979>?*|"}));

using DropEdits = testsupport::CaseTable<TagEditTest, bool>;

TEST_P(DropEdits, CancelOrResetThenOkCommitsNothingTyped) {
    const bool reset = GetParam();
    addRows(2);
    const auto before = snapshot();
    dialog->show();
    clickRow(1);
    setBox(TagEditDialog::Field::Artist, q("typed artist"));
    setBox(TagEditDialog::Field::Title, q("typed title"));
    press("Button2");
    if (!reset) {
        press("btn_cancel");
        EXPECT_EQ(snapshot(), before);
        return;
    }
    press("Button7");
    EXPECT_EQ(rows()->currentRow(), 0);
    EXPECT_EQ(get<QLineEdit>("edt_art")->text(), q("Artist 0"));
    press("btn_ok");
    EXPECT_EQ(list.file(0).tags.artist, q("Artist 0"));
    EXPECT_EQ(list.file(1).tags.artist, q("Artist 1"));
    EXPECT_EQ(list.file(1).tags.title, q("Song 1"));
    EXPECT_EQ(list.file(0).tags.title, q("track0.ogg"));
}

INSTANTIATE_TEST_SUITE_P(CancelAndReset, DropEdits, ::testing::Bool());

// Emptied while closed (then opened) or while open (then "Reset"): no box
// still shows a tag of a file that is gone.
using EmptiedList = testsupport::CaseTable<TagEditTest, bool>;

TEST_P(EmptiedList, LeavesEveryBoxEmpty) {
    const bool whileOpen = GetParam();
    addRows(2);
    dialog->show();
    ASSERT_EQ(get<QLineEdit>("edt_art")->text(), q("Artist 0"));
    if (!whileOpen)
        press("btn_cancel");
    list.clearList();
    whileOpen ? press("Button7") : dialog->show();
    EXPECT_EQ(rows()->rowCount(), 0);
    for (const char* box : boxNames)
        EXPECT_TRUE(get<QLineEdit>(box)->text().isEmpty()) << box;
    EXPECT_TRUE(get<QComboBox>("edt_genre")->currentText().isEmpty());
    EXPECT_TRUE(get<QPlainTextEdit>("edt_com")->toPlainText().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(OpenedOrReset, EmptiedList, ::testing::Bool());

using CopyToAll = testsupport::CaseTable<TagEditTest, int>;

TEST_P(CopyToAll, AllReachesRowsNeverSelected) {
    const auto field = TagEditDialog::Field(GetParam());
    addRows(3);
    dialog->show();
    setBox(field, q("X"));
    press(QStringLiteral("Button%1").arg(GetParam() + 1).toLatin1().constData());
    EXPECT_EQ(rows()->item(2, 0)->text(), q("track2.ogg")); // captions wait for "Ok"
    press("btn_ok");
    for (int i = 0; i < 3; ++i) {
        const FileTags& t = list.file(i).tags;
        const QString byField[] = {t.title, t.artist, t.album, t.year, t.genre, t.comment};
        EXPECT_EQ(byField[GetParam()], q("X")) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryBox, CopyToAll,
                         ::testing::Range(0, int(TagEditDialog::Field::FieldCount)));

TEST_F(TagEditTest, ClickLoadsTheRecordAndEditsGoToTheSelectedRow) {
    addRows(2);
    dialog->show();
    clickRow(1);
    EXPECT_EQ(get<QLineEdit>("edt_tatal")->text(), q("Song 1"));
    EXPECT_EQ(get<QComboBox>("edt_genre")->currentText(), q("Rock"));
    EXPECT_EQ(get<QPlainTextEdit>("edt_com")->toPlainText(), q("Note 1"));
    setBox(TagEditDialog::Field::Title, q("Renamed"));
    QFocusEvent leave(QEvent::FocusOut);
    QApplication::sendEvent(get<QLineEdit>("edt_tatal"), &leave);
    EXPECT_EQ(rows()->item(1, 0)->text(), q("Renamed"));
    // Moved by a key: row 0 is loaded, so leaving its boxes copies nothing of row 1.
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(rows(), &up);
    EXPECT_EQ(get<QLineEdit>("edt_year")->text(), q("190"));
    QApplication::sendEvent(get<QLineEdit>("edt_year"), &leave);
    setBox(TagEditDialog::Field::Album, q("Typed"));
    EXPECT_EQ(fields(dialog->editTags()[0]), std::tuple(q("track0.ogg"), q("Artist 0"), q("Typed"),
                                                        q("190"), q("Rock"), q("Note 0")));
    EXPECT_EQ(dialog->editTags()[1].album, q("Album 1"));
    // A click that leaves no row selected selects the row of the opening.
    rows()->clearSelection();
    dialog->listClicked();
    EXPECT_EQ(rows()->currentRow(), dialog->lastTagRow());
}

TEST_F(TagEditTest, GenreBoxOffersTheNamesOnceAfterThreeOpenings) {
    addRows(1);
    for (int i = 0; i < 3; ++i) {
        dialog->show();
        press("btn_cancel");
    }
    auto* genre = get<QComboBox>("edt_genre");
    QStringList offered;
    for (int i = 0; i < genre->count(); ++i)
        offered << genre->itemText(i);
    EXPECT_EQ(offered, TagEditDialog::genreNames());
    EXPECT_EQ(offered.size(), 148);
    EXPECT_EQ(offered.removeDuplicates(), 0);
    EXPECT_EQ(offered.last(), q("SynthPop"));
}

class NameColumn : public TagEditTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(NameColumn, NarrowsFromTwentyRows) {
    addRows(GetParam().first);
    dialog->show();
    EXPECT_EQ(rows()->rowCount(), GetParam().first);
    EXPECT_EQ(rows()->columnWidth(0), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Rows, NameColumn,
                         ::testing::Values(std::pair(19, 143), std::pair(20, 127)));

TEST_F(TagEditTest, BothMenusOpenItOnTheWindowsListAlsoDuringARun) {
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    Session session;
    SessionState& state = session.state();
    state.prompt = &prompt;
    state.ini = std::make_unique<IniFile>(dir.filePath(QStringLiteral("settings.ini")));
    MainWindow window(session);
    TagEditDialog windowDialog(state, &window);
    window.setDialogs(nullptr, nullptr, nullptr, &windowDialog);
    appendFileRow(window.jobList(), QStringLiteral("/music/a.ogg"), 10);
    state.converting = true;
    for (const char* item : {"ID3info1", "ID31"}) {
        QString listed;
        // Runs inside the dialog's modal loop.
        QTimer::singleShot(0, &windowDialog, [&] {
            const auto* row = windowDialog.findChild<QTableWidget*>(q("lv_id3"))->item(0, 0);
            listed = row ? row->text() : QString();
            windowDialog.findChild<QLineEdit*>(q("edt_art"))->setText(q(item));
            windowDialog.ok();
        });
        window.findChild<QAction*>(q(item))->trigger();
        EXPECT_EQ(listed, q("a.ogg")) << item;
        EXPECT_EQ(window.jobList().file(0).tags.artist, q(item));
    }
    state.converting = false;
}

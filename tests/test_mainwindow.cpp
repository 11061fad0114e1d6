// The main window under the offscreen platform: its size and places, the
// instructions, the lists and menus, the skin with its six objects, the skin
// view's mouse handling, the run's progress on the skin, when the Split
// command shows the output folder, the skin engine's refusals, and the close.
#include "convert/Conversion.h"
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinEngine.h"
#include "skin/SkinSetup.h"
#include "support/CaseTable.h"
#include "support/Files.h"
#include "support/JobFixture.h"
#include "support/Printing.h"
#include "support/ScriptedPrompt.h"
#include "support/WidgetSupport.h"
#include "support/WindowFixture.h"
#include "synth/Synth.h"
#include "ui/AboutDialog.h"
#include "ui/FolderDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/SkinIcons.h"
#include "ui/SkinView.h"
#include "ui/TagEditDialog.h"
#include "ui/WaveformWindow.h"
#include "ui/WidgetPrompt.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QTextLayout>
#include <array>
#include <ostream>

namespace {

using testsupport::PrintTo;

class MainWindowTest : public WindowFixture {
  protected:
    QString outDir() const { return dir.filePath(QStringLiteral("out")); }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowFixture::SetUp());
        s.ini->writeString(QStringLiteral("Output"), QStringLiteral("Dir"), outDir());
    }

    void showWindow() {
        w->show();
        QApplication::processEvents();
    }
    JobList& jobs() { return w->jobList(); }
    Preview& preview() { return session.preview(); }
    const SkinParts& skin() const { return w->skinParts(); }
    SkinObject* object(const char* name) const { return skinObject(*w, name); }
    void clickSkin(const char* name) { ::clickSkin(*w, name); }
    void addRow(const QString& caption, std::int32_t seconds) {
        appendFileRow(jobs(), QDir(dir.path()).filePath(caption), seconds);
    }
    // The shown window listing "first.ogg" (30 s) and "second.ogg" (40 s).
    void showTwoFiles() {
        showWindow();
        addRow(QStringLiteral("first.ogg"), 30);
        addRow(QStringLiteral("second.ogg"), 40);
        QApplication::processEvents();
    }
};

// --- the window itself -----------------------------------------------------------------

TEST_F(MainWindowTest, FixedClientAreaCaptionPlaceAndNoMaximize) {
    showWindow();
    EXPECT_EQ(w->size(), QSize(480, 418));
    EXPECT_EQ(w->minimumSize(), QSize(480, 418));
    EXPECT_EQ(w->maximumSize(), QSize(480, 418));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cadelo"));
    EXPECT_EQ(w->objectName(), QStringLiteral("fm_main"));
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w->pos(), QPoint(261, 171));
}

TEST_F(MainWindowTest, ListsAndPanelSitAtTheirPlaces) {
    showWindow();
    EXPECT_EQ(w->fileView()->pos(), QPoint(120, 92));
    EXPECT_EQ(w->spanView()->pos(), QPoint(243, 92));
    EXPECT_EQ(w->instructions()->pos(), QPoint(120, 92));
    // Every control lies inside the client area and in front of the skin.
    for (QWidget* c : std::initializer_list<QWidget*>{w->fileView(), w->spanView(),
                                                      w->instructions(), w->formatBox()})
        EXPECT_TRUE(QRect(0, 0, 480, 418).contains(c->geometry())) << c->objectName().toStdString();
    EXPECT_EQ(w->childAt(125, 200), w->instructions()->viewport())
        << "the panel lies over the lists";
}

struct ColumnCase {
    const char* view;
    int column;
    const char* title;
    int width; // 0: hidden
};

using ListColumnTest = testsupport::CaseTable<MainWindowTest, ColumnCase>;

TEST_P(ListColumnTest, ReportStyleColumns) {
    showWindow();
    QTableView* view = w->findChild<QTableView*>(QString::fromLatin1(GetParam().view));
    ASSERT_NE(view, nullptr);
    const int c = GetParam().column;
    EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString(),
              QString::fromUtf8(GetParam().title));
    if (GetParam().width == 0)
        EXPECT_TRUE(view->isColumnHidden(c));
    else
        EXPECT_EQ(view->columnWidth(c), GetParam().width);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(view->showGrid());
    EXPECT_FALSE(view->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(view->contextMenuPolicy(), Qt::CustomContextMenu);
}

INSTANTIATE_TEST_SUITE_P(Columns, ListColumnTest,
                         ::testing::Values(ColumnCase{"lv", 0, "File name", 120},
                                           ColumnCase{"lv", 1, "Time", 0},
                                           ColumnCase{"lv_time", 0, "Begin Time - End", 100},
                                           ColumnCase{"lv_time", 1, "Length", 55},
                                           ColumnCase{"lv_time", 2, "Status", 60}));

TEST_F(MainWindowTest, ViewsShowTheJobListsModelsAndFollowItsSignals) {
    showWindow();
    EXPECT_EQ(w->fileView()->model(), &jobs().fileModel());
    EXPECT_EQ(w->fileView()->selectionModel(), &jobs().fileSelection());
    EXPECT_EQ(w->spanView()->model(), &jobs().spanModel());
    EXPECT_EQ(w->spanView()->selectionModel(), &jobs().spanSelection());

    // The name column makes room for the scroll bar once the rows need one.
    for (int i = 0; i < 13; ++i)
        addRow(QStringLiteral("f%1.ogg").arg(i), 10);
    EXPECT_EQ(w->fileView()->columnWidth(0), 113);
    EXPECT_TRUE(w->instructions()->isVisible());
    jobs().selectRow(0);
    jobs().selectFile();
    EXPECT_FALSE(w->instructions()->isVisible());
    jobs().clearList();
    EXPECT_TRUE(w->instructions()->isVisible());
    EXPECT_EQ(w->fileView()->columnWidth(0), 120);
}

// However many files, short names need no sideways scrolling: the name
// column stays within the list beside its vertical scroll bar.
using NameColumnFitTest = testsupport::CaseTable<MainWindowTest, int>;

TEST_P(NameColumnFitTest, NoHorizontalScrollBarForNamesThatFit) {
    showWindow();
    for (int i = 0; i < GetParam(); ++i)
        addRow(QStringLiteral("f%1.ogg").arg(i), 10);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QTableView* list = w->fileView();
    EXPECT_LE(list->columnWidth(0), list->viewport()->width());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    // Until the name column narrows, every row is in view without scrolling.
    if (GetParam() < 13) {
        EXPECT_FALSE(list->verticalScrollBar()->isVisible());
        const QRect last = list->visualRect(jobs().fileModel().index(GetParam() - 1, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(last)) << last.bottom();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, NameColumnFitTest, ::testing::Values(1, 7, 8, 12, 13, 30));

TEST_F(MainWindowTest, InstructionsPanelHoldsTheExactLinesInArialItalic) {
    showWindow();
    const QString expected =
        QStringLiteral("\n"
                       " \n"
                       "    1. Click \"Add\" to add files you want to convert\n"
                       "    2. Set begin-time/end-time for every file.\n"
                       "    3. Click \"OK\" button to notarize.\n"
                       "    4. Set Output Format\n"
                       "    5. To cut piece from one big audio file, Click \"Split\"\n"
                       "    6. To marge multiple files into one big file, Click \n"
                       "\"Join\"\n"
                       "    7. To terminate the conversion, click \"Stop\" button.");
    EXPECT_EQ(w->instructions()->toPlainText(), expected);
    EXPECT_TRUE(w->instructions()->isReadOnly());
    EXPECT_FALSE(w->instructions()->isEnabled());
    // Arial, or where it is missing a face of its widths; at the designed
    // size in such a face, never larger in any other (whatever this machine has).
    const QFont font = w->instructions()->font();
    const QStringList arialWidths = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                     QStringLiteral("Arimo")};
    EXPECT_TRUE(arialWidths.contains(font.family())) << font.family().toStdString();
    if (!QFontDatabase::hasFamily(arialWidths[0]) && QFontDatabase::hasFamily(arialWidths[1]))
        EXPECT_EQ(font.family(), arialWidths[1]);
    EXPECT_TRUE(font.italic());
    EXPECT_LE(font.pixelSize(), 13);
    const QString used = QFontInfo(font).family();
    if (arialWidths.contains(used))
        EXPECT_EQ(font.pixelSize(), 13) << used.toStdString();
}

// Every line can be read whole: the panel cannot be scrolled, so each line's
// start and end must lie inside it, whatever face stands in for Arial (a wider
// or taller one than this desktop's included) and at any scale (the rerun
// below doubles it).
class InstructionFitTest : public MainWindowTest,
                           public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        if (*GetParam())
            QFont::insertSubstitution(QStringLiteral("Arial"), QString::fromLatin1(GetParam()));
        MainWindowTest::SetUp();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        QFont::removeSubstitutions(QStringLiteral("Arial"));
    }
};

TEST_P(InstructionFitTest, EveryInstructionLineIsWhollyInsideThePanel) {
    showWindow();
    const QRect inside = w->instructions()->viewport()->rect();
    int lines = 0;
    for (QTextBlock block = w->instructions()->document()->begin(); block.isValid();
         block = block.next()) {
        QTextCursor cursor(block);
        const QRect start = w->instructions()->cursorRect(cursor);
        cursor.movePosition(QTextCursor::EndOfBlock);
        const QRect end = w->instructions()->cursorRect(cursor);
        EXPECT_TRUE(inside.contains(start) && inside.contains(end))
            << "line " << lines + 1 << " \"" << block.text().toStdString() << "\" runs from ("
            << start.x() << "," << start.y() << ") to (" << end.right() << "," << end.bottom()
            << ") in " << inside.width() << "x" << inside.height() << " at "
            << w->devicePixelRatio() << "x in "
            << QFontInfo(w->instructions()->font()).family().toStdString();
        ++lines;
    }
    EXPECT_EQ(lines, MainWindow::instructionLines().size());
    EXPECT_TRUE(w->instructions()->font().italic());
}

INSTANTIATE_TEST_SUITE_P(Faces, InstructionFitTest,
                         ::testing::Values("", "DejaVu Sans Mono", "DejaVu Serif"));

// The same window at twice the scale, in a program of its own (the scale is
// fixed when the application starts).
TEST(MainWindowScale, InstructionLinesAreWholeAtTwiceTheScale) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=Faces/InstructionFitTest.*")});
    ASSERT_TRUE(child.waitForStarted());
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        FAIL() << "the rerun did not end";
    }
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 3 tests")) << output.toStdString();
}

TEST_F(MainWindowTest, FormatBoxOffersOggWithAndWithoutReencodingFlacAndOpus) {
    showWindow();
    ASSERT_EQ(w->formatBox()->count(), 4);
    EXPECT_EQ(w->formatBox()->itemText(0), QStringLiteral("OGG"));
    EXPECT_EQ(w->formatBox()->itemText(1), QStringLiteral("OGG (no re-encoding)"));
    EXPECT_EQ(w->formatBox()->itemText(2), QStringLiteral("FLAC"));
    EXPECT_EQ(w->formatBox()->itemText(3), QStringLiteral("OPUS"));
    EXPECT_EQ(w->formatBox()->currentIndex(), 0);
    EXPECT_FALSE(w->formatBox()->isEditable());
}

struct MenuCase {
    const char* menu;
    const char* items; // "name=caption" separated by ';', "-" for a separator
};

using MenuTest = testsupport::CaseTable<MainWindowTest, MenuCase>;

TEST_P(MenuTest, EveryItemWithItsCaptionAndIcon) {
    QMenu* menu = w->findChild<QMenu*>(QString::fromLatin1(GetParam().menu));
    ASSERT_NE(menu, nullptr);
    QStringList actual;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            actual << QStringLiteral("-");
            continue;
        }
        actual << a->objectName() + u'=' + a->text();
        EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
    }
    EXPECT_EQ(actual.join(u';'), QString::fromUtf8(GetParam().items));
}

INSTANTIATE_TEST_SUITE_P(
    Menus, MenuTest,
    ::testing::Values(
        MenuCase{
            "p_lv",
            "AddFile1=Add File;AddFolder1=Add Path;Clear1=Clear;Remove1=Remove;ID3info1=ID3 info;"
            "UP1=UP;Down1=Down;Play1=Play;Stop1=Stop"},
        MenuCase{"p_file", "AddFile2=Add File;AddFolder2=Add Folder;ImportCue1=Import CUE sheet…;"
                           "Remove2=Remove;Exit1=Exit"},
        MenuCase{"p_action",
                 "FileUp1=File Up;FileDown1=File Down;Remove3=Remove;Clear2=Clear;ID31=ID3 info;"
                 "Waveform1=Waveform…;Start1=Split;Join1=Join;Stop2=Stop"},
        MenuCase{"p_help", "Content1=Content;-;HomePage1=HomePage;-;About1=About"}));

TEST_F(MainWindowTest, TheWaveformOpensFromTheMenuAndOnADoubleClickInAWindowOfItsOwn) {
    showTwoFiles();
    clickRow(w->fileView(), 1);
    QApplication::processEvents();
    w->actionMenu()->findChild<QAction*>(QStringLiteral("Waveform1"))->trigger();
    WaveformWindow* waveform = w->waveformWindow();
    ASSERT_NE(waveform, nullptr);
    EXPECT_TRUE(waveform->isVisible());
    EXPECT_TRUE(waveform->isWindow());
    EXPECT_EQ(waveform->windowTitle(), QStringLiteral("Waveform – second.ogg"));

    const QPoint row0 = w->fileView()->visualRect(jobs().fileModel().index(0, 0)).center();
    click(w->fileView()->viewport(), row0);
    sendMouse(w->fileView()->viewport(), QEvent::MouseButtonDblClick, row0);
    QApplication::processEvents();
    EXPECT_EQ(w->waveformWindow(), waveform);
    EXPECT_EQ(waveform->windowTitle(), QStringLiteral("Waveform – first.ogg"));
    // The skinned window keeps its size beside the resizable one.
    EXPECT_EQ(w->size(), QSize(480, 418));
    waveform->resize(1000, 400);
    EXPECT_EQ(waveform->size(), QSize(1000, 400));
}

// --- the skin and its six objects ----------------------------------------------------------

TEST_F(MainWindowTest, FirstShowFindsTheSixObjectsAndResetsTheirDisplays) {
    showWindow();
    const struct {
        SkinObject* held;
        const char* name;
        SkinObject::Kind kind;
    } six[] = {{skin().slider, "pb", SkinObject::Kind::Slider},
               {skin().timecaption, "timecaption", SkinObject::Kind::Text},
               {skin().totalTime, "tataltime", SkinObject::Kind::Text},
               {skin().pathLabel, "nm", SkinObject::Kind::Text},
               {skin().pbpos, "pbpos", SkinObject::Kind::Text},
               {skin().convertpb, "convertpb", SkinObject::Kind::Bar}};
    for (const auto& o : six) {
        ASSERT_NE(o.held, nullptr) << o.name;
        EXPECT_EQ(o.held, object(o.name));
        EXPECT_EQ(o.held->kind(), o.kind) << o.name;
    }
    EXPECT_EQ(skin().slider->sliderPosition(), 0);
    EXPECT_EQ(skin().pbpos->text(), QString());
    EXPECT_EQ(skin().totalTime->text(), QStringLiteral("00:00:00"));
    EXPECT_GT(skin().convertpbHome.width(), 0);
    EXPECT_EQ(skin().convertpb->rect().left(), skin().convertpbHome.left());
    EXPECT_EQ(skin().convertpb->rect().width(), 0);
    EXPECT_EQ(s.settings.outputDir, QDir::toNativeSeparators(outDir()) + QDir::separator());
    EXPECT_TRUE(QDir(outDir()).exists());
    EXPECT_FALSE(s.converting || preview().previewing() || preview().seeking() ||
                 jobs().spanListActive());
    EXPECT_EQ(w->skinView()->form(), w->skinEngine().skinForm(w.get()));
    EXPECT_EQ(w->skinView()->form()->name(), QStringLiteral("Pelmora"));
}

TEST_F(MainWindowTest, WritingAnObjectRedrawsTheSkin) {
    showWindow();
    const QImage before = w->skinView()->grab().toImage();
    skin().pathLabel->setText(QStringLiteral("/music/Café – Live/Ж 音楽.ogg"));
    skin().pathLabel->redraw();
    skin().convertpb->setRect(
        QRect(skin().convertpbHome.topLeft(), QSize(200, skin().convertpbHome.height())));
    skin().convertpb->redraw();
    const QImage after = w->skinView()->grab().toImage();
    EXPECT_NE(before.copy(skin().pathLabel->rect()), after.copy(skin().pathLabel->rect()));
    EXPECT_NE(before.copy(skin().convertpbHome), after.copy(skin().convertpbHome));
}

TEST_F(MainWindowTest, SkinViewTurnsMouseIntoClicksAndSliderDrags) {
    showWindow();
    QStringList calls;
    w->commands().hooks.showSettings = [&] { calls << QStringLiteral("settings"); };
    w->commands().hooks.sliderTrack = [&](int p) { calls << QStringLiteral("track %1").arg(p); };
    w->commands().hooks.sliderRelease = [&] {
        calls << QStringLiteral("release");
        preview().sliderRelease();
    };

    const QRect settings = object("Settings")->rect();
    click(w->skinView(), settings.center());
    EXPECT_EQ(calls, QStringList{QStringLiteral("settings")});

    // Pressed on the button, released elsewhere: no click.
    calls.clear();
    sendMouse(w->skinView(), QEvent::MouseButtonPress, settings.center());
    sendMouse(w->skinView(), QEvent::MouseButtonRelease, QPoint(240, 200), Qt::NoButton);
    EXPECT_TRUE(calls.isEmpty());

    // The slider: press sets seeking, a drag to the right end tracks, release ends.
    const QRect pb = skin().slider->rect();
    skin().slider->setSliderMax(1000);
    sendMouse(w->skinView(), QEvent::MouseButtonPress, QPoint(pb.left() + 2, pb.center().y()));
    EXPECT_TRUE(preview().seeking());
    sendMouse(w->skinView(), QEvent::MouseMove, QPoint(pb.right() + 40, pb.center().y()));
    EXPECT_EQ(skin().slider->sliderPosition(), 1000);
    sendMouse(w->skinView(), QEvent::MouseButtonRelease, QPoint(pb.right() + 40, pb.center().y()),
              Qt::NoButton);
    EXPECT_FALSE(preview().seeking());
    EXPECT_EQ(calls, (QStringList{QStringLiteral("track 0"), QStringLiteral("track 1000"),
                                  QStringLiteral("release")}));
}

TEST_F(MainWindowTest, MenuButtonsOpenTheirMenusBelowThemAndItemsRunCommands) {
    showWindow();
    click(w->skinView(), object("file")->rect().center());
    EXPECT_TRUE(w->fileMenu()->isVisible());
    EXPECT_EQ(w->fileMenu()->pos(), w->frameGeometry().topLeft() + QPoint(19, 80));
    w->fileMenu()->hide();

    s.converting = true; // "file" is refused during a run, "Help" is not
    click(w->skinView(), object("file")->rect().center());
    EXPECT_FALSE(w->fileMenu()->isVisible());
    click(w->skinView(), object("Help")->rect().center());
    EXPECT_TRUE(w->helpMenu()->isVisible());
    w->helpMenu()->hide();
    s.converting = false;

    w->findChild<QAction*>(QStringLiteral("HomePage1"))->trigger();
    ASSERT_EQ(prompt.openedUrls.size(), 1);
    EXPECT_EQ(prompt.openedUrls.first().scheme(), QStringLiteral("https"));
}

TEST_F(MainWindowTest, ClicksOnTheListsSelectFileAndSpan) {
    showTwoFiles();

    clickRow(w->fileView(), 1);
    EXPECT_EQ(jobs().selectedFile(), 1);
    EXPECT_EQ(skin().pathLabel->text(), jobs().file(1).path);
    EXPECT_FALSE(w->instructions()->isVisible());
    EXPECT_FALSE(jobs().spanListActive());
    ASSERT_GT(jobs().spanModel().rowCount(), 0);

    QApplication::processEvents();
    clickRow(w->spanView(), 0);
    EXPECT_TRUE(jobs().spanListActive());

    // A click on the empty space under the rows still counts as a file click.
    click(w->fileView()->viewport(), QPoint(10, w->fileView()->viewport()->height() - 5));
    EXPECT_FALSE(jobs().spanListActive());
}

// What the window shows is always what Begin, End, OK and the menu act on.
TEST_F(MainWindowTest, KeysRightClicksAndClearKeepTheShownFileTheEditedOne) {
    showTwoFiles();
    clickRow(w->fileView(), 0);
    ASSERT_EQ(jobs().selectedFile(), 0);

    // Down selects the next file as a click would.
    w->fileView()->setFocus();
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent key(type, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(w->fileView(), &key);
    }
    EXPECT_EQ(jobs().selectedFile(), 1);
    EXPECT_EQ(skin().pathLabel->text(), jobs().file(1).path);

    // A right click on the span list makes it the list the menu's Clear acts on.
    const QPoint onSpan = w->spanView()->visualRect(jobs().spanModel().index(0, 0)).center();
    emit w->spanView()->customContextMenuRequested(onSpan);
    QApplication::processEvents();
    for (QMenu* menu : w->findChildren<QMenu*>())
        menu->hide();
    EXPECT_TRUE(jobs().spanListActive());
    w->commands().clearItem();
    EXPECT_EQ(jobs().rowCount(), 2);

    // Clearing the files leaves no label naming one of them.
    jobs().setSpanListActive(false);
    w->commands().clearItem();
    EXPECT_EQ(jobs().rowCount(), 0);
    EXPECT_TRUE(skin().pathLabel->text().isEmpty());
    EXPECT_EQ(skin().timecaption->text(), QStringLiteral("00:00:00"));
}

// Files dropped on a list are added in order; nothing is taken during a run.
TEST_F(MainWindowTest, DroppedFilesAreAddedExceptDuringARun) {
    showWindow();
    QStringList paths;
    for (const char* name : {"b.ogg", "a.ogg"}) {
        paths << dir.filePath(QLatin1String(name));
        synth::writeOgg(paths.last(), 8000 * 2, 8000, 1);
    }
    const auto drop = [&](QWidget* target) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1])});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        return enter.isAccepted() && event.isAccepted();
    };
    s.converting = true;
    EXPECT_FALSE(drop(w->fileView()->viewport()));
    EXPECT_EQ(jobs().rowCount(), 0);
    s.converting = false;
    EXPECT_TRUE(drop(w->spanView()->viewport()));
    ASSERT_EQ(jobs().rowCount(), 2);
    EXPECT_EQ(jobs().file(0).path, paths[0]);
    EXPECT_EQ(jobs().file(1).path, paths[1]);
}

TEST_F(MainWindowTest, AboutOpensBesideTheWindowWithoutBlocking) {
    AboutDialog about(s, w.get());
    w->setDialogs(nullptr, nullptr, &about, nullptr);
    showWindow();
    w->findChild<QAction*>(QStringLiteral("About1"))->trigger();
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(about.isModal());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("fm_about"));
    EXPECT_EQ(about.pos(), w->frameGeometry().topLeft());
    EXPECT_EQ(about.versionText(), QStringLiteral("3.00"));
    about.mailSales();
    ASSERT_EQ(prompt.openedUrls.size(), 1);
    EXPECT_EQ(prompt.openedUrls.first().scheme(), QStringLiteral("mailto"));
    about.hide();
}

// Every dialog's native window is made at the window's frame corner in the
// dialog's final size: a size settled after that moves the client area, not
// the frame, to the corner on a desktop with title bars.
struct PlaceCase {
    const char* name;
    const char* command; // a command table name, or a menu item's
    int dialog;          // settings, about, tags, folder
};

using DialogPlaceTest = testsupport::CaseTable<MainWindowTest, PlaceCase>;

TEST_P(DialogPlaceTest, FirstShowingIsMadeAtTheWindowsCornerInItsFinalSize) {
    SettingsDialog settings(s, w.get());
    FolderDialog picker(s, w.get());
    AboutDialog about(s, w.get());
    TagEditDialog tags(s, w.get());
    w->setDialogs(&settings, &picker, &about, &tags);
    showWindow();
    QDialog* dialog = std::array<QDialog*, 4>{&settings, &about, &tags, &picker}[GetParam().dialog];
    struct Made : QObject {
        QRect geometry;
        bool eventFilter(QObject* o, QEvent* e) override {
            // The first one: when the native window is made.
            if (e->type() == QEvent::WinIdChange && geometry.isNull())
                geometry = QRect(static_cast<QWidget*>(o)->pos(), static_cast<QWidget*>(o)->size());
            return false;
        }
    } made;
    dialog->installEventFilter(&made);
    QRect shown;
    QTimer::singleShot(0, dialog, [&] {
        shown = QRect(dialog->pos(), dialog->size());
        dialog->reject();
    });
    const QString command = QString::fromLatin1(GetParam().command);
    if (!w->commands().click(command))
        w->findChild<QAction*>(command)->trigger();
    QApplication::processEvents();
    const QPoint corner = w->frameGeometry().topLeft();
    EXPECT_EQ(shown.topLeft(), corner);
    EXPECT_EQ(made.geometry.topLeft(), corner);
    EXPECT_EQ(made.geometry.size(), shown.size());
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogPlaceTest,
                         ::testing::Values(PlaceCase{"settings", "Settings", 0},
                                           PlaceCase{"about", "About1", 1},
                                           PlaceCase{"tags", "ID3info1", 2},
                                           PlaceCase{"folder", "AddFolder1", 3}),
                         testsupport::CaseName());

// The path label shortens a long path in its middle; its tip shows it whole.
TEST_F(MainWindowTest, PathLabelTipShowsTheWholePath) {
    showWindow();
    const QPoint onLabel = skin().pathLabel->rect().center();
    const auto tip = [&] {
        QHelpEvent help(QEvent::ToolTip, onLabel, w->skinView()->mapToGlobal(onLabel));
        QApplication::sendEvent(w->skinView(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(tip(), QStringLiteral("The selected file"));
    addRow(QStringLiteral("a folder with a long name/") + QString(80, u'x') +
               QStringLiteral(".ogg"),
           10);
    jobs().selectRow(0);
    jobs().selectFile();
    ASSERT_EQ(skin().pathLabel->text(), jobs().file(0).path);
    EXPECT_EQ(tip(), jobs().file(0).path);
}

// --- the open dialog and the message boxes -------------------------------------------

// Names typed into the open dialog come back as typed, in their order, also
// those the "OGG Files" filter hides; the add refuses a missing one itself.
TEST_F(MainWindowTest, OpenDialogReturnsEveryTypedNameInItsOrder) {
    showWindow();
    // One real Ogg file and two empty stand-ins of other types.
    synth::writeOgg(dir.filePath(QStringLiteral("a.ogg")), 8000 * 2, 8000, 1);
    for (const char* name : {"b.mp3", "c.wma"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    OpenFilesDialog dialog(w.get(), dir.path(), {QStringLiteral("OGG Files(*.ogg)")});
    // The view lists the folder first, so that typing selects a.ogg in it.
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [&] { loaded = true; });
    QDeadlineTimer deadline(30000);
    while (!loaded && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(loaded);
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);

    name->setText(QStringLiteral("\"c.wma\" \"a.ogg\" \"b.mp3\" \"gone.ogg\""));
    QApplication::processEvents();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const QStringList chosen = dialog.chosenFiles();
    EXPECT_EQ(chosen, (QStringList{dir.filePath(QStringLiteral("c.wma")),
                                   dir.filePath(QStringLiteral("a.ogg")),
                                   dir.filePath(QStringLiteral("b.mp3")),
                                   dir.filePath(QStringLiteral("gone.ogg"))}));

    // Handled like any other: the Ogg file is added; the empty stand-ins and
    // the missing name are refused by the add, each with its message.
    prompt.openFilesAnswers.push_back(chosen);
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 1);
    EXPECT_EQ(jobs().file(0).path, chosen[1]);
    EXPECT_EQ(prompt.messages,
              (QStringList{QStringLiteral("c.wma this File is not supported."),
                           QStringLiteral("b.mp3 this File is not supported."),
                           QStringLiteral("gone.ogg this File is not supported.")}));
}

TEST_F(MainWindowTest, OpenDialogWithNothingTypedOrSelectedStaysOpen) {
    OpenFilesDialog dialog(w.get(), dir.path(), {QStringLiteral("OGG Files(*.ogg)")});
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.chosenFiles().isEmpty());
}

struct TypedCase {
    const char* name;
    const char* text;
    const char* expected; // names joined by '|'; "~/" is the home folder, others in the folder
};

class TypedNamesTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedNamesTest, NamesInTheirTypedOrder) {
    const QString folder = QStringLiteral("/music/in");
    QStringList expected;
    for (const QString& name :
         QString::fromUtf8(GetParam().expected).split(u'|', Qt::SkipEmptyParts)) {
        if (name.startsWith(QStringLiteral("~/")))
            expected << QDir::homePath() + name.mid(1);
        else if (name.startsWith(u'/'))
            expected << name;
        else
            expected << folder + u'/' + name;
    }
    EXPECT_EQ(OpenFilesDialog::typedFiles(QString::fromUtf8(GetParam().text), folder), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedNamesTest,
    ::testing::Values(TypedCase{"empty", "", ""}, TypedCase{"blank", "   ", ""},
                      TypedCase{"oneName", "song.mp3", "song.mp3"},
                      TypedCase{"oneNameWithSpaces", "my song.wma", "my song.wma"},
                      TypedCase{"quoted", "\"b.mp3\" \"a.ogg\" \"c.wma\"", "b.mp3|a.ogg|c.wma"},
                      TypedCase{"quotedWithoutSpaces", "\"x.ogg\"\"y.ogg\"", "x.ogg|y.ogg"},
                      TypedCase{"folders", "\"sub/x.ogg\" \"/else/y.mp3\" \"../z.ogg\"",
                                "sub/x.ogg|/else/y.mp3|/music/z.ogg"},
                      TypedCase{"home", "\"~/z.ogg\"", "~/z.ogg"},
                      TypedCase{"unicode", "\"Лекция 2.ogg\" \"Café.mp3\"",
                                "Лекция 2.ogg|Café.mp3"}),
    testsupport::CaseName());

// A message box may break a long path after each separator and any long run
// of characters, so that it keeps a readable width; the text is otherwise the same.
struct BreakCase {
    const char* name;
    QString text;
    bool unchanged;
};

class BreakableTextTest : public ::testing::TestWithParam<BreakCase> {};

TEST_P(BreakableTextTest, LongPathsGetBreakOpportunities) {
    const QString text = GetParam().text;
    const QString shown = WidgetPrompt::breakable(text);
    QString visible = shown;
    visible.remove(QChar(0x200B));
    EXPECT_EQ(visible, text);
    EXPECT_TRUE(shown.isValidUtf16());
    if (GetParam().unchanged)
        EXPECT_EQ(shown, text);
    // No piece between two places where a line may break is longer than a
    // short name.
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, shown);
    qsizetype from = 0;
    for (qsizetype at = lines.toNextBoundary(); at != -1; at = lines.toNextBoundary()) {
        const QString piece = shown.mid(from, at - from);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, piece);
        int count = 0;
        while (characters.toNextBoundary() != -1)
            ++count;
        EXPECT_LE(count, 40) << piece.toStdString();
        from = at;
    }
}

QString longPath(QChar separator) {
    QStringList parts{QStringLiteral("home"), QStringLiteral("someone")};
    for (int i = 0; i < 30; ++i)
        parts << QStringLiteral("folder number %1").arg(i);
    parts << QStringLiteral("Café – Live.ogg");
    return separator + parts.join(separator);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, BreakableTextTest,
    ::testing::Values(
        BreakCase{"sentence", QStringLiteral("x.ogg this File is not supported."), true},
        BreakCase{"unixPath",
                  longPath(u'/') + QStringLiteral(" already exists. Do you want to replace it?"),
                  false},
        BreakCase{"windowsPath", QStringLiteral("Unable to write to C:") + longPath(u'\\'), false},
        BreakCase{"longNameWithoutSeparators",
                  QStringLiteral("/tmp/") + QString(200, u'x') + QStringLiteral(".ogg"), false},
        BreakCase{"longRunOutsideTheBasicPlane",
                  QStringLiteral("/tmp/") + QString::fromUtf8("\U0001F3B5").repeated(60), false},
        BreakCase{"combiningMarks",
                  QStringLiteral("/tmp/") + QStringLiteral("e\u0301").repeated(70), false}),
    testsupport::CaseName());

// --- a run on the skin: its progress and the output folder ---------------------------------

struct ProgressCase {
    const char* name;
    int value;
    bool skinOption;
    double fraction; // of the bar's full width; below 0: the bar keeps what it showed
};

using ProgressBarTest = testsupport::CaseTable<MainWindowTest, ProgressCase>;

TEST_P(ProgressBarTest, BarGrowsFromItsHomeWithTheRunsProgress) {
    const ProgressCase& p = GetParam();
    showWindow();
    ASSERT_NE(skin().convertpb, nullptr);
    const QRect home = skin().convertpbHome;
    ASSERT_GT(home.width(), 0);
    s.settings.skinOption = p.skinOption;
    // Something drawn first, so that a value left undrawn shows.
    w->conversion().onProgress(Conversion::ProgressScale / 4);
    const int before = skin().convertpb->rect().width();
    ASSERT_GT(before, 0);

    w->conversion().onProgress(p.value);
    const QRect bar = skin().convertpb->rect();
    EXPECT_EQ(bar.topLeft(), home.topLeft());
    EXPECT_EQ(bar.height(), home.height());
    if (p.fraction < 0) {
        EXPECT_EQ(bar.width(), before);
    } else {
        EXPECT_NEAR(bar.width(), p.fraction * home.width(), 1.0);
    }

    // However a run ends, the bar is emptied.
    w->conversion().onRunEnded();
    EXPECT_EQ(skin().convertpb->rect().width(), 0);
    EXPECT_EQ(skin().convertpb->rect().topLeft(), home.topLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProgressBarTest,
    ::testing::Values(ProgressCase{"nothing", 0, false, 0.0},
                      ProgressCase{"half", Conversion::ProgressScale / 2, false, 0.5},
                      ProgressCase{"lastStep", Conversion::ProgressScale - 1, false, 1.0},
                      // The full value is the run's end, which empties the bar.
                      ProgressCase{"complete", Conversion::ProgressScale, false, 0.0},
                      ProgressCase{"pastTheEnd", Conversion::ProgressScale * 102 / 100, false, -1},
                      ProgressCase{"pastTheEndSkinned", Conversion::ProgressScale * 102 / 100, true,
                                   1.02}),
    testsupport::CaseName());

TEST_F(MainWindowTest, ProgressIsPaintedOnTheSkinAndClearedAtTheRunsEnd) {
    showWindow();
    ASSERT_NE(skin().pbpos, nullptr);
    const QRect home = skin().convertpbHome;
    const QRect firstHalf(home.topLeft(), QSize(home.width() / 2 - 2, home.height()));
    const QRect lastQuarter(home.left() + home.width() * 3 / 4, home.top(), home.width() / 4,
                            home.height());
    const QImage empty = w->skinView()->grab().toImage();

    w->conversion().onProgress(Conversion::ProgressScale / 2);
    const QImage half = w->skinView()->grab().toImage();
    EXPECT_NE(half.copy(firstHalf), empty.copy(firstHalf));
    EXPECT_EQ(half.copy(lastQuarter), empty.copy(lastQuarter));
    EXPECT_EQ(skin().pbpos->text(), QStringLiteral("50%"));

    w->conversion().onRunEnded();
    EXPECT_EQ(w->skinView()->grab().toImage().copy(home), empty.copy(home));
    EXPECT_EQ(skin().pbpos->text(), QString());
}

struct SplitCase {
    const char* name;
    int files;
    int deleted;        // the source removed after adding; -1: none
    bool blockedOutput; // the output folder cannot be created
    bool failed;
    bool opened; // the output folder is shown afterwards
};

using SplitCommandTest = testsupport::CaseTable<MainWindowTest, SplitCase>;

TEST_P(SplitCommandTest, OutputFolderIsShownOnlyWhenTheRunWroteSomething) {
    constexpr int Rate = 8000;
    const SplitCase& p = GetParam();
    showWindow();
    QStringList paths;
    for (int i = 0; i < p.files; ++i) {
        paths << dir.filePath(QStringLiteral("source %1.ogg").arg(i));
        synth::writeOgg(paths.last(), Rate * 2, Rate, 1);
    }
    prompt.openFilesAnswers.push_back(paths);
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), p.files);
    ASSERT_TRUE(prompt.messages.isEmpty());
    if (p.deleted >= 0) {
        ASSERT_TRUE(QFile::remove(paths[p.deleted]));
    }
    if (p.blockedOutput) {
        // A folder below a plain file cannot be created, whoever runs the test.
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        s.settings.outputDir = blocker.fileName() + QStringLiteral("/out/");
    }

    clickSkin("Split");

    EXPECT_FALSE(s.converting);
    EXPECT_EQ(w->conversion().lastRunFailed(), p.failed)
        << w->conversion().lastError().toStdString();
    EXPECT_EQ(prompt.messages.size(), p.failed ? 1 : 0)
        << prompt.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w->conversion().lastOutputs().isEmpty(), !p.opened);
    if (p.opened) {
        ASSERT_EQ(prompt.openedUrls.size(), 1);
        EXPECT_EQ(prompt.openedUrls.first(), QUrl::fromLocalFile(s.settings.outputDir));
    } else {
        EXPECT_TRUE(prompt.openedUrls.isEmpty())
            << prompt.openedUrls.first().toString().toStdString();
    }
    EXPECT_EQ(skin().convertpb->rect().width(), 0);
}

INSTANTIATE_TEST_SUITE_P(Runs, SplitCommandTest,
                         ::testing::Values(SplitCase{"written", 1, -1, false, false, true},
                                           SplitCase{"sourceGone", 1, 0, false, true, false},
                                           SplitCase{"outputFolderRefused", 1, -1, true, true,
                                                     false},
                                           SplitCase{"secondSourceGoneAfterTheFirstWasWritten", 2,
                                                     1, false, true, true}),
                         testsupport::CaseName());

// During a run the path label names the source being converted, not the
// file clicked last.
using RunLabelTest = testsupport::CaseTable<MainWindowTest, const char*>;

TEST_P(RunLabelTest, PathLabelFollowsTheSourceBeingConverted) {
    constexpr int Rate = 8000;
    showWindow();
    QStringList paths;
    for (const char* name : {"one.ogg", "two.ogg", "three.ogg"}) {
        paths << dir.filePath(QLatin1String(name));
        synth::writeOgg(paths.last(), Rate * 3, Rate, 1);
    }
    prompt.openFilesAnswers.push_back(paths);
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 3);
    clickRow(w->fileView(), 2);
    ASSERT_EQ(skin().pathLabel->text(), paths[2]);

    // What the label says whenever the run has copied a block.
    QStringList shown;
    const auto note = [&] {
        if (shown.isEmpty() || shown.last() != skin().pathLabel->text())
            shown << skin().pathLabel->text();
    };
    const auto progress = w->conversion().onProgress;
    w->conversion().onProgress = [&](int value) {
        progress(value);
        note();
    };
    prompt.saveFileAnswers.push_back(dir.filePath(QStringLiteral("joined")));
    clickSkin(GetParam());

    EXPECT_FALSE(w->conversion().lastRunFailed()) << w->conversion().lastError().toStdString();
    EXPECT_EQ(shown, paths);
}

INSTANTIATE_TEST_SUITE_P(Runs, RunLabelTest, ::testing::Values("Split", "Join"));

// Closed during a run (which the close stops): nothing is opened on the
// desktop for a window that is gone.
using CloseDuringARunTest = testsupport::CaseTable<MainWindowTest, const char*>;

TEST_P(CloseDuringARunTest, OpensNoFolderAfterTheWindowHasClosed) {
    showWindow();
    addRow(QStringLiteral("one.ogg"), 10);
    CommandHooks& h = w->commands().hooks;
    h.splitRun = [&] {
        s.converting = true;
        w->close();
        return !s.converting; // stopped: what was written is worth showing
    };
    h.chooseJoinOutput = [&] { return dir.filePath(QStringLiteral("joined.ogg")); };
    h.joinRun = [&](const QString&) { return h.splitRun(); };
    clickSkin(GetParam());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Runs, CloseDuringARunTest, ::testing::Values("Split", "Join"));

// --- preview -----------------------------------------------------------------------------------

// The skin's Play starts a real preview (dummy driver); adding files, Split and
// closing the window each end it first, without a question.
using PreviewEndsTest = testsupport::CaseTable<MainWindowTest, const char*>;

TEST_P(PreviewEndsTest, BeforeTheNextCommand) {
    constexpr int Rate = 8000;
    showWindow();
    const QString source = dir.filePath(QStringLiteral("tone.ogg"));
    synth::writeOgg(source, Rate * 20, Rate, 1);
    prompt.openFilesAnswers.push_back({source});
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 1);
    clickSkin("play");
    ASSERT_TRUE(preview().previewing());

    const QString command = QLatin1String(GetParam());
    if (command == QLatin1String("close")) {
        EXPECT_TRUE(w->close());
    } else {
        if (command == QLatin1String("addfile"))
            prompt.openFilesAnswers.push_back({source});
        else
            s.settings.outputDir = dir.filePath(QStringLiteral("out"));
        clickSkin(command.toLatin1().constData());
    }
    EXPECT_FALSE(preview().previewing());
    EXPECT_FALSE(preview().reader().isOpen());
    EXPECT_TRUE(prompt.questions.isEmpty());
    EXPECT_EQ(skin().timecaption->text(), QStringLiteral("00:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Commands, PreviewEndsTest, ::testing::Values("addfile", "Split", "close"));

// --- closing ----------------------------------------------------------------------------------

TEST_F(MainWindowTest, CloseStopsTheRunAndSavesEveryKey) {
    showWindow();
    QStringList calls;
    w->commands().hooks.stopConversion = [&] {
        calls << QStringLiteral("stop");
        s.converting = false;
    };
    s.converting = true;
    s.settings.fadeIn = true;
    EXPECT_TRUE(w->close());
    EXPECT_EQ(calls, QStringList{QStringLiteral("stop")});
    const QByteArray text = readBytes(iniPath());
    for (const char* line : {"Choice=0", "time=60", "Count=6", "In=1", "Out=0", "Intime=5",
                             "Outtime=5", "[PLM]\nSkin=0"})
        EXPECT_TRUE(text.contains(line)) << line << " in\n" << text.toStdString();
}

TEST_F(MainWindowTest, RefusedSaveKeepsTheWindowOpen) {
    showWindow();
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString bad = blocker.fileName() + QStringLiteral("/VAZOzojoin.ini");
    s.ini = std::make_unique<IniFile>(bad);
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(prompt.messages, QStringList{QStringLiteral("Unable to write to ") + bad});
}

TEST_F(MainWindowTest, ExitItemClosesTheWindow) {
    showWindow();
    bool closed = false;
    QObject::connect(w.get(), &MainWindow::closed, [&] { closed = true; });
    w->findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(w->isVisible());
}

// --- an unreadable skin ---------------------------------------------------------------------

TEST_F(MainWindowTest, UnreadableSkinIsShownAndTheRestOfTheShowIsSkipped) {
    w->setSkinPath(dir.filePath(QStringLiteral("missing.json")));
    showWindow();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.first().contains(QStringLiteral("missing.json")))
        << prompt.messages.first().toStdString();
    EXPECT_EQ(skin().slider, nullptr);
    EXPECT_EQ(w->skinView()->form(), nullptr);
    // The settings were loaded before the skin: the close still saves them.
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(readBytes(iniPath()).contains("[PLM]"));
}

TEST_F(MainWindowTest, FormShowThrowsTheSkinError) {
    w->setSkinPath(dir.filePath(QStringLiteral("missing.json")));
    EXPECT_THROW(w->prepareFirstShow(), SkinError);
}

struct BadSkin {
    const char* name;
    const char* json; // null: no file at all
};

class SkinEngineRefusal : public ::testing::TestWithParam<BadSkin> {};

TEST_P(SkinEngineRefusal, ThrowsAndKeepsThePreviousSkin) {
    QTemporaryDir dir;
    SkinEngine engine;
    QObject window;
    engine.loadSkin(defaultSkinPath());
    engine.applyFormSkin(&window, QStringLiteral("Pelmora"));
    SkinForm* form = engine.skinForm(&window);

    const QString path = dir.filePath(QStringLiteral("skin.json"));
    if (GetParam().json) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().json);
    }
    EXPECT_THROW(engine.loadSkin(path), SkinError);
    EXPECT_EQ(engine.skinForm(&window), form) << "a refused skin must not replace the loaded one";
}

INSTANTIATE_TEST_SUITE_P(
    Files, SkinEngineRefusal,
    ::testing::Values(
        BadSkin{"missing", nullptr}, BadSkin{"empty", ""}, BadSkin{"notJson", "skin: yes"},
        BadSkin{"array", "[1, 2]"}, BadSkin{"noForms", "{\"forms\": []}"},
        BadSkin{"formWithoutName", "{\"forms\": [{\"size\": [10, 10]}]}"},
        BadSkin{"formWithoutSize", "{\"forms\": [{\"name\": \"Pelmora\"}]}"},
        BadSkin{"objectWithoutName",
                "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"objects\": [{\"kind\": "
                "\"button\", \"rect\": [0,0,1,1]}]}]}"},
        BadSkin{"unknownKind", "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"objects\": "
                               "[{\"name\": \"a\", \"kind\": \"knob\", \"rect\": [0,0,1,1]}]}]}"},
        BadSkin{"shortRect", "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"objects\": "
                             "[{\"name\": \"a\", \"kind\": \"text\", \"rect\": [0,0,1]}]}]}"},
        BadSkin{"negativeRect", "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"objects\": "
                                "[{\"name\": \"a\", \"kind\": \"text\", \"rect\": [0,0,-1,5]}]}]}"},
        BadSkin{"duplicateObject", "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"objects\": "
                                   "[{\"name\": \"a\", \"kind\": \"text\", \"rect\": [0,0,1,1]},"
                                   "{\"name\": \"a\", \"kind\": \"bar\", \"rect\": [0,0,1,1]}]}]}"},
        BadSkin{"badColour", "{\"forms\": [{\"name\": \"P\", \"size\": [1, 1], \"colors\": "
                             "{\"accent\": \"blue-ish\"}}]}"}),
    testsupport::CaseName());

TEST(SkinEngine, UnknownFormIsRefused) {
    SkinEngine engine;
    QObject window;
    EXPECT_THROW(engine.applySkin(&window), SkinError) << "nothing loaded yet";
    engine.loadSkin(defaultSkinPath());
    EXPECT_THROW(engine.applyFormSkin(&window, QStringLiteral("pelmora")), SkinError);
    EXPECT_EQ(engine.skinForm(&window), nullptr);
}

// --- the shipped skin --------------------------------------------------------------------------

struct SkinObjectCase {
    const char* name;
    SkinObject::Kind kind;
};

class ShippedSkinObject : public ::testing::TestWithParam<SkinObjectCase> {};

TEST_P(ShippedSkinObject, ExistsWithItsKindInsideTheWindowAndExplainsItself) {
    SkinEngine engine;
    QObject window;
    engine.loadSkin(defaultSkinPath());
    engine.applyFormSkin(&window, QStringLiteral("Pelmora"));
    const SkinObject* o =
        engine.skinForm(&window)->FindObject(QString::fromLatin1(GetParam().name));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->kind(), GetParam().kind);
    EXPECT_TRUE(QRect(0, 0, 480, 418).contains(o->rect()));
    EXPECT_FALSE(o->tooltip.isEmpty());
    if (o->kind() == SkinObject::Kind::Button) {
        EXPECT_FALSE(o->label.isEmpty());
        EXPECT_TRUE(skinIconNames().contains(o->icon)) << o->icon.toStdString();
        // No other button may cover it, or a click would reach the wrong one.
        for (const SkinObject* other : engine.skinForm(&window)->objects()) {
            if (other == o || other->kind() != SkinObject::Kind::Button)
                continue;
            EXPECT_FALSE(other->rect().intersects(o->rect())) << other->skinName().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pelmora, ShippedSkinObject,
                         ::testing::Values(SkinObjectCase{"file", SkinObject::Kind::Button},
                                           SkinObjectCase{"Action", SkinObject::Kind::Button},
                                           SkinObjectCase{"Settings", SkinObject::Kind::Button},
                                           SkinObjectCase{"Help", SkinObject::Kind::Button},
                                           SkinObjectCase{"addfile", SkinObject::Kind::Button},
                                           SkinObjectCase{"Up", SkinObject::Kind::Button},
                                           SkinObjectCase{"Down", SkinObject::Kind::Button},
                                           SkinObjectCase{"Remove", SkinObject::Kind::Button},
                                           SkinObjectCase{"Clear", SkinObject::Kind::Button},
                                           SkinObjectCase{"Set", SkinObject::Kind::Button},
                                           SkinObjectCase{"play", SkinObject::Kind::Button},
                                           SkinObjectCase{"stop", SkinObject::Kind::Button},
                                           SkinObjectCase{"hou", SkinObject::Kind::Button},
                                           SkinObjectCase{"qian", SkinObject::Kind::Button},
                                           SkinObjectCase{"Split", SkinObject::Kind::Button},
                                           SkinObjectCase{"Join", SkinObject::Kind::Button},
                                           SkinObjectCase{"Begin", SkinObject::Kind::Button},
                                           SkinObjectCase{"End", SkinObject::Kind::Button},
                                           SkinObjectCase{"Ok", SkinObject::Kind::Button},
                                           SkinObjectCase{"Stop", SkinObject::Kind::Button},
                                           SkinObjectCase{"helpfile", SkinObject::Kind::Button},
                                           SkinObjectCase{"pb", SkinObject::Kind::Slider},
                                           SkinObjectCase{"timecaption", SkinObject::Kind::Text},
                                           SkinObjectCase{"tataltime", SkinObject::Kind::Text},
                                           SkinObjectCase{"nm", SkinObject::Kind::Text},
                                           SkinObjectCase{"pbpos", SkinObject::Kind::Text},
                                           SkinObjectCase{"convertpb", SkinObject::Kind::Bar}),
                         [](const ::testing::TestParamInfo<SkinObjectCase>& info) {
                             return std::string(info.param.name) + "_" + std::to_string(info.index);
                         });

TEST(ShippedSkin, ProgressBarHasRoomForItsFullWidth) {
    SkinEngine engine;
    QObject window;
    engine.loadSkin(defaultSkinPath());
    engine.applyFormSkin(&window, QStringLiteral("Pelmora"));
    const QRect bar = engine.skinForm(&window)->FindObject(QStringLiteral("convertpb"))->rect();
    EXPECT_GE(bar.width(), 335);
    EXPECT_LE(bar.left() + 335, 480);
}

} // namespace

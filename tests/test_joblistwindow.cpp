// The job list in the real main window, used as a new user would: add files
// through the open dialog, click a file, mark a span with the slider and the
// Begin, End and Ok buttons, then read the span rows and the total.
#include "core/MainState.h"
#include "ui/SkinView.h"
#include "skin/SkinEngine.h"
#include "skin/SkinObject.h"
#include "ui/MainWindow.h"
#include "audio/MulDiv.h"
#include "joblist/TimeText.h"
#include "support/ScriptedPrompt.h"
#include "synth/Synth.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

constexpr int Rate = 8000;

class JobListWindowTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> window;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.prompt = &prompt;
        window = std::make_unique<MainWindow>(state);
        window->show();
        QApplication::processEvents();
        ASSERT_NE(state.pb, nullptr);
    }

    void TearDown() override {
        window->hide();
        window.reset();
    }

    static void mouse(QWidget* target, QEvent::Type type, const QPoint& at) {
        QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    static void click(QWidget* target, const QPoint& at) {
        mouse(target, QEvent::MouseButtonPress, at);
        mouse(target, QEvent::MouseButtonRelease, at);
        QApplication::processEvents();
    }

    SkinObject* object(const char* name) {
        SkinForm* form = window->skinEngine().GetSkinForm(window.get());
        return form ? form->FindObject(QString::fromLatin1(name)) : nullptr;
    }
    void clickSkin(const char* name) {
        SkinObject* o = object(name);
        ASSERT_NE(o, nullptr) << name;
        click(window->skin1, o->GetObjectRect().center());
    }
    // Presses the slider at a fraction of its width and lets go.
    int slideTo(double fraction) {
        const QRect r = state.pb->GetObjectRect();
        click(window->skin1, QPoint(r.left() + int(fraction * r.width()), r.center().y()));
        return state.pb->GetSliderPosition();
    }
    void clickRow(QTableView* view, int row) {
        const QRect r = view->visualRect(view->model()->index(row, 0));
        click(view->viewport(), r.center());
    }
    QString spanCell(int row, int column) const {
        return state.lv_time.data(state.lv_time.index(row, column)).toString();
    }
};

TEST_F(JobListWindowTest, MarkAndConfirmASpanOnTheSecondFile) {
    const QString first = dir.filePath(QStringLiteral("Intro – Café.ogg"));
    const QString second = dir.filePath(QStringLiteral("Лекция 2.ogg"));
    synth::writeOgg(first, Rate * 60, Rate, 1);
    synth::writeOgg(second, Rate * 120, Rate, 1);
    prompt.openFilesAnswers.push_back({first, second});

    clickSkin("addfile");
    ASSERT_EQ(state.lv.rowCount(), 2);
    EXPECT_EQ(window->lv->model()->data(window->lv->model()->index(1, 0)).toString(),
              QStringLiteral("Лекция 2.ogg"));
    EXPECT_EQ(state.tataltime->text(), QStringLiteral("00:03:00"));
    EXPECT_FALSE(window->sm->isVisible());

    clickRow(window->lv, 1);
    EXPECT_EQ(state.SelectedFile, 1);
    EXPECT_EQ(state.nm->text(), second);
    ASSERT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(spanCell(0, 0), QStringLiteral("00:00:00 - 00:02:00"));

    const int usable = state.pb->GetSliderMax() - state.pb->GetSliderPage();
    const int beginPos = slideTo(0.25);
    clickSkin("Begin");
    const int endPos = slideTo(0.75);
    clickSkin("End");
    clickSkin("Ok");
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QLatin1Char('|')).toStdString();

    const auto begin = std::int32_t(MulDiv(beginPos, 120, usable));
    const auto end = std::int32_t(MulDiv(endPos, 120, usable));
    ASSERT_GT(begin, 20);
    ASSERT_LT(end, 110);
    ASSERT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(spanCell(0, 0), FormatTime(begin) + QStringLiteral(" - ") + FormatTime(end));
    EXPECT_EQ(spanCell(0, 1), FormatTime(end - begin));
    EXPECT_EQ(spanCell(0, 2), QStringLiteral("Ok"));
    EXPECT_EQ(spanCell(1, 0), QStringLiteral("00:00:00 - 00:02:00"));
    EXPECT_EQ(spanCell(1, 2), QStringLiteral("Uncertain"));
    // The first file still counts whole; the second only its confirmed span.
    EXPECT_EQ(state.tataltime->text(), FormatTime(60 + end - begin));
    EXPECT_EQ(state.FileList[1].SpanCount, 2);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);

    // The span list clicked last: "Remove" works on spans, the open one refused.
    clickRow(window->lv_time, 1);
    EXPECT_TRUE(state.SpanListActive);
    clickSkin("Remove");
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral(
                  "This item, the procedure will automatically process. Need not delete.")});
    clickRow(window->lv_time, 0);
    clickSkin("Remove");
    EXPECT_EQ(state.lv_time.rowCount(), 1);
    // Back to the open span alone, which counts whole again.
    EXPECT_EQ(state.tataltime->text(), QStringLiteral("00:03:00"));
}

} // namespace

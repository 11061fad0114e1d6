// The job list in the real main window, used as a new user would: add files
// through the open dialog, click a file, mark a span with the slider and the
// Begin, End and Ok buttons, then read the span rows and the total.
#include "audio/MulDiv.h"
#include "core/SessionState.h"
#include "joblist/TimeText.h"
#include "skin/SkinEngine.h"
#include "skin/SkinObject.h"
#include "support/JobFixture.h"
#include "support/Printing.h"
#include "support/ScriptedPrompt.h"
#include "support/WidgetSupport.h"
#include "support/WindowFixture.h"
#include "synth/Synth.h"
#include "ui/MainWindow.h"
#include "ui/SkinView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace {

constexpr int Rate = 8000;

class JobListWindowTest : public WindowFixture {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowFixture::SetUp());
        w->show();
        QApplication::processEvents();
        ASSERT_NE(skin().slider, nullptr);
        ASSERT_NE(skin().totalTime, nullptr);
        ASSERT_NE(skin().pathLabel, nullptr);
    }

    const SkinParts& skin() const { return w->skinParts(); }
    JobList& jobs() { return w->jobList(); }

    // The user's clicks, each followed by the events it posts.
    void clickSkin(const char* name) {
        ::clickSkin(*w, name);
        QApplication::processEvents();
    }
    int slideTo(double fraction) { return ::slideTo(*w, fraction); }
    void clickRow(QTableView* view, int row) {
        ::clickRow(view, row);
        QApplication::processEvents();
    }
    QString spanCell(int row, int column) const {
        return cellText(w->jobList().spanModel(), row, column);
    }
};

TEST_F(JobListWindowTest, MarkAndConfirmASpanOnTheSecondFile) {
    const QString first = dir.filePath(QStringLiteral("Intro – Café.ogg"));
    const QString second = dir.filePath(QStringLiteral("Лекция 2.ogg"));
    synth::writeOgg(first, Rate * 60, Rate, 1);
    synth::writeOgg(second, Rate * 120, Rate, 1);
    prompt.openFilesAnswers.push_back({first, second});

    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 2);
    EXPECT_EQ(cellText(*w->fileView()->model(), 1, 0), QStringLiteral("Лекция 2.ogg"));
    EXPECT_EQ(skin().totalTime->text(), QStringLiteral("00:03:00"));
    EXPECT_FALSE(w->instructions()->isVisible());

    clickRow(w->fileView(), 1);
    EXPECT_EQ(w->jobList().selectedFile(), 1);
    EXPECT_EQ(skin().pathLabel->text(), second);
    ASSERT_EQ(jobs().spanModel().rowCount(), 1);
    EXPECT_EQ(spanCell(0, 0), QStringLiteral("00:00:00 - 00:02:00"));

    const int usable = skin().slider->sliderMax() - skin().slider->sliderPage();
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
    ASSERT_EQ(jobs().spanModel().rowCount(), 2);
    EXPECT_EQ(spanCell(0, 0), formatTime(begin) + QStringLiteral(" - ") + formatTime(end));
    EXPECT_EQ(spanCell(0, 1), formatTime(end - begin));
    EXPECT_EQ(spanCell(0, 2), QStringLiteral("Ok"));
    EXPECT_EQ(spanCell(1, 0), QStringLiteral("00:00:00 - 00:02:00"));
    EXPECT_EQ(spanCell(1, 2), QStringLiteral("Uncertain"));
    // The first file still counts whole; the second only its confirmed span.
    EXPECT_EQ(skin().totalTime->text(), formatTime(60 + end - begin));
    EXPECT_EQ(jobs().file(1).spanCount, 2);
    EXPECT_EQ(jobs().file(0).spanCount, 1);

    // The span list clicked last: "Remove" works on spans, the open one refused.
    clickRow(w->spanView(), 1);
    EXPECT_TRUE(w->jobList().spanListActive());
    clickSkin("Remove");
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral(
                  "This item, the procedure will automatically process. Need not delete.")});
    clickRow(w->spanView(), 0);
    clickSkin("Remove");
    EXPECT_EQ(jobs().spanModel().rowCount(), 1);
    // Back to the open span alone, which counts whole again.
    EXPECT_EQ(skin().totalTime->text(), QStringLiteral("00:03:00"));
}

// Narrower once the list scrolls, so that the scroll bar leaves the names readable.
TEST_F(JobListWindowTest, NameColumnNarrowsFromThirteenRows) {
    QStringList paths;
    for (int i = 0; i < 13; ++i) {
        paths << dir.filePath(QStringLiteral("f%1.ogg").arg(i));
        synth::writeOgg(paths.last(), Rate, Rate, 1);
    }
    prompt.openFilesAnswers.push_back(paths.mid(0, 12));
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 12);
    EXPECT_EQ(w->fileView()->columnWidth(0), 120);

    prompt.openFilesAnswers.push_back(paths.mid(12));
    clickSkin("addfile");
    ASSERT_EQ(jobs().rowCount(), 13);
    EXPECT_EQ(w->fileView()->columnWidth(0), 113);

    clickRow(w->fileView(), 4);
    EXPECT_FALSE(w->jobList().spanListActive());
    clickSkin("Remove");
    ASSERT_EQ(jobs().rowCount(), 12);
    EXPECT_EQ(w->fileView()->columnWidth(0), 120);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

} // namespace

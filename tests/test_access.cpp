// The skinned window for the keyboard and assistive technology: the skin's
// objects in the accessibility tree with their names and roles, the tab order
// through buttons, lists and slider, keys pressing buttons and moving the
// slider, and the slider's value read as the time at the thumb.
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinForm.h"
#include "skin/SkinSetup.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"
#include "support/ScriptedPrompt.h"
#include "support/WidgetSupport.h"
#include "support/WindowFixture.h"
#include "ui/MainWindow.h"
#include "ui/SkinAccessible.h"
#include "ui/SkinView.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class AccessTest : public WindowFixture {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowFixture::SetUp());
        w->show();
        QApplication::setActiveWindow(w.get());
        QApplication::processEvents();
    }

    SkinItem* item(const char* name) const {
        for (SkinItem* i : w->skinView()->items())
            if (i->object()->skinName() == QLatin1String(name))
                return i;
        ADD_FAILURE() << "no skin item " << name;
        return nullptr;
    }
    static void key(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(target, &release);
    }
    // The name of what has the focus: a skin object's or a control's.
    static QString focusName() {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QString();
    }
};

void collect(QAccessibleInterface* node, QList<QAccessibleInterface*>& all) {
    for (int i = 0; node && i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        all << child;
        collect(child, all);
    }
}

TEST_F(AccessTest, TreeNamesEverySkinObjectWithItsRole) {
    QList<QAccessibleInterface*> all;
    collect(QAccessible::queryAccessibleInterface(w.get()), all);
    int buttons = 0;
    for (SkinObject* o : w->skinView()->form()->objects()) {
        const auto found = std::find_if(all.begin(), all.end(), [&](QAccessibleInterface* a) {
            return a->object() && a->object()->objectName() == o->skinName();
        });
        ASSERT_NE(found, all.end()) << o->skinName().toStdString();
        QAccessibleInterface* a = *found;
        const QAccessible::Role role = o->kind() == SkinObject::Kind::Button   ? QAccessible::Button
                                       : o->kind() == SkinObject::Kind::Slider ? QAccessible::Slider
                                       : o->kind() == SkinObject::Kind::Bar
                                           ? QAccessible::ProgressBar
                                           : QAccessible::StaticText;
        EXPECT_EQ(a->role(), role) << o->skinName().toStdString();
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << o->skinName().toStdString();
        if (o->kind() == SkinObject::Kind::Button) {
            ++buttons;
            EXPECT_EQ(a->text(QAccessible::Name), o->label);
            ASSERT_NE(a->actionInterface(), nullptr);
            EXPECT_TRUE(a->actionInterface()->actionNames().contains(
                QAccessibleActionInterface::pressAction()));
        }
    }
    EXPECT_EQ(buttons, 21);
}

TEST_F(AccessTest, TabAndBacktabFollowTheFace) {
    const QStringList order = {
        QStringLiteral("file"),      QStringLiteral("Action"),   QStringLiteral("Settings"),
        QStringLiteral("Help"),      QStringLiteral("helpfile"), QStringLiteral("addfile"),
        QStringLiteral("Up"),        QStringLiteral("Down"),     QStringLiteral("Remove"),
        QStringLiteral("Clear"),     QStringLiteral("Set"),      QStringLiteral("lv"),
        QStringLiteral("lv_time"),   QStringLiteral("pb"),       QStringLiteral("play"),
        QStringLiteral("stop"),      QStringLiteral("hou"),      QStringLiteral("qian"),
        QStringLiteral("Begin"),     QStringLiteral("End"),      QStringLiteral("Ok"),
        QStringLiteral("cb_format"), QStringLiteral("Split"),    QStringLiteral("Join"),
        QStringLiteral("Stop")};
    item("file")->setFocus(Qt::TabFocusReason);
    QStringList forward{focusName()};
    for (qsizetype i = 1; i < order.size(); ++i) {
        key(QApplication::focusWidget(), Qt::Key_Tab);
        forward << focusName();
    }
    EXPECT_EQ(forward, order);
    QStringList backward{focusName()};
    for (qsizetype i = 1; i < order.size(); ++i) {
        key(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward.prepend(focusName());
    }
    EXPECT_EQ(backward, order);
    ASSERT_TRUE(w->skinView()->focusedObject());
    EXPECT_EQ(w->skinView()->focusedObject()->skinName(), QStringLiteral("file"));
}

struct PressCase {
    const char* name;
    int key;
};

using AccessPressTest = testsupport::CaseTable<AccessTest, PressCase>;

TEST_P(AccessPressTest, KeyOnFocusedAddOpensTheAddDialog) {
    SkinItem* add = item("addfile");
    ASSERT_TRUE(add);
    add->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(w->skinView()->focusedObject(), add->object());
    prompt.openFilesAnswers.push_back({});
    key(add, GetParam().key);
    EXPECT_TRUE(prompt.openFilesAnswers.empty()) << "the open dialog was not shown";
    EXPECT_TRUE(prompt.lastOpenFilters.contains(QStringLiteral("OGG Files(*.ogg)")));
}

INSTANTIATE_TEST_SUITE_P(Keys, AccessPressTest,
                         ::testing::Values(PressCase{"Space", Qt::Key_Space},
                                           PressCase{"Return", Qt::Key_Return},
                                           PressCase{"Enter", Qt::Key_Enter}),
                         testsupport::CaseName());

TEST_F(AccessTest, AccessiblePressActsAsAClick) {
    QAccessibleInterface* add = QAccessible::queryAccessibleInterface(item("addfile"));
    ASSERT_TRUE(add && add->actionInterface());
    prompt.openFilesAnswers.push_back({});
    add->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(prompt.openFilesAnswers.empty());
}

TEST_F(AccessTest, SliderKeysMoveItAndItsValueIsTheTimeText) {
    appendFileRow(w->jobList(), QDir(dir.path()).filePath(QStringLiteral("long.ogg")), 600);
    clickRow(w->fileView(), 0);
    QApplication::processEvents();
    SkinItem* slider = item("pb");
    ASSERT_TRUE(slider);
    slider->setFocus(Qt::TabFocusReason);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(slider);
    const SkinObject* time = w->skinParts().timecaption;
    ASSERT_TRUE(a && time);
    const int travel = SkinView::sliderTravel(slider->object());
    ASSERT_GT(travel, 100);

    key(slider, Qt::Key_End);
    EXPECT_EQ(slider->object()->sliderPosition(), travel);
    EXPECT_EQ(time->text(), QStringLiteral("00:10:00"));
    EXPECT_EQ(a->text(QAccessible::Value), time->text());

    key(slider, Qt::Key_PageDown);
    const int afterPage = slider->object()->sliderPosition();
    EXPECT_EQ(afterPage, travel - SkinView::sliderPageStep(slider->object()));
    key(slider, Qt::Key_Left);
    EXPECT_EQ(slider->object()->sliderPosition(),
              afterPage - SkinView::sliderStep(slider->object()));
    EXPECT_EQ(a->text(QAccessible::Value), time->text());
    EXPECT_NE(time->text(), QStringLiteral("00:10:00"));

    key(slider, Qt::Key_Home);
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("00:00:00"));
    ASSERT_TRUE(a->valueInterface());
    EXPECT_EQ(a->valueInterface()->currentValue().toInt(), 0);
    a->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(a->valueInterface()->currentValue().toInt(), SkinView::sliderStep(slider->object()));
    EXPECT_EQ(a->text(QAccessible::Value), time->text());
}

TEST_F(AccessTest, CommonCommandsHaveTheirKeysInTheMenus) {
    const std::pair<QKeySequence, const char*> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), "AddFile2"},
        {QKeySequence(Qt::Key_Delete), "Remove2"},
        {QKeySequence(Qt::CTRL | Qt::Key_Return), "Start1"},
        {QKeySequence(Qt::CTRL | Qt::Key_J), "Join1"},
        {QKeySequence(Qt::Key_Escape), "Stop2"}};
    for (const auto& [sequence, name] : keys) {
        // Exactly one action of the window answers the keys, and it is the menu's.
        int answering = 0;
        for (QAction* action : w->actions())
            if (action->shortcut() == sequence) {
                ++answering;
                EXPECT_EQ(action->objectName(), QLatin1String(name));
            }
        EXPECT_EQ(answering, 1) << name;
    }
    prompt.openFilesAnswers.push_back({});
    w->findChild<QAction*>(QStringLiteral("AddFile1"))->trigger();
    EXPECT_TRUE(prompt.openFilesAnswers.empty());
}

} // namespace

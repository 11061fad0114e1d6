// The settings dialog under the offscreen platform: what a showing fills in,
// the enabling rules, the split-mode buttons, the digit filter and number
// repair, and what "Ok", "Default" and "Cancel" store or refuse.
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "support/IniFixture.h"
#include "support/ScriptedPrompt.h"
#include "ui/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

QString q(const char* text) {
    return QString::fromLatin1(text);
}

auto fields(const CachedSettings& c) {
    return std::tuple(int(c.splitMode), c.outputDir, c.splitSeconds, c.splitCount, c.fadeIn,
                      c.fadeOut, c.fadeInSeconds, c.fadeOutSeconds);
}

class SettingsDialogTest : public IniFixture {
  protected:
    SessionState s;
    ScriptedPrompt prompt;
    std::unique_ptr<SettingsDialog> dialog;
    QString oldDir;
    int applied = 0;

    void SetUp() override {
        s.prompt = &prompt;
        s.ini = std::make_unique<IniFile>(path());
        oldDir = QDir(dir.path()).filePath(QStringLiteral("old")) + QDir::separator();
        s.settings.outputDir = oldDir;
        dialog = std::make_unique<SettingsDialog>(s, nullptr);
        QObject::connect(dialog.get(), &SettingsDialog::settingsApplied, [this] { ++applied; });
    }
    void show(const char* ini = nullptr) {
        if (ini)
            writeRaw(ini);
        dialog->hide();
        dialog->show();
    }
    template <typename T> T* get(const char* name) {
        T* w = dialog->findChild<T*>(q(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString item(const char* list) { return get<QComboBox>(list)->currentText(); }
    bool on(const char* name) { return get<QWidget>(name)->isEnabled(); }
    void expectOggDefaults() {
        EXPECT_EQ(item("cb_ogg_channel"), QStringLiteral("Stereo"));
        EXPECT_EQ(item("cb_ogg_fre"), QStringLiteral("44100 Hz"));
        for (const char* list : {"cb_ogg_bitrate", "cb_ogg_minbit", "cb_ogg_maxbit"})
            EXPECT_EQ(item(list), QStringLiteral("128 Kbps")) << list;
        EXPECT_EQ(get<QSpinBox>("ud_ogg_quality")->value(), 300);
        EXPECT_FALSE(get<QCheckBox>("ck_oggvbr")->isChecked());
        EXPECT_FALSE(get<QCheckBox>("ck_oggquality")->isChecked());
    }
};

} // namespace

TEST_F(SettingsDialogTest, EmptyFileShowsTheDefaultsOnPageGeneral) {
    show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(get<QLabel>("lab")->text(), QStringLiteral("Set General"));
    EXPECT_TRUE(get<QWidget>("gb_cdgeneral")->isVisible());
    EXPECT_FALSE(get<QWidget>("gb_ogg")->isVisible());
    EXPECT_TRUE(get<QRadioButton>("rb_custom")->isChecked());
    EXPECT_EQ(get<QLineEdit>("edt_time")->text(), QStringLiteral("60"));
    EXPECT_EQ(get<QLineEdit>("edt_count")->text(), QStringLiteral("6"));
    EXPECT_EQ(get<QLineEdit>("edt_dir")->text(), oldDir);
    EXPECT_FALSE(get<QCheckBox>("cb_fadein")->isChecked() ||
                 get<QCheckBox>("cb_fadeout")->isChecked());
    EXPECT_EQ(item("cb_fadeintime"), QStringLiteral("5s"));
    EXPECT_EQ(item("cb_fadeouttime"), QStringLiteral("5s"));
    expectOggDefaults();
    for (const char* name : {"ck_oggvbr", "ck_oggquality", "cb_ogg_bitrate"})
        EXPECT_TRUE(on(name)) << name;
    for (const char* name : {"cb_ogg_minbit", "cb_ogg_maxbit", "ud_ogg_quality", "edt_ogg_quality"})
        EXPECT_FALSE(on(name)) << name;

    auto* tree = get<QTreeWidget>("TreeView1");
    tree->setCurrentItem(tree->topLevelItem(1));
    dialog->showPage(5);
    show();
    EXPECT_TRUE(get<QWidget>("gb_ogg")->isVisible());
    EXPECT_EQ(get<QLabel>("lab")->text(), QStringLiteral("Set OGG Format"));
}

struct ShowCase {
    const char* ini;
    int fadeInSeconds; // the cached value; 0 keeps the default
    const char* list;
    const char* shown;
};

class ShowFill : public SettingsDialogTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ShowFill, ListShowsTheStoredEntryOrTheKeysDefault) {
    if (GetParam().fadeInSeconds)
        s.settings.fadeInSeconds = GetParam().fadeInSeconds;
    show(GetParam().ini);
    EXPECT_EQ(item(GetParam().list), q(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShowFill,
    ::testing::Values(ShowCase{"[ogg]\nfrequency=2\n", 0, "cb_ogg_fre", "12000 Hz"},
                      ShowCase{"[ogg]\nchannel=0\n", 0, "cb_ogg_channel", "Mono"},
                      ShowCase{"[ogg]\nmax bitrate=0x3\n", 0, "cb_ogg_maxbit", "32 Kbps"},
                      ShowCase{"[ogg]\nfrequency=9\n", 0, "cb_ogg_fre", "44100 Hz"},
                      ShowCase{"[ogg]\nchannel=-1\n", 0, "cb_ogg_channel", "Stereo"},
                      ShowCase{"[ogg]\nmin bitrate=15\n", 0, "cb_ogg_minbit", "128 Kbps"},
                      ShowCase{"", 20, "cb_fadeintime", "20s"},
                      ShowCase{"", 21, "cb_fadeintime", "5s"}));

struct EnableCase {
    const char* ini;
    const char* click; // clicked after the showing, or nullptr
    bool vbr, quality, minMax, qualityValue;
};

class EnablingRules : public SettingsDialogTest,
                      public ::testing::WithParamInterface<EnableCase> {};

TEST_P(EnablingRules, TheTwoChecksGreyEachOtherOut) {
    show("[ogg]\noggvbr=1\n"); // the rules must follow every change of the next showing
    show(GetParam().ini);
    if (GetParam().click)
        get<QCheckBox>(GetParam().click)->click();
    EXPECT_EQ(std::tuple(on("ck_oggvbr"), on("ck_oggquality"), on("cb_ogg_minbit"),
                         on("cb_ogg_maxbit"), on("ud_ogg_quality"), on("edt_ogg_quality")),
              std::tuple(GetParam().vbr, GetParam().quality, GetParam().minMax, GetParam().minMax,
                         GetParam().qualityValue, GetParam().qualityValue));
    EXPECT_TRUE(on("cb_ogg_bitrate"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnablingRules,
    ::testing::Values(
        EnableCase{"", nullptr, true, true, false, false},
        EnableCase{"", "ck_oggvbr", true, false, true, false},
        EnableCase{"", "ck_oggquality", false, true, false, true},
        EnableCase{"[ogg]\noggquality=1\n", "ck_oggquality", true, true, false, false},
        // Both stored: shown as the variable bitrate the encoder then uses.
        EnableCase{"[ogg]\noggvbr=1\noggquality=1\n", nullptr, true, false, true, false}));

class ModeButtons : public SettingsDialogTest,
                    public ::testing::WithParamInterface<std::tuple<const char*, SplitMode>> {};

TEST_P(ModeButtons, SetTheModeAtOnceAndCancelKeepsIt) {
    const auto [button, mode] = GetParam();
    s.settings.splitMode = mode == SplitMode::Custom ? SplitMode::Unification : SplitMode::Custom;
    show();
    get<QRadioButton>(button)->click();
    EXPECT_EQ(s.settings.splitMode, mode);
    dialog->cancel();
    EXPECT_EQ(s.settings.splitMode, mode);
    show();
    EXPECT_TRUE(get<QRadioButton>(button)->isChecked());
    EXPECT_TRUE(readRaw().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, ModeButtons,
                         ::testing::Values(std::tuple("rb_custom", SplitMode::Custom),
                                           std::tuple("rb_time", SplitMode::Time),
                                           std::tuple("rb_count", SplitMode::Count),
                                           std::tuple("rb_unification", SplitMode::Unification)));

struct EditCase {
    const char* edit;
    const char* before;
    const char* typed; // a key's text, or nullptr to leave the edit
    const char* after;
};

class EditInput : public SettingsDialogTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(EditInput, DigitFilterAndRepairOnLeaving) {
    show("[ogg]\noggquality=1\n");
    auto* edit = get<QLineEdit>(GetParam().edit);
    edit->setText(q(GetParam().before));
    // The quality edit's keys arrive at its spin box first.
    QWidget* target = edit->parentWidget()->inherits("QSpinBox") ? edit->parentWidget() : edit;
    if (GetParam().typed) {
        const QString text = q(GetParam().typed);
        const int key = text == u"\b" ? Qt::Key_Backspace : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
    } else {
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(target, &leave);
    }
    EXPECT_EQ(edit->text(), q(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditInput,
    ::testing::Values(
        EditCase{"edt_time", "123", "a", "12"}, EditCase{"edt_time", "123", "4", "1234"},
        EditCase{"edt_time", "123", "\b", "12"}, EditCase{"edt_count", "45", " ", "4"},
        EditCase{"edt_count", "", "-", ""}, EditCase{"edt_ogg_quality", "30", "x", "3"},
        EditCase{"edt_ogg_quality", "30", "7", "307"}, EditCase{"edt_time", "", nullptr, "60"},
        EditCase{"edt_time", "-3", nullptr, "60"}, EditCase{"edt_count", "", nullptr, "1"},
        EditCase{"edt_count", "000", nullptr, "1"}, EditCase{"edt_count", "7", nullptr, "7"}));

struct RefusalCase {
    const char* name;
    const char* ini;
    const char* edit; // an edit given `text` before "Ok"
    const char* text;
    QString message;
};

class RefusedOk : public SettingsDialogTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedOk, TellsWhyKeepsTheDialogOpenAndStoresNothing) {
    show(GetParam().ini);
    const auto before = fields(s.settings);
    const QByteArray file = readRaw();
    dialog->setOutputFolderText(QStringLiteral("/elsewhere"));
    get<QCheckBox>("cb_fadein")->click();
    if (GetParam().edit)
        get<QLineEdit>(GetParam().edit)->setText(q(GetParam().text));
    EXPECT_FALSE(dialog->ok());
    EXPECT_EQ(prompt.messages, QStringList{GetParam().message});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(fields(s.settings), before);
    EXPECT_EQ(readRaw(), file);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedOk,
    ::testing::Values(
        RefusalCase{"Encoding",
                    "[ogg]\nfrequency=8\nchannel=0\nbitrate=0\nmin bitrate=0\nmax bitrate=0\n",
                    nullptr, nullptr,
                    QStringLiteral("This OGG format is not supported. \rYou have set too high "
                                   "frequency and too low bitrate or otherwise. \rPlease adjust "
                                   "the frequency or bitrate.")},
        RefusalCase{"EmptyFolder", "", "edt_dir", " ", SettingsDialog::emptyFolderText()},
        RefusalCase{"SecondsOver32Bits", "", "edt_time", "2147483648",
                    SettingsDialog::numberTooLargeText(QStringLiteral("Split every copy into"))},
        RefusalCase{"CountOver64Bits", "", "edt_count", "99999999999999999999",
                    SettingsDialog::numberTooLargeText(QStringLiteral("Averagely split into"))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, EmptyFolderPutsThePreviousOneBack) {
    show();
    dialog->setOutputFolderText(QString());
    EXPECT_FALSE(dialog->ok());
    EXPECT_EQ(get<QLineEdit>("edt_dir")->text(), oldDir);
}

TEST_F(SettingsDialogTest, OkStoresEverythingAndTheOggKeysInOrder) {
    show();
    const QString typed = QDir(dir.path()).filePath(QStringLiteral("out"));
    dialog->setOutputFolderText(typed);
    get<QLineEdit>("edt_time")->setText(QStringLiteral("90"));
    get<QLineEdit>("edt_count")->setText(QStringLiteral("3"));
    get<QCheckBox>("cb_fadeout")->click();
    get<QCheckBox>("ck_oggvbr")->click();
    const std::pair<const char*, int> choices[] = {
        {"cb_fadeintime", 2},  {"cb_fadeouttime", 6}, {"cb_ogg_channel", 0}, {"cb_ogg_fre", 4},
        {"cb_ogg_bitrate", 5}, {"cb_ogg_minbit", 3},  {"cb_ogg_maxbit", 7}};
    for (const auto& [list, index] : choices)
        get<QComboBox>(list)->setCurrentIndex(index);

    EXPECT_TRUE(dialog->ok());
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(fields(s.settings),
              std::tuple(0, typed + QDir::separator(), 90, 3, false, true, 3, 7));
    const QByteArray expected = "[Main]\nPath=" + typed.toUtf8() +
                                "\n\n[ogg]\nchannel=0\nfrequency=4\nbitrate=5\nmax bitrate=7\n"
                                "min bitrate=3\nquality=300\noggvbr=1\noggquality=0\n";
    EXPECT_EQ(readRaw().replace('\r', "").toStdString(), expected.toStdString());
}

TEST_F(SettingsDialogTest, SnapBoxShowsAndStoresTheSnapDistance) {
    s.settings.silence.snapSeconds = 2.5;
    show();
    auto* snap = get<QCheckBox>("cb_snap");
    auto* seconds = get<QDoubleSpinBox>("sb_snap");
    EXPECT_TRUE(snap->isChecked());
    EXPECT_DOUBLE_EQ(seconds->value(), 2.5);
    snap->click();
    EXPECT_FALSE(seconds->isEnabled());
    EXPECT_TRUE(dialog->ok());
    EXPECT_EQ(s.settings.silence.snapSeconds, 0.0);
    show();
    snap->click();
    seconds->setValue(1.5);
    EXPECT_TRUE(dialog->ok());
    EXPECT_EQ(s.settings.silence.snapSeconds, 1.5);
}

TEST_F(SettingsDialogTest, QualityModeSkipsTheEncoderQuestion) {
    show("[ogg]\nfrequency=8\nchannel=0\nbitrate=0\nmin bitrate=0\nmax bitrate=0\noggquality=1\n");
    EXPECT_TRUE(dialog->ok());
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(applied, 1);
}

TEST_F(SettingsDialogTest, DefaultResetsOnlyPageOggAndStoresNothing) {
    show("[ogg]\nchannel=0\nfrequency=1\nbitrate=2\nmin bitrate=3\nmax bitrate=4\n"
         "quality=900\noggquality=1\n");
    const QByteArray file = readRaw();
    get<QLineEdit>("edt_time")->setText(QStringLiteral("45"));
    get<QCheckBox>("cb_fadein")->click();
    dialog->setDefaults();
    expectOggDefaults();
    EXPECT_TRUE(on("ck_oggvbr"));
    EXPECT_FALSE(on("ud_ogg_quality"));
    EXPECT_EQ(get<QLineEdit>("edt_time")->text(), QStringLiteral("45"));
    EXPECT_TRUE(get<QCheckBox>("cb_fadein")->isChecked());
    EXPECT_EQ(readRaw(), file);
}

TEST_F(SettingsDialogTest, CancelStoresNothingAndTheNextShowingForgetsTheEdits) {
    show();
    const auto before = fields(s.settings);
    dialog->setOutputFolderText(QStringLiteral("/elsewhere"));
    get<QLineEdit>("edt_count")->setText(QStringLiteral("12"));
    get<QComboBox>("cb_ogg_fre")->setCurrentIndex(0);
    dialog->cancel();
    EXPECT_EQ(fields(s.settings), before);
    EXPECT_TRUE(readRaw().isEmpty());
    show();
    EXPECT_EQ(get<QLineEdit>("edt_dir")->text(), oldDir);
    EXPECT_EQ(get<QLineEdit>("edt_count")->text(), QStringLiteral("6"));
    EXPECT_EQ(item("cb_ogg_fre"), QStringLiteral("44100 Hz"));
}

TEST_F(SettingsDialogTest, FolderButtonFillsTheBoxUnlessCancelled) {
    show();
    prompt.folderAnswers = {QStringLiteral("/picked"), QString()};
    dialog->chooseFolder();
    dialog->chooseFolder();
    EXPECT_EQ(get<QLineEdit>("edt_dir")->text(), QStringLiteral("/picked"));
    EXPECT_EQ(s.settings.outputDir, oldDir);
}

// The settings dialog (see SettingsDialog.h).
#include "ui/SettingsDialog.h"

#include "audio/AudioFile.h"
#include "convert/NameTemplate.h"
#include "convert/OggSettings.h"
#include "convert/RunOptions.h"
#include "core/IniFile.h"
#include "core/Prompt.h"
#include "core/SessionState.h"
#include "core/Settings.h"
#include "ui/FolderDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

const QString OggSection = QStringLiteral("ogg");
constexpr int DefaultFadeSeconds = 5;
constexpr int FadeItems = 20;
constexpr int DefaultSplitSeconds = 60;
constexpr int RepairedSplitCount = 1;
// The silence split's button: no split mode of its own, as its cuts become
// Custom spans.
constexpr int SilenceButton = 100;

QDoubleSpinBox* secondsBox(const QString& name, double low, double high, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setDecimals(2);
    box->setSuffix(QStringLiteral(" s"));
    return box;
}

QComboBox* dropDown(const QString& name, const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(false);
    box->addItems(items);
    return box;
}

QStringList fadeItems() {
    QStringList items;
    for (int i = 1; i <= FadeItems; ++i)
        items << QStringLiteral("%1s").arg(i);
    return items;
}

QStringList bitrateItems() {
    QStringList items;
    for (int kbps : BitrateTable)
        items << QStringLiteral("%1 Kbps").arg(kbps);
    return items;
}

QStringList frequencyItems() {
    QStringList items;
    for (int hz : SampleRateTable)
        items << QStringLiteral("%1 Hz").arg(hz);
    return items;
}

// A hand-edited value outside the list shows the key's default, so that the
// list always has a selection and "Ok" always tests and stores a real entry.
void selectOrDefault(QComboBox* box, int index, int defaultIndex) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : defaultIndex);
}

int chosenIndex(const QComboBox* box, int defaultIndex) {
    return box->currentIndex() >= 0 ? box->currentIndex() : defaultIndex;
}

// A typed character that is neither a digit nor a control key (Backspace,
// Return, Tab and shortcuts keep their own meaning).
bool typesNonDigit(const QString& text) {
    if (text.isEmpty())
        return false;
    const char16_t first = text.at(0).unicode();
    if (first < 0x20 || first == 0x7f)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return true;
    return false;
}

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool endsWithSeparator(const QString& dir) {
    return dir.endsWith(QDir::separator()) || dir.endsWith(u'/');
}

} // namespace

SettingsDialog::SettingsDialog(SessionState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(tr("Settings"));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setFixedWidth(110);
    m_tree->addTopLevelItem(new QTreeWidgetItem(QStringList{tr("General")}));
    m_tree->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("OGG")}));
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { showPage(m_tree->indexOfTopLevelItem(current)); });

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lab"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(buildGeneralPage());
    m_pages->addWidget(buildOggPage());

    auto* okButton = new QPushButton(tr("Ok"), this);
    okButton->setObjectName(QStringLiteral("Ok"));
    okButton->setDefault(true);
    auto* defaultButton = new QPushButton(tr("Default"), this);
    defaultButton->setObjectName(QStringLiteral("Button2"));
    defaultButton->setAutoDefault(false);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("Cancel"));
    cancelButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, [this] { ok(); });
    connect(defaultButton, &QPushButton::clicked, this, &SettingsDialog::setDefaults);
    connect(cancelButton, &QPushButton::clicked, this, &SettingsDialog::cancel);

    auto* right = new QVBoxLayout;
    right->addWidget(m_title);
    right->addWidget(m_pages, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(m_tree);
    body->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(defaultButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QObject* digitsOnly :
         {static_cast<QObject*>(m_timeEdit), static_cast<QObject*>(m_countEdit),
          static_cast<QObject*>(m_qualityValue), static_cast<QObject*>(m_qualityEdit)})
        digitsOnly->installEventFilter(this);
    m_digitOnly.insert(m_timeEdit, m_timeEdit);
    m_digitOnly.insert(m_countEdit, m_countEdit);
    // Keys reach the spin box first and are handed on to its edit.
    m_digitOnly.insert(m_qualityValue, m_qualityEdit);
    m_digitOnly.insert(m_qualityEdit, m_qualityEdit);

    // Tab follows the layout, top to bottom, left to right, page by page.
    const QList<QWidget*> chain = {
        m_tree,         m_custom,
        m_unification,  m_count,
        m_countEdit,    m_time,
        m_timeEdit,     m_snap,
        m_snapSeconds,  m_silence,
        m_threshold,    m_autoThreshold,
        m_minPause,     m_minLength,
        m_maxLength,    m_keepPauses,
        m_fadeIn,       m_fadeInTime,
        m_fadeOut,      m_fadeOutTime,
        m_dirEdit,      findChild<QPushButton*>(QStringLiteral("bt_dir")),
        m_nameEdit,     m_frequency,
        m_channel,      m_bitrate,
        m_vbr,          m_quality,
        m_minBitrate,   m_maxBitrate,
        m_qualityValue, okButton,
        defaultButton,  cancelButton};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    loadControls();
}

QWidget* SettingsDialog::buildGeneralPage() {
    m_generalPage = new QGroupBox(this);
    m_generalPage->setObjectName(QStringLiteral("gb_cdgeneral"));

    auto* function = new QGroupBox(tr("Function Choice"), m_generalPage);
    function->setObjectName(QStringLiteral("gb_function"));
    m_custom = new QRadioButton(tr("Custom"), function);
    m_custom->setObjectName(QStringLiteral("rb_custom"));
    m_unification = new QRadioButton(tr("Unification"), function);
    m_unification->setObjectName(QStringLiteral("rb_unification"));
    m_count = new QRadioButton(tr("Averagely split into"), function);
    m_count->setObjectName(QStringLiteral("rb_count"));
    m_time = new QRadioButton(tr("Split every copy into "), function);
    m_time->setObjectName(QStringLiteral("rb_time"));
    m_countEdit = new QLineEdit(function);
    m_countEdit->setObjectName(QStringLiteral("edt_count"));
    m_countEdit->setMaximumWidth(70);
    m_timeEdit = new QLineEdit(function);
    m_timeEdit->setObjectName(QStringLiteral("edt_time"));
    m_timeEdit->setMaximumWidth(70);

    m_modes = new QButtonGroup(this);
    m_modes->addButton(m_custom, int(SplitMode::Custom));
    m_modes->addButton(m_time, int(SplitMode::Time));
    m_modes->addButton(m_count, int(SplitMode::Count));
    m_modes->addButton(m_unification, int(SplitMode::Unification));
    m_silence = new QRadioButton(tr("Silence"), function);
    m_silence->setObjectName(QStringLiteral("rb_silence"));
    m_modes->addButton(m_silence, SilenceButton);
    auto* silence = new QWidget(function);
    m_threshold = new QDoubleSpinBox(silence);
    m_threshold->setObjectName(QStringLiteral("sb_threshold"));
    m_threshold->setRange(-120, -1);
    m_threshold->setDecimals(1);
    m_threshold->setSuffix(QStringLiteral(" dBFS"));
    m_autoThreshold = new QCheckBox(tr("Automatic"), silence);
    m_autoThreshold->setObjectName(QStringLiteral("cb_autothreshold"));
    connect(m_autoThreshold, &QCheckBox::toggled, m_threshold, &QWidget::setDisabled);
    m_minPause = secondsBox(QStringLiteral("sb_minpause"), 0.01, 3600, silence);
    m_minLength = secondsBox(QStringLiteral("sb_minlength"), 0, 86400, silence);
    m_maxLength = secondsBox(QStringLiteral("sb_maxlength"), 0, 86400, silence);
    m_maxLength->setSpecialValueText(tr("none"));
    m_minLength->setSpecialValueText(tr("none"));
    m_keepPauses = new QCheckBox(tr("Keep the pauses in the pieces"), silence);
    m_keepPauses->setObjectName(QStringLiteral("cb_keeppauses"));
    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(m_threshold);
    thresholdRow->addWidget(m_autoThreshold);
    auto* silenceForm = new QFormLayout(silence);
    silenceForm->setContentsMargins(20, 0, 0, 0);
    silenceForm->addRow(tr("Quieter than: "), thresholdRow);
    silenceForm->addRow(tr("Pause at least: "), m_minPause);
    silenceForm->addRow(tr("Pieces at least: "), m_minLength);
    silenceForm->addRow(tr("Pieces at most: "), m_maxLength);
    silenceForm->addRow(m_keepPauses);
    // A row of several controls gets no buddy of its own: the box is the one.
    if (auto* label = qobject_cast<QLabel*>(silenceForm->labelForField(thresholdRow)))
        label->setBuddy(m_threshold);
    // A click changes the mode at once; "Cancel" does not take it back.
    connect(m_modes, &QButtonGroup::idClicked, this, &SettingsDialog::setSplitMode);

    auto* functionGrid = new QGridLayout(function);
    functionGrid->addWidget(m_custom, 0, 0, 1, 3);
    functionGrid->addWidget(m_unification, 1, 0, 1, 3);
    functionGrid->addWidget(m_count, 2, 0);
    functionGrid->addWidget(m_countEdit, 2, 1);
    auto* countUnit = new QLabel(tr("copy. "), function);
    countUnit->setBuddy(m_countEdit);
    functionGrid->addWidget(countUnit, 2, 2);
    functionGrid->addWidget(m_time, 3, 0);
    functionGrid->addWidget(m_timeEdit, 3, 1);
    auto* timeUnit = new QLabel(tr("Second"), function);
    timeUnit->setBuddy(m_timeEdit);
    functionGrid->addWidget(timeUnit, 3, 2);
    // Time and Count cuts moved to a pause nearby; the box keeps its value while off.
    auto* snap = new QWidget(function);
    m_snap = new QCheckBox(tr("move each cut to the quietest moment within ±"), snap);
    m_snap->setObjectName(QStringLiteral("cb_snap"));
    m_snapSeconds = secondsBox(QStringLiteral("sb_snap"), 0.01, 3600, snap);
    m_snapSeconds->setSuffix(tr(" seconds"));
    connect(m_snap, &QCheckBox::toggled, m_snapSeconds, &QWidget::setEnabled);
    auto* snapRow = new QHBoxLayout(snap);
    snapRow->setContentsMargins(20, 0, 0, 0);
    snapRow->addWidget(m_snap);
    snapRow->addWidget(m_snapSeconds);
    snapRow->addStretch(1);
    functionGrid->addWidget(snap, 4, 0, 1, 4);
    functionGrid->addWidget(m_silence, 5, 0, 1, 3);
    functionGrid->addWidget(silence, 6, 0, 1, 4);
    functionGrid->setColumnStretch(3, 1);

    auto* fade = m_fadeBox = new QGroupBox(tr("Fade Settings"), m_generalPage);
    fade->setObjectName(QStringLiteral("gb_fade"));
    m_fadeIn = new QCheckBox(tr("IN "), fade);
    m_fadeIn->setObjectName(QStringLiteral("cb_fadein"));
    m_fadeInTime = dropDown(QStringLiteral("cb_fadeintime"), fadeItems(), fade);
    m_fadeOut = new QCheckBox(tr("Out "), fade);
    m_fadeOut->setObjectName(QStringLiteral("cb_fadeout"));
    m_fadeOutTime = dropDown(QStringLiteral("cb_fadeouttime"), fadeItems(), fade);
    auto* fadeGrid = new QGridLayout(fade);
    fadeGrid->addWidget(m_fadeIn, 0, 0);
    fadeGrid->addWidget(m_fadeInTime, 0, 1);
    fadeGrid->addWidget(m_fadeOut, 0, 3);
    fadeGrid->addWidget(m_fadeOutTime, 0, 4);
    fadeGrid->setColumnMinimumWidth(2, 16);
    fadeGrid->setColumnStretch(5, 1);

    auto* path = new QGroupBox(tr("Output Path:"), m_generalPage);
    path->setObjectName(QStringLiteral("gb_path"));
    m_dirEdit = new QLineEdit(path);
    m_dirEdit->setObjectName(QStringLiteral("edt_dir"));
    m_dirEdit->setMinimumWidth(260);
    auto* dirButton = new QPushButton(QStringLiteral("..."), path);
    dirButton->setObjectName(QStringLiteral("bt_dir"));
    dirButton->setAutoDefault(false);
    dirButton->setFixedWidth(32);
    connect(dirButton, &QPushButton::clicked, this, &SettingsDialog::chooseFolder);
    auto* pathRow = new QHBoxLayout(path);
    pathRow->addWidget(m_dirEdit, 1);
    pathRow->addWidget(dirButton);

    m_fadeNote = new QLabel(noReencodingNote(), m_generalPage);
    m_fadeNote->setObjectName(QStringLiteral("lab_fade_note"));
    m_fadeNote->setWordWrap(true);

    auto* names = new QGroupBox(tr("Piece Names:"), m_generalPage);
    names->setObjectName(QStringLiteral("gb_names"));
    m_nameEdit = new QLineEdit(names);
    m_nameEdit->setObjectName(QStringLiteral("edt_name"));
    m_nameEdit->setPlaceholderText(QStringLiteral("{n} - {title}"));
    m_nameEdit->setToolTip(tr("Empty: the source's name, numbered. Fields: {source}, {n}, {title}, "
                              "{artist}, {album}, {start}; \".ogg\" is appended."));
    auto* namesRow = new QHBoxLayout(names);
    namesRow->addWidget(m_nameEdit, 1);

    auto* page = new QVBoxLayout(m_generalPage);
    page->addWidget(function);
    page->addWidget(fade);
    page->addWidget(m_fadeNote);
    page->addWidget(path);
    page->addWidget(names);
    page->addStretch(1);
    return m_generalPage;
}

QWidget* SettingsDialog::buildOggPage() {
    m_oggPage = new QGroupBox(this);
    m_oggPage->setObjectName(QStringLiteral("gb_ogg"));

    auto* general = m_encodingBox = new QGroupBox(tr("General"), m_oggPage);
    general->setObjectName(QStringLiteral("gb_ogg_general"));
    m_frequency = dropDown(QStringLiteral("cb_ogg_fre"), frequencyItems(), general);
    m_channel = dropDown(QStringLiteral("cb_ogg_channel"), {tr("Mono"), tr("Stereo")}, general);
    m_bitrate = dropDown(QStringLiteral("cb_ogg_bitrate"), bitrateItems(), general);
    m_vbr = new QCheckBox(QStringLiteral("VBR"), general);
    m_vbr->setObjectName(QStringLiteral("ck_oggvbr"));
    m_quality = new QCheckBox(tr("Quality"), general);
    m_quality->setObjectName(QStringLiteral("ck_oggquality"));
    connect(m_vbr, &QCheckBox::toggled, this, &SettingsDialog::vbrRule);
    connect(m_quality, &QCheckBox::toggled, this, &SettingsDialog::qualityRule);
    auto* checks = new QHBoxLayout;
    checks->addWidget(m_vbr);
    checks->addWidget(m_quality);
    checks->addStretch(1);
    auto* generalForm = new QFormLayout(general);
    generalForm->addRow(tr("Frequency: "), m_frequency);
    generalForm->addRow(tr("Channel: "), m_channel);
    generalForm->addRow(tr("Bitrate: "), m_bitrate);
    generalForm->addRow(checks);
    m_encodingForm = generalForm;

    auto* variable = m_variableBox = new QGroupBox(tr("VBR/Quality:"), m_oggPage);
    variable->setObjectName(QStringLiteral("gb_ogg_vbr"));
    m_minBitrate = dropDown(QStringLiteral("cb_ogg_minbit"), bitrateItems(), variable);
    m_maxBitrate = dropDown(QStringLiteral("cb_ogg_maxbit"), bitrateItems(), variable);
    // The quality edit and its up-down are one control here: the spin box
    // holds the position, its edit the typed text.
    m_qualityValue = new QSpinBox(variable);
    m_qualityValue->setObjectName(QStringLiteral("ud_ogg_quality"));
    m_qualityValue->setRange(0, 1000);
    m_qualityValue->setWrapping(false);
    m_qualityEdit = m_qualityValue->findChild<QLineEdit*>();
    m_qualityEdit->setObjectName(QStringLiteral("edt_ogg_quality"));
    m_qualityEdit->setMaxLength(5);
    auto* variableForm = new QFormLayout(variable);
    variableForm->addRow(tr("Min Bitrate: "), m_minBitrate);
    variableForm->addRow(tr("Max Bitrate: "), m_maxBitrate);
    variableForm->addRow(tr("Quality: "), m_qualityValue);

    // FLAC keeps the source's rate and channels; only its effort is chosen.
    auto* flac = m_flacBox = new QGroupBox(QStringLiteral("FLAC"), m_oggPage);
    flac->setObjectName(QStringLiteral("gb_flac"));
    QStringList levels;
    for (int level = 0; level <= 8; ++level)
        levels << QString::number(level);
    m_flacLevel = dropDown(QStringLiteral("cb_flac_level"), levels, flac);
    auto* flacForm = new QFormLayout(flac);
    flacForm->addRow(tr("Compression level: "), m_flacLevel);

    m_encodingNote = new QLabel(noReencodingNote(), m_oggPage);
    m_encodingNote->setObjectName(QStringLiteral("lab_ogg_note"));
    m_encodingNote->setWordWrap(true);

    auto* page = new QVBoxLayout(m_oggPage);
    page->addWidget(general);
    page->addWidget(variable);
    page->addWidget(flac);
    page->addWidget(m_encodingNote);
    page->addStretch(1);
    return m_oggPage;
}

void SettingsDialog::setFolderDialog(FolderDialog* picker) {
    m_picker = picker;
}

void SettingsDialog::loadControls() {
    const CachedSettings& c = s.settings;
    checkModeButton(c.silence.chosen && c.splitMode == SplitMode::Custom ? SilenceButton
                                                                         : int(c.splitMode));
    m_threshold->setValue(c.silence.thresholdDb);
    m_autoThreshold->setChecked(c.silence.autoThreshold);
    m_threshold->setDisabled(c.silence.autoThreshold);
    m_minPause->setValue(c.silence.minPause);
    m_minLength->setValue(c.silence.minLength);
    m_maxLength->setValue(c.silence.maxLength);
    m_keepPauses->setChecked(c.silence.keepPauses);
    m_snap->setChecked(c.silence.snapSeconds > 0);
    m_snapSeconds->setEnabled(c.silence.snapSeconds > 0);
    if (c.silence.snapSeconds > 0)
        m_snapSeconds->setValue(c.silence.snapSeconds);
    else if (m_snapSeconds->value() <= m_snapSeconds->minimum())
        m_snapSeconds->setValue(2.0);
    m_dirEdit->setText(c.outputDir);
    m_nameEdit->setText(c.nameTemplate);
    m_timeEdit->setText(QString::number(c.splitSeconds));
    m_countEdit->setText(QString::number(c.splitCount));

    m_fadeIn->setChecked(c.fadeIn);
    m_fadeOut->setChecked(c.fadeOut);
    selectOrDefault(m_fadeInTime, c.fadeInSeconds - 1, DefaultFadeSeconds - 1);
    selectOrDefault(m_fadeOutTime, c.fadeOutSeconds - 1, DefaultFadeSeconds - 1);

    const OggKeys defaults;
    const OggKeys k = OggKeys::read(s.ini.get());
    selectOrDefault(m_channel, k.channel, defaults.channel);
    selectOrDefault(m_frequency, k.frequency, defaults.frequency);
    selectOrDefault(m_bitrate, k.bitrate, defaults.bitrate);
    selectOrDefault(m_maxBitrate, k.maxBitrate, defaults.maxBitrate);
    selectOrDefault(m_minBitrate, k.minBitrate, defaults.minBitrate);
    // The encoder reads the key as a 16-bit value held to 0..1000; show the same.
    m_qualityValue->setValue(static_cast<std::int16_t>(k.quality));
    // Both keys set (a hand-edited file) would grey out both boxes for good;
    // the encoder then uses the variable bitrate, so that is what is shown.
    m_vbr->setChecked(k.vbr);
    m_quality->setChecked(k.byQuality && !k.vbr);
    m_flacLevel->setCurrentIndex(flacCompressionOf(s.ini.get()));
    vbrRule();
    qualityRule();
    formatRule();

    if (!m_tree->currentItem())
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    showPage(m_tree->indexOfTopLevelItem(m_tree->currentItem()));
}

void SettingsDialog::showPage(int index) {
    if (index == 0) {
        m_pages->setCurrentWidget(m_generalPage);
        m_title->setText(tr("Set General"));
    } else if (index == 1) {
        m_pages->setCurrentWidget(m_oggPage);
        m_title->setText(tr("Set OGG Format"));
    }
}

int SettingsDialog::currentPage() const {
    return m_pages->currentIndex();
}

QString SettingsDialog::unsupportedFormatText() {
    return tr("This OGG format is not supported. \rYou have set too high frequency and "
              "too low bitrate or otherwise. \rPlease adjust the frequency or bitrate.");
}

QString SettingsDialog::noReencodingNote() {
    return tr("OGG (no re-encoding) cuts the source's own packets: fades and "
              "encoding settings do not apply to it.");
}

QString SettingsDialog::emptyFolderText() {
    return tr("Please enter an output folder. The previous folder is kept.");
}

QString SettingsDialog::numberTooLargeText(const QString& field) {
    return tr("Please enter a whole number from 1 to 2147483647 for \"%1\".").arg(field);
}

bool SettingsDialog::ok() {
    // Clicking "Ok" leaves the edit that had the focus first; Return and calls
    // from code get the same repair.
    repairNumber(m_timeEdit);
    repairNumber(m_countEdit);
    m_qualityValue->interpretText();

    const OggKeys defaults;
    OggKeys k;
    k.channel = chosenIndex(m_channel, defaults.channel);
    k.frequency = chosenIndex(m_frequency, defaults.frequency);
    k.bitrate = chosenIndex(m_bitrate, defaults.bitrate);
    k.maxBitrate = chosenIndex(m_maxBitrate, defaults.maxBitrate);
    k.minBitrate = chosenIndex(m_minBitrate, defaults.minBitrate);
    k.quality = m_qualityValue->value();
    k.vbr = m_vbr->isChecked();
    k.byQuality = m_quality->isChecked();

    const auto tell = [this](const QString& text) {
        if (s.prompt)
            s.prompt->information(text);
    };

    // The encoder is asked about all three bitrates, VBR or not, where Ogg
    // Vorbis is what is written.
    const bool vorbis =
        s.formatIndex != int(OutputFormat::Flac) && s.formatIndex != int(OutputFormat::Opus);
    if (vorbis && !k.byQuality &&
        !AudioFile::checkEncoding(
            {SampleRateTable[size_t(k.frequency)], k.channel + 1, BitrateTable[size_t(k.bitrate)],
             BitrateTable[size_t(k.minBitrate)], BitrateTable[size_t(k.maxBitrate)], -1})) {
        tell(unsupportedFormatText());
        return false;
    }

    // Every refusal comes before the first value is stored, so a refused "Ok"
    // leaves the settings as they were.
    const QString typedDir = m_dirEdit->text();
    if (typedDir.trimmed().isEmpty()) {
        tell(emptyFolderText());
        m_dirEdit->setText(s.settings.outputDir);
        m_dirEdit->setFocus();
        return false;
    }
    const std::optional<int> seconds = wholeNumber(m_timeEdit->text());
    const std::optional<int> count = wholeNumber(m_countEdit->text());
    if (!seconds || !count) {
        tell(numberTooLargeText(!seconds ? m_time->text().trimmed() : m_count->text().trimmed()));
        (!seconds ? m_timeEdit : m_countEdit)->setFocus();
        return false;
    }

    const QString nameProblem = NameTemplate::problem(m_nameEdit->text());
    if (!nameProblem.isEmpty()) {
        tell(nameProblem);
        m_nameEdit->setFocus();
        return false;
    }

    CachedSettings& c = s.settings;
    try {
        c.nameTemplate = m_nameEdit->text();
        c.outputDir = endsWithSeparator(typedDir) ? typedDir : typedDir + QDir::separator();
        c.splitSeconds = *seconds;
        c.splitCount = *count;
        if (s.ini)
            s.ini->writeString(QStringLiteral("Main"), QStringLiteral("Path"), typedDir);
        c.silence.thresholdDb = m_threshold->value();
        c.silence.autoThreshold = m_autoThreshold->isChecked();
        c.silence.minPause = m_minPause->value();
        c.silence.minLength = m_minLength->value();
        // A maximum below the minimum could not hold; the maximum wins then.
        c.silence.maxLength = m_maxLength->value();
        c.silence.keepPauses = m_keepPauses->isChecked();
        c.silence.snapSeconds = m_snap->isChecked() ? m_snapSeconds->value() : 0.0;
        c.fadeIn = m_fadeIn->isChecked();
        c.fadeOut = m_fadeOut->isChecked();
        c.fadeInSeconds = chosenIndex(m_fadeInTime, DefaultFadeSeconds - 1) + 1;
        c.fadeOutSeconds = chosenIndex(m_fadeOutTime, DefaultFadeSeconds - 1) + 1;
        if (s.ini) {
            IniFile& ini = *s.ini;
            ini.writeInteger(OggSection, QStringLiteral("channel"), k.channel);
            ini.writeInteger(OggSection, QStringLiteral("frequency"), k.frequency);
            ini.writeInteger(OggSection, QStringLiteral("bitrate"), k.bitrate);
            ini.writeInteger(OggSection, QStringLiteral("max bitrate"), k.maxBitrate);
            ini.writeInteger(OggSection, QStringLiteral("min bitrate"), k.minBitrate);
            ini.writeInteger(OggSection, QStringLiteral("quality"), k.quality);
            ini.writeBool(OggSection, QStringLiteral("oggvbr"), k.vbr);
            ini.writeBool(OggSection, QStringLiteral("oggquality"), k.byQuality);
            // Written once it differs from the default, so a classic file gains no key.
            const QString absent = QStringLiteral("\n");
            const int level = std::max(0, m_flacLevel->currentIndex());
            if (level != 5 || ini.readString(QStringLiteral("flac"), QStringLiteral("compression"),
                                             absent) != absent)
                ini.writeInteger(QStringLiteral("flac"), QStringLiteral("compression"), level);
        }
    } catch (const IniWriteError& e) {
        tell(e.message());
        return false;
    }

    emit settingsApplied();
    accept();
    if (c.silence.chosen && c.splitMode == SplitMode::Custom)
        emit silencePlanRequested();
    return true;
}

void SettingsDialog::setDefaults() {
    const OggKeys defaults;
    m_channel->setCurrentIndex(defaults.channel);
    m_frequency->setCurrentIndex(defaults.frequency);
    m_bitrate->setCurrentIndex(defaults.bitrate);
    m_minBitrate->setCurrentIndex(defaults.minBitrate);
    m_maxBitrate->setCurrentIndex(defaults.maxBitrate);
    m_qualityValue->setValue(defaults.quality);
    m_vbr->setChecked(defaults.vbr);
    m_quality->setChecked(defaults.byQuality);
    m_flacLevel->setCurrentIndex(5);
    vbrRule();
    qualityRule();
}

void SettingsDialog::cancel() {
    reject();
}

void SettingsDialog::chooseFolder() {
    const QString chosen = m_picker
                               ? m_picker->choose(tr("Output Directory"))
                               : (s.prompt ? s.prompt->pickFolder(m_dirEdit->text()) : QString());
    if (!chosen.isEmpty())
        setOutputFolderText(chosen);
}

void SettingsDialog::setOutputFolderText(const QString& path) {
    m_dirEdit->setText(path);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    // A window coming back from the task bar keeps what the user has typed.
    if (!event->spontaneous())
        loadControls();
    QDialog::showEvent(event);
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        QLineEdit* edit = m_digitOnly.value(watched);
        // As the classic edits did: the character is turned into a Backspace.
        if (edit && typesNonDigit(static_cast<QKeyEvent*>(event)->text())) {
            edit->backspace();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut &&
               (watched == m_timeEdit || watched == m_countEdit)) {
        repairNumber(static_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::setSplitMode(int mode) {
    s.settings.silence.chosen = mode == SilenceButton;
    s.settings.splitMode = mode == SilenceButton ? SplitMode::Custom : SplitMode(mode);
}

void SettingsDialog::checkModeButton(int mode) {
    if (QAbstractButton* button = m_modes->button(mode)) {
        button->setChecked(true);
        return;
    }
    // A mode the file holds but no button stands for: none is checked.
    m_modes->setExclusive(false);
    for (QAbstractButton* b : m_modes->buttons())
        b->setChecked(false);
    m_modes->setExclusive(true);
}

void SettingsDialog::vbrRule() {
    const bool vbr = m_vbr->isChecked();
    m_quality->setEnabled(!vbr);
    m_minBitrate->setEnabled(vbr);
    m_maxBitrate->setEnabled(vbr);
}

void SettingsDialog::qualityRule() {
    const bool byQuality = m_quality->isChecked();
    m_vbr->setEnabled(!byQuality);
    m_qualityValue->setEnabled(byQuality);
    m_qualityEdit->setEnabled(byQuality);
}

void SettingsDialog::formatRule() {
    const bool copy = s.formatIndex == int(OutputFormat::OggCopy);
    // The values stay as stored: "OGG" and joins still use them.
    for (QWidget* control : {static_cast<QWidget*>(m_fadeBox), static_cast<QWidget*>(m_encodingBox),
                             static_cast<QWidget*>(m_variableBox)})
        control->setEnabled(!copy);
    m_fadeNote->setVisible(copy);
    m_encodingNote->setVisible(copy);
    // Each format shows what applies to it: Vorbis everything, Opus its
    // bitrate, FLAC its compression level.
    const bool flac = s.formatIndex == int(OutputFormat::Flac);
    const bool opus = s.formatIndex == int(OutputFormat::Opus);
    const bool vorbis = !flac && !opus;
    m_encodingBox->setVisible(!flac);
    m_encodingForm->setRowVisible(m_frequency, vorbis);
    m_encodingForm->setRowVisible(m_channel, vorbis);
    m_vbr->setVisible(vorbis);
    m_quality->setVisible(vorbis);
    m_variableBox->setVisible(vorbis);
    m_flacBox->setVisible(flac);
}

void SettingsDialog::repairNumber(QLineEdit* edit) {
    const QString text = edit->text().trimmed();
    bool isNumber = false;
    const qlonglong value = text.toLongLong(&isNumber);
    // A number too large even for this test is left for "Ok" to refuse.
    if (text.isEmpty() || (isNumber && value < 1))
        edit->setText(
            QString::number(edit == m_timeEdit ? DefaultSplitSeconds : RepairedSplitCount));
}

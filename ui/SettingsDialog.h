// The settings dialog settingsDialog: split mode, output folder, fades and the Ogg
// Vorbis, Opus and FLAC encodings. Created once at start-up; every showing refills it.
#pragma once

#include <QDialog>
#include <QHash>

class FolderDialog;
class SessionState;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;

class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SettingsDialog(SessionState& state, QWidget* parent = nullptr);

    // The picker that "..." opens; without one the Prompt's folder dialog is used.
    void setFolderDialog(FolderDialog* picker);

    // Fills every control from the cached settings and the settings file's
    // "ogg" keys; runs on each showing.
    void loadControls();
    // 0 "General", 1 "OGG"; any other index changes nothing.
    void showPage(int index);
    int currentPage() const;

    // The buttons. ok() stores and closes, or tells why not and stays open.
    bool ok();
    void setDefaults();
    void cancel();
    void chooseFolder();

    // The texts shown when "Ok" refuses.
    static QString unsupportedFormatText();
    static QString emptyFolderText();
    static QString numberTooLargeText(const QString& field);
    // The note beside fades and encoding when the cut without re-encoding is chosen.
    static QString noReencodingNote();

  public slots:
    void setOutputFolderText(const QString& path);

  signals:
    // "Ok" stored new settings: the selected file is to be planned again.
    void settingsApplied();
    // "Ok" applied the silence split: the listed files are to be scanned and
    // their cuts made Custom spans, for the user to check before splitting.
    void silencePlanRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* buildGeneralPage();
    QWidget* buildOggPage();
    void setSplitMode(int mode);
    void checkModeButton(int mode);
    void vbrRule();
    void qualityRule();
    void repairNumber(QLineEdit* edit);
    // With "OGG (no re-encoding)" chosen, fades and encoding do not apply:
    // their controls are disabled and a note says why. "FLAC" and "OPUS"
    // show only the options that apply to them.
    void formatRule();

    SessionState& s;
    FolderDialog* m_picker = nullptr;

    QTreeWidget* m_tree = nullptr;
    QLabel* m_title = nullptr;
    QStackedWidget* m_pages = nullptr;
    QGroupBox* m_generalPage = nullptr;
    QGroupBox* m_oggPage = nullptr;

    QButtonGroup* m_modes = nullptr;
    QRadioButton* m_custom = nullptr;
    QRadioButton* m_unification = nullptr;
    QRadioButton* m_count = nullptr;
    QRadioButton* m_time = nullptr;
    QRadioButton* m_silence = nullptr;
    class QDoubleSpinBox* m_threshold = nullptr;
    QCheckBox* m_autoThreshold = nullptr;
    class QDoubleSpinBox* m_minPause = nullptr;
    class QDoubleSpinBox* m_minLength = nullptr;
    class QDoubleSpinBox* m_maxLength = nullptr;
    QCheckBox* m_keepPauses = nullptr;
    QCheckBox* m_snap = nullptr; // Time and Count cuts snapped to a quiet moment
    class QDoubleSpinBox* m_snapSeconds = nullptr;
    QLineEdit* m_countEdit = nullptr;
    QLineEdit* m_timeEdit = nullptr;
    QCheckBox* m_fadeIn = nullptr;
    QCheckBox* m_fadeOut = nullptr;
    QComboBox* m_fadeInTime = nullptr;
    QComboBox* m_fadeOutTime = nullptr;
    QLineEdit* m_dirEdit = nullptr;
    QGroupBox* m_fadeBox = nullptr;
    QLabel* m_fadeNote = nullptr;
    QGroupBox* m_encodingBox = nullptr;
    QGroupBox* m_variableBox = nullptr;
    class QFormLayout* m_encodingForm = nullptr;
    QGroupBox* m_flacBox = nullptr;
    QComboBox* m_flacLevel = nullptr;
    QLabel* m_encodingNote = nullptr;
    QLineEdit* m_nameEdit = nullptr; // the pieces' name template

    QComboBox* m_frequency = nullptr;
    QComboBox* m_channel = nullptr;
    QComboBox* m_bitrate = nullptr;
    QCheckBox* m_vbr = nullptr;
    QCheckBox* m_quality = nullptr;
    QComboBox* m_minBitrate = nullptr;
    QComboBox* m_maxBitrate = nullptr;
    QSpinBox* m_qualityValue = nullptr;
    QLineEdit* m_qualityEdit = nullptr;

    // Edits that take digits only, each with the line edit that loses a
    // character when anything else is typed.
    QHash<QObject*, QLineEdit*> m_digitOnly;
};

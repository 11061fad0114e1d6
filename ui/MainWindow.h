// The main window fm_main: the skin with its buttons, slider and texts, the
// file and span lists over it, the instructions panel, the format box and the
// four pop-up menus; its first show, its close and the routing of commands.
#pragma once

#include "commands/Session.h"
#include "skin/SkinEngine.h"
#include "skin/SkinSetup.h"

#include <QPointer>
#include <QWidget>
#include <exception>
#include <memory>

class QComboBox;
class QDialog;
class QMenu;
class QPlainTextEdit;
class QTableView;
class SkinObject;
class SkinView;
class WaveformWindow;
class WidgetPrompt;

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    // Works on `session`, which outlives the window. Uses the session's prompt
    // when it has one (tests), otherwise real dialogs.
    explicit MainWindow(Session& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The dialogs created after the window; the commands open them.
    // Files and folders from outside (command line, another start, a drop)
    // added as the open dialog and Add Folder add them; the window comes up.
    void addPaths(const QStringList& paths);

    // After the settings dialog's "Ok": the selected file planned anew, or
    // once the run under way has ended.
    void replanSelectedFile();
    void setDialogs(QDialog* settingsDialog, QWidget* folderDialog, QWidget* aboutDialog,
                    QDialog* tagDialog);
    // The skin description read at the first show (the shipped one by default).
    void setSkinPath(const QString& path) { m_skinPath = path; }

    // The show sequence: settings, skin, list places, components, run state.
    // Runs once; throws what the skin set-up throws (SkinError).
    void prepareFirstShow();
    // The close sequence; false keeps the window open (settings not written).
    bool canClose();
    // The program's error display for a failure nobody else handled.
    void reportError(const std::exception& error);

    Session& session() { return m_session; }
    JobList& jobList() { return m_session.jobs(); }
    CommandTable& commands() { return m_session.commands(); }
    Conversion& conversion() { return m_session.conversion(); }
    SessionState& state() { return s; }
    SkinEngine& skinEngine() { return m_engine; }
    const SkinParts& skinParts() const { return m_skin; }

    // Controls, named as the rest of the program knows them.
    SkinView* skinView() const { return m_skinView; }
    QTableView* fileView() const { return m_fileView; } // object name "lv"
    QTableView* spanView() const { return m_spanView; } // object name "lv_time"
    QPlainTextEdit* instructions() const { return m_instructions; }
    QComboBox* formatBox() const { return m_formatBox; }
    QMenu* fileListMenu() const { return m_fileListMenu; }
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* actionMenu() const { return m_actionMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    // The waveform window of the selected file ("Waveform…", a double click
    // on its row); null until first opened.
    void openWaveform();
    WaveformWindow* waveformWindow() const;

    // The lines of the instructions panel.
    static QStringList instructionLines();

  signals:
    // The close was allowed; the program ends its event loop on it.
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createLists();
    void createInstructions();
    void createMenus();
    // The common commands' keys, shown beside their items in every menu.
    void addShortcuts();
    // Tab follows the face: each control comes before the first skin object
    // that lies wholly below it.
    void orderTabs();
    // The commands that only a window can carry out: menus, dialogs, closing.
    void fillWindowHooks();
    void connectSession();
    void applyListColumns();
    void popupMenu(const QString& name);
    void showModal(QDialog* dialog);
    template <typename F> void guarded(F&& f);

    void fitNameColumn();
    // The instructions' font: Arial italic, narrowed or smaller where the face
    // in use would not show every line whole.
    void fitInstructions();
    // The path label during a run: the source the run works on.
    void showConvertedSource();
    void setSkinText(SkinObject* object, const QString& text);
    // Draws the bar "convertpb" for a value of 0 to 10000 (10000 draws as 0).
    void drawConversionProgress(int value);

    Session& m_session;
    SessionState& s;
    JobList& m_jobs;
    CommandTable& m_commands;
    std::unique_ptr<WidgetPrompt> m_ownPrompt;
    SkinEngine m_engine;
    SkinView* m_skinView = nullptr;
    QTableView* m_fileView = nullptr;
    QTableView* m_spanView = nullptr;
    QPlainTextEdit* m_instructions = nullptr;
    QComboBox* m_formatBox = nullptr;
    QMenu* m_fileListMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_actionMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QString m_skinPath;
    SkinParts m_skin;
    bool m_formShown = false;
    bool m_settingsLoaded = false;

    QPointer<QDialog> m_settingsDialog;
    QPointer<QWidget> m_folderDialog;
    QPointer<QWidget> m_aboutDialog;
    QPointer<QDialog> m_tagDialog;
    QPointer<WaveformWindow> m_waveform;
};

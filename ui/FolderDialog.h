// The folder picker folderDialog: a tree of the folders under the file system's root
// and the user's home, "New Folder", "Ok" and "Cancel". Used for the output
// folder of the settings dialog and for Add Folder. Created once at start-up;
// the tree keeps its expansion and selection between showings.
#pragma once

#include <QDialog>

class SessionState;
class QFileSystemModel;
class QTreeView;

class FolderDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FolderDialog(SessionState& state, QWidget* parent = nullptr);

    // Shows the picker modally with `caption` ("Output Directory", "Add File
    // Directory"); the chosen folder after "Ok", empty after "Cancel".
    QString choose(const QString& caption);

    // The path of the selected folder; empty when none is selected.
    QString selectedFolder() const;
    void selectFolder(const QString& path);

    void ok();
    void cancel();
    void newFolder();

  signals:
    // "Ok" chose this folder (also written under "Output"/"Dir" at once).
    void folderChosen(const QString& path);

  private:
    SessionState& s;
    QFileSystemModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QString m_result;
};

// The folder picker of the settings dialog.
// Created once at start-up and hidden until used.
#pragma once

#include <QDialog>

class MainState;

class FolderDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FolderDialog(MainState& state, QWidget* parent = nullptr);

  private:
    MainState& s;
};

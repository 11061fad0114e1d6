// The settings dialog: split mode, output folder, fades and the Ogg Vorbis encoding.
// Created once at start-up and hidden until used.
#pragma once

#include <QDialog>

class MainState;

class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SettingsDialog(MainState& state, QWidget* parent = nullptr);

  private:
    MainState& s;
};

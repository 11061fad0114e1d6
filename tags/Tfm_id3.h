// The tag edit dialog: title, artist, album, year, comment and genre of the
// listed files. Created once at start-up and hidden until used.
#pragma once

#include <QDialog>

class MainState;

class Tfm_id3 : public QDialog {
    Q_OBJECT
  public:
    explicit Tfm_id3(MainState& state, QWidget* parent = nullptr);

  private:
    MainState& s;
};

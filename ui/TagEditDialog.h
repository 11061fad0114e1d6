// The tag edit dialog: title, artist, album, year, comment and genre of the
// listed files. Created once at start-up and hidden until used.
#pragma once

#include <QDialog>

class MainState;

class TagEditDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TagEditDialog(MainState& state, QWidget* parent = nullptr);

  private:
    MainState& s;
};

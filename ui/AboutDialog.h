// The about dialog: product name, version, what the tool does and where to
// reach its makers. Shown without being modal.
#pragma once

#include <QDialog>

class MainState;
class QGroupBox;
class QLabel;

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    // The main window shows it at its corner (placeAtWindowCorner).
    explicit AboutDialog(MainState& state, QWidget* mainWindow = nullptr);

    QGroupBox* pn_about = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label45 = nullptr;
    QLabel* Label46 = nullptr;
    QLabel* Label47 = nullptr;
    QLabel* Label48 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label49 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label50 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

    void Label6Click();
    void Label2Click();
    void Label3Click();

  private:
    MainState& s;
};

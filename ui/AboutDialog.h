// The about dialog: product name, version, what the tool does and where to
// reach its makers. Shown without being modal.
#pragma once

#include <QDialog>

class SessionState;
class QLabel;

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    // The main window shows it at its corner (placeAtWindowCorner).
    explicit AboutDialog(SessionState& state, QWidget* mainWindow = nullptr);

    // The version as shown.
    QString versionText() const;

    // The three links' clicks: the web site and the two mail addresses.
    void openWebsite();
    void mailSales();
    void mailSupport();

  private:
    SessionState& m_state;
    QLabel* m_version = nullptr; // what versionText() reads
};

// The about dialog: product name, version, what the tool does and where to
// reach its makers. Shown without being modal.
#pragma once

#include <QDialog>

class SessionState;
class QGroupBox;
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
    QGroupBox* m_panel = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_productName = nullptr;
    QLabel* m_versionCaption = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_cutCaption = nullptr;
    QLabel* m_joinCaption = nullptr;
    QLabel* m_websiteCaption = nullptr;
    QLabel* m_website = nullptr;
    QLabel* m_mailCaption = nullptr;
    QLabel* m_salesMail = nullptr;
    QLabel* m_supportMail = nullptr;
};

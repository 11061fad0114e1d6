// The about dialog (see AboutDialog.h).
#include "ui/AboutDialog.h"

#include "core/AppInfo.h"
#include "core/Prompt.h"
#include "core/SessionState.h"
#include "ui/SkinIcons.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* link(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Drawn as a link, but the click goes through the Prompt like every other
    // desktop opening, so that tests never start a browser.
    label->setText(
        QStringLiteral("<a href=\"#\" style=\"color:#0000ff; text-decoration:underline\">%1</a>")
            .arg(text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

AboutDialog::AboutDialog(SessionState& state, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_state(state) {
    setObjectName(QStringLiteral("fm_about"));
    setWindowTitle(QStringLiteral("fm_about"));
    setModal(false);

    m_panel = new QGroupBox(this);
    m_panel->setObjectName(QStringLiteral("pn_about"));

    m_icon = new QLabel(m_panel);
    m_icon->setObjectName(QStringLiteral("Image1"));
    m_icon->setFixedSize(36, 36);
    m_icon->setPixmap(skinIcon(QStringLiteral("wave"), QColor(0x25, 0x63, 0xeb))
                          .pixmap(QSize(36, 36), devicePixelRatio()));

    m_productName = new QLabel(AppInfo::productName(), m_panel);
    QFont bold = m_productName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_productName->setFont(bold);
    m_versionCaption = new QLabel(QStringLiteral("Version: "), m_panel);
    m_version = new QLabel(AppInfo::aboutVersion(), m_panel);

    const QString captionColor = palette().color(QPalette::Active, QPalette::Highlight).name();
    m_cutCaption =
        new QLabel(QStringLiteral("Cut a new small file from a large ogg file. "), m_panel);
    m_joinCaption =
        new QLabel(QStringLiteral("Marge multiple ogg files to a large new one"), m_panel);
    for (QLabel* l : {m_cutCaption, m_joinCaption})
        l->setStyleSheet(QStringLiteral("color: %1").arg(captionColor));

    m_websiteCaption = new QLabel(QStringLiteral("Website:  "), m_panel);
    m_website = link(AppInfo::homePage(), m_panel);
    m_mailCaption = new QLabel(QStringLiteral("E-mail:  "), m_panel);
    m_salesMail = link(AppInfo::salesMail(), m_panel);
    m_supportMail = link(AppInfo::supportMail(), m_panel);

    const struct {
        QLabel* label;
        const char* name;
    } names[] = {{m_productName, "Label45"}, {m_versionCaption, "Label46"},
                 {m_version, "Label47"},     {m_cutCaption, "Label48"},
                 {m_joinCaption, "Label1"},  {m_websiteCaption, "Label49"},
                 {m_website, "Label6"},      {m_mailCaption, "Label50"},
                 {m_salesMail, "Label2"},    {m_supportMail, "Label3"}};
    for (const auto& n : names)
        n.label->setObjectName(QString::fromLatin1(n.name));

    connect(m_website, &QLabel::linkActivated, this, [this] { openWebsite(); });
    connect(m_salesMail, &QLabel::linkActivated, this, [this] { mailSales(); });
    connect(m_supportMail, &QLabel::linkActivated, this, [this] { mailSupport(); });

    auto* grid = new QGridLayout(m_panel);
    grid->addWidget(m_icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(m_productName, 0, 1, 1, 2);
    auto* version = new QHBoxLayout;
    version->setSpacing(0);
    version->addWidget(m_versionCaption);
    version->addWidget(m_version);
    version->addStretch();
    grid->addLayout(version, 1, 1, 1, 2);
    grid->addWidget(m_cutCaption, 2, 1, 1, 2);
    grid->addWidget(m_joinCaption, 3, 1, 1, 2);
    grid->addWidget(m_websiteCaption, 4, 1);
    grid->addWidget(m_website, 4, 2);
    grid->addWidget(m_mailCaption, 5, 1);
    grid->addWidget(m_salesMail, 5, 2);
    grid->addWidget(m_supportMail, 6, 2);
    grid->setColumnStretch(2, 1);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_panel);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutDialog::versionText() const {
    return m_version->text();
}

void AboutDialog::openWebsite() {
    if (m_state.prompt)
        m_state.prompt->openUrl(QUrl(AppInfo::homePage()));
}

void AboutDialog::mailSales() {
    if (m_state.prompt)
        m_state.prompt->openUrl(QUrl(QStringLiteral("mailto:") + AppInfo::salesMail()));
}

void AboutDialog::mailSupport() {
    if (m_state.prompt)
        m_state.prompt->openUrl(QUrl(QStringLiteral("mailto:") + AppInfo::supportMail()));
}

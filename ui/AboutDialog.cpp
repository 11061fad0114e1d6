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

    auto* panel = new QGroupBox(this);
    panel->setObjectName(QStringLiteral("pn_about"));

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setFixedSize(36, 36);
    icon->setPixmap(skinIcon(QStringLiteral("wave"), QColor(0x25, 0x63, 0xeb))
                        .pixmap(QSize(36, 36), devicePixelRatio()));

    auto* productName = new QLabel(AppInfo::productName(), panel);
    QFont bold = productName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    productName->setFont(bold);
    auto* versionCaption = new QLabel(tr("Version: "), panel);
    m_version = new QLabel(AppInfo::aboutVersion(), panel);

    const QString captionColor = palette().color(QPalette::Active, QPalette::Highlight).name();
    auto* cutCaption = new QLabel(tr("Cut a new small file from a large ogg file. "), panel);
    auto* joinCaption = new QLabel(tr("Marge multiple ogg files to a large new one"), panel);
    for (QLabel* l : {cutCaption, joinCaption})
        l->setStyleSheet(QStringLiteral("color: %1").arg(captionColor));

    auto* websiteCaption = new QLabel(tr("Website:  "), panel);
    QLabel* website = link(AppInfo::homePage(), panel);
    auto* mailCaption = new QLabel(tr("E-mail:  "), panel);
    QLabel* salesMail = link(AppInfo::salesMail(), panel);
    QLabel* supportMail = link(AppInfo::supportMail(), panel);

    const struct {
        QLabel* label;
        const char* name;
    } names[] = {{productName, "Label45"}, {versionCaption, "Label46"}, {m_version, "Label47"},
                 {cutCaption, "Label48"},  {joinCaption, "Label1"},     {websiteCaption, "Label49"},
                 {website, "Label6"},      {mailCaption, "Label50"},    {salesMail, "Label2"},
                 {supportMail, "Label3"}};
    for (const auto& n : names)
        n.label->setObjectName(QString::fromLatin1(n.name));

    connect(website, &QLabel::linkActivated, this, [this] { openWebsite(); });
    connect(salesMail, &QLabel::linkActivated, this, [this] { mailSales(); });
    connect(supportMail, &QLabel::linkActivated, this, [this] { mailSupport(); });

    auto* grid = new QGridLayout(panel);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(productName, 0, 1, 1, 2);
    auto* version = new QHBoxLayout;
    version->setSpacing(0);
    version->addWidget(versionCaption);
    version->addWidget(m_version);
    version->addStretch();
    grid->addLayout(version, 1, 1, 1, 2);
    grid->addWidget(cutCaption, 2, 1, 1, 2);
    grid->addWidget(joinCaption, 3, 1, 1, 2);
    grid->addWidget(websiteCaption, 4, 1);
    grid->addWidget(website, 4, 2);
    grid->addWidget(mailCaption, 5, 1);
    grid->addWidget(salesMail, 5, 2);
    grid->addWidget(supportMail, 6, 2);
    grid->setColumnStretch(2, 1);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(panel);
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

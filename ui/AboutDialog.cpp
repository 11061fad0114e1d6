// The about dialog (see AboutDialog.h).
#include "ui/AboutDialog.h"

#include "core/AppInfo.h"
#include "core/MainState.h"
#include "core/Prompt.h"
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

AboutDialog::AboutDialog(MainState& state, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      s(state) {
    setObjectName(QStringLiteral("fm_about"));
    setWindowTitle(QStringLiteral("fm_about"));
    setModal(false);

    pn_about = new QGroupBox(this);
    pn_about->setObjectName(QStringLiteral("pn_about"));

    Image1 = new QLabel(pn_about);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(36, 36);
    Image1->setPixmap(skinIcon(QStringLiteral("wave"), QColor(0x25, 0x63, 0xeb))
                          .pixmap(QSize(36, 36), devicePixelRatio()));

    Label45 = new QLabel(AppInfo::productName(), pn_about);
    QFont bold = Label45->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    Label45->setFont(bold);
    Label46 = new QLabel(QStringLiteral("Version: "), pn_about);
    Label47 = new QLabel(AppInfo::aboutVersion(), pn_about);

    const QString captionColor = palette().color(QPalette::Active, QPalette::Highlight).name();
    Label48 = new QLabel(QStringLiteral("Cut a new small file from a large ogg file. "), pn_about);
    Label1 = new QLabel(QStringLiteral("Marge multiple ogg files to a large new one"), pn_about);
    for (QLabel* l : {Label48, Label1})
        l->setStyleSheet(QStringLiteral("color: %1").arg(captionColor));

    Label49 = new QLabel(QStringLiteral("Website:  "), pn_about);
    Label6 = link(AppInfo::homePage(), pn_about);
    Label50 = new QLabel(QStringLiteral("E-mail:  "), pn_about);
    Label2 = link(AppInfo::salesMail(), pn_about);
    Label3 = link(AppInfo::supportMail(), pn_about);

    const struct {
        QLabel* label;
        const char* name;
    } names[] = {{Label45, "Label45"}, {Label46, "Label46"}, {Label47, "Label47"},
                 {Label48, "Label48"}, {Label1, "Label1"},   {Label49, "Label49"},
                 {Label6, "Label6"},   {Label50, "Label50"}, {Label2, "Label2"},
                 {Label3, "Label3"}};
    for (const auto& n : names)
        n.label->setObjectName(QString::fromLatin1(n.name));

    connect(Label6, &QLabel::linkActivated, this, [this] { Label6Click(); });
    connect(Label2, &QLabel::linkActivated, this, [this] { Label2Click(); });
    connect(Label3, &QLabel::linkActivated, this, [this] { Label3Click(); });

    auto* grid = new QGridLayout(pn_about);
    grid->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label45, 0, 1, 1, 2);
    auto* version = new QHBoxLayout;
    version->setSpacing(0);
    version->addWidget(Label46);
    version->addWidget(Label47);
    version->addStretch();
    grid->addLayout(version, 1, 1, 1, 2);
    grid->addWidget(Label48, 2, 1, 1, 2);
    grid->addWidget(Label1, 3, 1, 1, 2);
    grid->addWidget(Label49, 4, 1);
    grid->addWidget(Label6, 4, 2);
    grid->addWidget(Label50, 5, 1);
    grid->addWidget(Label2, 5, 2);
    grid->addWidget(Label3, 6, 2);
    grid->setColumnStretch(2, 1);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(pn_about);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::Label6Click() {
    if (s.prompt)
        s.prompt->openUrl(QUrl(AppInfo::homePage()));
}

void AboutDialog::Label2Click() {
    if (s.prompt)
        s.prompt->openUrl(QUrl(QStringLiteral("mailto:") + AppInfo::salesMail()));
}

void AboutDialog::Label3Click() {
    if (s.prompt)
        s.prompt->openUrl(QUrl(QStringLiteral("mailto:") + AppInfo::supportMail()));
}

// The program's Prompt (see WidgetPrompt.h).
#include "ui/WidgetPrompt.h"

#include "core/AppInfo.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace {

const QString Title = AppInfo::productName();

} // namespace

void WidgetPrompt::information(const QString& text) {
    QMessageBox::information(m_parent, Title, text, QMessageBox::Ok);
}

bool WidgetPrompt::question(const QString& text) {
    return QMessageBox::question(m_parent, Title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QStringList WidgetPrompt::openFiles(const QString& dir, const QStringList& filters) {
    return QFileDialog::getOpenFileNames(m_parent, QString(), dir,
                                         filters.join(QStringLiteral(";;")));
}

QString WidgetPrompt::saveFile(const QString& dir, const QStringList& filters, int& filterIndex) {
    QString selected;
    if (filterIndex >= 1 && filterIndex <= filters.size())
        selected = filters.at(filterIndex - 1);
    // The run appends ".ogg" to what is typed and asks about that final name
    // itself, so the dialog must not ask about the typed one.
    const QString path =
        QFileDialog::getSaveFileName(m_parent, QString(), dir, filters.join(QStringLiteral(";;")),
                                     &selected, QFileDialog::DontConfirmOverwrite);
    const qsizetype index = filters.indexOf(selected);
    if (!path.isEmpty() && index >= 0)
        filterIndex = int(index) + 1;
    return path;
}

QString WidgetPrompt::pickFolder(const QString& start) {
    return QFileDialog::getExistingDirectory(m_parent, QString(), start);
}

void WidgetPrompt::openUrl(const QUrl& url) {
    // A desktop without a handler is not worth a message.
    QDesktopServices::openUrl(url);
}

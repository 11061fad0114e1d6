// The program's Prompt (see WidgetPrompt.h).
#include "ui/WidgetPrompt.h"

#include "core/AppInfo.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBoundaryFinder>

namespace {

const QString Title = AppInfo::productName();

// Where a line may break without a visible mark.
constexpr char16_t ZeroWidthSpace = 0x200B;
// The longest run of characters a message keeps without a break opportunity.
constexpr int LongestRun = 32;

} // namespace

// --- the open dialog -------------------------------------------------------------

OpenFilesDialog::OpenFilesDialog(QWidget* parent, const QString& dir, const QStringList& filters)
    : QFileDialog(parent, QString(), dir, filters.join(QStringLiteral(";;"))) {
    setFileMode(QFileDialog::ExistingFiles);
    // The dialog's own name field is read for what was typed; a desktop's
    // dialog would hand back only what its filter lets through.
    setOption(QFileDialog::DontUseNativeDialog);
}

QString OpenFilesDialog::typedText() const {
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

QStringList OpenFilesDialog::typedFiles(const QString& text, const QString& dir) {
    QStringList names;
    if (!text.contains(u'"')) {
        if (!text.trimmed().isEmpty())
            names << text.trimmed();
    } else {
        // "first" "second" ...: every other piece between the quotes is a name.
        const QStringList pieces = text.split(u'"');
        for (qsizetype i = 1; i < pieces.size(); i += 2)
            if (!pieces[i].isEmpty())
                names << pieces[i];
    }
    QStringList paths;
    for (QString name : names) {
        if (name == u'~' || name.startsWith(QStringLiteral("~/")))
            name.replace(0, 1, QDir::homePath());
        paths << QDir::cleanPath(QDir(dir).absoluteFilePath(name));
    }
    return paths;
}

QStringList OpenFilesDialog::chosenFiles() const {
    const QStringList typed = typedFiles(typedText(), directory().absolutePath());
    return typed.isEmpty() ? selectedFiles() : typed;
}

void OpenFilesDialog::accept() {
    const QStringList typed = typedFiles(typedText(), directory().absolutePath());
    // Nothing typed, or one folder: the dialog does what it always does
    // (takes the view's selection, or opens the folder).
    if (typed.isEmpty() || (typed.size() == 1 && QFileInfo(typed.first()).isDir())) {
        QFileDialog::accept();
        return;
    }
    // Typed names are taken as they are; the add tells about those it cannot use.
    QDialog::accept();
}

// --- the prompt --------------------------------------------------------------------

QString WidgetPrompt::breakable(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end != -1; end = graphemes.toNextBoundary()) {
        const QStringView piece = QStringView(text).mid(start, end - start);
        start = end;
        out += piece;
        const QChar first = piece.front();
        if (first == u'/' || first == u'\\') {
            out += QChar(ZeroWidthSpace);
            run = 0;
        } else if (first.isSpace() || first == QChar(ZeroWidthSpace) || first == u'-') {
            run = 0;
        } else if (++run >= LongestRun) {
            out += QChar(ZeroWidthSpace);
            run = 0;
        }
    }
    return out;
}

void WidgetPrompt::information(const QString& text) {
    QMessageBox::information(m_parent, Title, breakable(text), QMessageBox::Ok);
}

bool WidgetPrompt::question(const QString& text) {
    return QMessageBox::question(m_parent, Title, breakable(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QStringList WidgetPrompt::openFiles(const QString& dir, const QStringList& filters) {
    OpenFilesDialog dialog(m_parent, dir, filters);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosenFiles();
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

// The folder picker (see FolderDialog.h).
#include "ui/FolderDialog.h"

#include "core/IniFile.h"
#include "core/Prompt.h"
#include "core/SessionState.h"
#include "ui/DialogPlacement.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

FolderDialog::FolderDialog(SessionState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(tr("Output Directory"));
    setModal(true);
    resize(420, 460);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QString());
    m_model->setReadOnly(false);

    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("ShellTreeView1"));
    m_tree->setModel(m_model);
    // The name only: size, type and date say nothing about a folder to choose.
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();
    // A double-click opens the folder, as in every file manager; only "Ok"
    // chooses it (a folder's files would otherwise be added at once).
    m_tree->setExpandsOnDoubleClick(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // A right click selects the folder under the mouse, as a left click does.
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_tree->indexAt(at);
        if (index.isValid())
            m_tree->setCurrentIndex(index);
    });
    // The tree starts at the user's home, the usual place for music.
    selectFolder(QDir::homePath());

    auto* newFolderButton = new QPushButton(tr("New Folder"), this);
    newFolderButton->setObjectName(QStringLiteral("Button1"));
    auto* okButton = new QPushButton(tr("Ok"), this);
    okButton->setObjectName(QStringLiteral("btn_ok"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("btn_cancel"));
    connect(newFolderButton, &QPushButton::clicked, this, &FolderDialog::newFolder);
    connect(okButton, &QPushButton::clicked, this, &FolderDialog::ok);
    connect(cancelButton, &QPushButton::clicked, this, &FolderDialog::cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newFolderButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addLayout(buttons);
}

QString FolderDialog::choose(const QString& caption) {
    setWindowTitle(caption);
    m_result.clear();
    if (parentWidget())
        placeAtWindowCorner(*this, *parentWidget()->window());
    exec();
    return m_result;
}

QString FolderDialog::selectedFolder() const {
    const QModelIndex index = m_tree->currentIndex();
    return index.isValid() ? QDir::toNativeSeparators(m_model->filePath(index)) : QString();
}

void FolderDialog::selectFolder(const QString& path) {
    const QModelIndex index = m_model->index(path);
    if (!index.isValid())
        return;
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    m_tree->expand(index);
}

void FolderDialog::ok() {
    const QString folder = selectedFolder();
    // Nothing selected: nothing to choose; the picker stays open.
    if (folder.isEmpty())
        return;
    m_result = folder;
    if (s.ini) {
        try {
            s.ini->writeString(QStringLiteral("Output"), QStringLiteral("Dir"), folder);
        } catch (const IniWriteError& e) {
            // The choice still counts for this run; the user hears why it was not kept.
            if (s.prompt)
                s.prompt->information(QString::fromStdString(e.what()));
        }
    }
    emit folderChosen(folder);
    accept();
}

void FolderDialog::cancel() {
    m_result.clear();
    reject();
}

void FolderDialog::newFolder() {
    const QString folder = selectedFolder();
    if (folder.isEmpty())
        return;
    // One level; an existing "New Folder" is left as it is, unreported.
    QDir(folder).mkdir(tr("New Folder"));
}

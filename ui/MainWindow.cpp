// The main window (see MainWindow.h).
#include "ui/MainWindow.h"

#include "audio/MulDiv.h"
#include "core/AppInfo.h"
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "core/Settings.h"
#include "skin/SkinObject.h"
#include "ui/DialogPlacement.h"
#include "ui/FolderDialog.h"
#include "ui/SkinAccessible.h"
#include "ui/SkinIcons.h"
#include "ui/SkinView.h"
#include "ui/WaveformWindow.h"
#include "ui/WidgetPrompt.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ClientWidth = 480;
constexpr int ClientHeight = 418;
constexpr int ListTop = 92;
constexpr int ListHeight = 180;
constexpr int HeaderHeight = 22;
// The file list holds this many rows before it scrolls; its name column
// narrows from the next row on (fitNameColumn).
constexpr int RowsInView = 12;
// A list's border, as its style sheet draws it.
constexpr int ListBorder = 1;

// The family the window asks for. Its texts are laid out for Arial; where the
// desktop lacks it, a face of Arial's widths (Liberation Sans, which the
// install step brings, or Arimo) is taken before whatever the desktop would
// put in Arial's place (Nimbus Sans, where the URW fonts are, is taller). A
// stand-in for Arial set inside the program (the tests try wider faces so)
// is kept.
QString arialFamily() {
    const QString arial = QStringLiteral("Arial");
    if (QFontDatabase::hasFamily(arial) || !QFont::substitutes(arial).isEmpty())
        return arial;
    for (const QString& sameWidths : {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")})
        if (QFontDatabase::hasFamily(sameWidths))
            return sameWidths;
    return arial;
}

// Arial at a pixel size, narrowed by `stretch` percent. Where the desktop has
// neither Arial nor a face of the same widths, the stand-in (wider, as DejaVu
// Sans is) is narrowed a further eighth so that the lines still fit.
QFont arialFont(int pixelSize, bool italic, int stretch = 100) {
    QFont font(arialFamily());
    font.setPixelSize(pixelSize);
    font.setItalic(italic);
    const QString used = QFontInfo(font).family();
    static const QStringList sameWidths = {QStringLiteral("Arial"),
                                           QStringLiteral("Liberation Sans"),
                                           QStringLiteral("Arimo"), QStringLiteral("Helvetica")};
    if (!sameWidths.contains(used, Qt::CaseInsensitive))
        stretch = stretch * 87 / 100;
    if (stretch != 100)
        font.setStretch(stretch);
    return font;
}

void styleList(QTableView* view) {
    view->setShowGrid(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab leaves the list for the next control; the arrow keys move in it.
    view->setTabKeyNavigation(false);
    view->verticalHeader()->hide();
    const int rowHeight = (ListHeight - 2 * ListBorder - HeaderHeight) / RowsInView;
    view->verticalHeader()->setMinimumSectionSize(rowHeight);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->horizontalHeader()->setSectionsClickable(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(false);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setFixedHeight(HeaderHeight);
    // Flat, slim scroll bars: the name column's 113 pixels and the span
    // list's three columns fit beside the vertical one.
    view->setStyleSheet(QStringLiteral(
        "QTableView { background: #ffffff; border: 1px solid #d3dae5; gridline-color: #e5e9f0;"
        " selection-background-color: #2563eb; selection-color: #ffffff; }"
        "QHeaderView::section { background: #f4f6fa; color: #475569; border: none;"
        " border-right: 1px solid #e5e9f0; border-bottom: 1px solid #d3dae5; padding-left: 3px; "
        "}"
        "QScrollBar { background: #f4f6fa; border: none; margin: 0; }"
        "QScrollBar:vertical { width: 7px; } QScrollBar:horizontal { height: 7px; }"
        "QScrollBar::handle { background: #b8c2d1; border-radius: 3px; }"
        "QScrollBar::handle:vertical { min-height: 16px; }"
        "QScrollBar::handle:horizontal { min-width: 16px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"));
    // "00:00:00 - 00:00:00" must fit the fixed 100 pixels of its column.
    view->setFont(arialFont(11, false, 92));
    QFont headerFont = arialFont(11, false, 88);
    headerFont.setWeight(QFont::DemiBold);
    view->horizontalHeader()->setFont(headerFont);
}

} // namespace

MainWindow::MainWindow(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_session(session), s(session.state()), m_jobs(session.jobs()),
      m_commands(session.commands()), m_skinPath(defaultSkinPath()) {
    setObjectName(QStringLiteral("fm_main"));
    setWindowTitle(AppInfo::productName());
    setFixedSize(ClientWidth, ClientHeight);
    move(261, 171);

    if (!s.prompt) {
        m_ownPrompt = std::make_unique<WidgetPrompt>(this);
        s.prompt = m_ownPrompt.get();
    }

    // Created first so that it lies behind every control.
    m_skinView = new SkinView(m_engine, this, this);
    m_skinView->setGeometry(0, 0, ClientWidth, ClientHeight);

    createLists();
    createInstructions();

    m_formatBox = new QComboBox(this);
    m_formatBox->setObjectName(QStringLiteral("cb_format"));
    m_formatBox->addItem(QStringLiteral("OGG"));
    m_formatBox->addItem(tr("OGG (no re-encoding)"));
    m_formatBox->addItem(QStringLiteral("FLAC"));
    m_formatBox->addItem(QStringLiteral("OPUS"));
    m_formatBox->setCurrentIndex(s.formatIndex);
    m_formatBox->setGeometry(12, 304, 100, 24);
    m_formatBox->setToolTip(tr("Output format"));
    // The box is as narrow as the skin's column; its list shows every entry whole.
    m_formatBox->view()->setMinimumWidth(
        m_formatBox->fontMetrics().horizontalAdvance(m_formatBox->itemText(1)) + 32);
    connect(m_formatBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { s.formatIndex = index; });

    createMenus();
    addShortcuts();
    fillWindowHooks();
    connectSession();
}

void MainWindow::connectSession() {
    connect(m_skinView, &SkinView::clicked, this,
            [this](SkinObject* o) { guarded([&] { m_commands.onClick(o); }); });
    connect(m_skinView, &SkinView::pressed, this,
            [this](SkinObject* o) { guarded([&] { m_commands.onPress(o); }); });
    connect(m_skinView, &SkinView::released, this,
            [this](SkinObject* o) { guarded([&] { m_commands.onRelease(o); }); });
    connect(m_skinView, &SkinView::sliderTracked, this, [this](SkinObject* o, int position) {
        guarded([&] { m_commands.onSliderTrack(o, position); });
    });

    connect(&m_jobs, &JobList::instructionsVisibleChanged, m_instructions, &QWidget::setVisible);
    connect(&m_jobs, &JobList::fileListFocusRequested, this, [this] { m_fileView->setFocus(); });
    connect(&m_jobs, &JobList::positionTextChanged, this,
            [this](const QString& text) { setSkinText(m_skin.timecaption, text); });
    connect(&m_jobs, &JobList::totalTextChanged, this,
            [this](const QString& text) { setSkinText(m_skin.totalTime, text); });
    connect(&m_jobs, &JobList::currentFileChanged, this,
            [this](const QString& path) { setSkinText(m_skin.pathLabel, path); });
    connect(&m_jobs, &JobList::sliderRangeChanged, this, [this](int max, int page) {
        if (!m_skin.slider)
            return;
        m_skin.slider->setSliderMax(max);
        m_skin.slider->setSliderPage(page);
        m_skin.slider->redraw();
    });
    connect(&m_session, &Session::runProgress, this, [this](int value) {
        // Reported far more often than the text or the bar changes; each
        // redraw paints the whole skin, which the run's workers would feel.
        const QString percent = QString::number(value / 100) + QLatin1Char('%');
        if (m_skin.pbpos && m_skin.pbpos->text() != percent)
            setSkinText(m_skin.pbpos, percent);
        drawConversionProgress(value);
        if (s.converting)
            showConvertedSource();
    });
    connect(&m_session, &Session::runEnded, this, [this] {
        setSkinText(m_skin.pbpos, QString());
        drawConversionProgress(0);
    });
    connect(&m_session, &Session::runSourceStarted, this, [this] { m_fileView->setFocus(); });
    // A run selects each source as it takes it up; the path label follows
    // (also when the run starts on the row already selected), so that it
    // names the file being converted, not the one clicked last.
    connect(&m_jobs.fileSelection(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (s.converting)
            showConvertedSource();
    });
}

void MainWindow::showConvertedSource() {
    const int row = m_jobs.selectedRow();
    if (row < 0 || !m_skin.pathLabel || m_skin.pathLabel->text() == m_jobs.file(row).path)
        return;
    setSkinText(m_skin.pathLabel, m_jobs.file(row).path);
}

void MainWindow::setSkinText(SkinObject* object, const QString& text) {
    if (!object)
        return;
    object->setText(text);
    object->redraw();
}

void MainWindow::drawConversionProgress(int value) {
    constexpr int BarWidth = 335; // the bar at 100 %
    if (value == Conversion::ProgressScale)
        value = 0;
    const std::int64_t width = MulDiv(value, BarWidth, Conversion::ProgressScale);
    if ((!s.settings.skinOption && width > BarWidth) || !m_skin.convertpb)
        return;
    QRect r = m_skin.convertpb->rect();
    r.setLeft(m_skin.convertpbHome.left());
    r.setWidth(int(std::max<std::int64_t>(0, width)));
    if (r == m_skin.convertpb->rect())
        return;
    m_skin.convertpb->setRect(r);
    m_skin.convertpb->redraw();
}

void MainWindow::fitNameColumn() {
    // Narrower once the list scrolls, so that the scroll bar does not cover
    // it, and never wider than the list shows beside its scroll bar: names
    // that fit need no sideways scrolling, which would cover a row.
    const int width = m_jobs.rowCount() < 13 ? 120 : 113;
    m_fileView->setColumnWidth(0, std::min(width, m_fileView->viewport()->width()));
}

// The session outlives the window: it keeps nothing that reaches the window
// or its skin.
MainWindow::~MainWindow() {
    if (m_ownPrompt && s.prompt == m_ownPrompt.get())
        s.prompt = nullptr;
    CommandHooks& h = m_commands.hooks;
    h.openMenu = nullptr;
    h.showSettings = h.showTagDialog = h.showAbout = h.closeWindow = nullptr;
    h.chooseAddFolder = nullptr;
    m_session.setSlider(nullptr);
    // The views stop reporting to this half-destroyed window before they go.
    m_fileView->viewport()->removeEventFilter(this);
    m_spanView->viewport()->removeEventFilter(this);
    m_fileView->removeEventFilter(this);
    m_spanView->removeEventFilter(this);
}

void MainWindow::createLists() {
    m_fileView = new QTableView(this);
    m_fileView->setObjectName(QStringLiteral("lv"));
    styleList(m_fileView);
    m_fileView->setModel(&m_jobs.fileModel());
    m_fileView->setSelectionModel(&m_jobs.fileSelection());
    m_fileView->setGeometry(120, ListTop, 122, ListHeight);

    m_spanView = new QTableView(this);
    m_spanView->setObjectName(QStringLiteral("lv_time"));
    styleList(m_spanView);
    m_spanView->setModel(&m_jobs.spanModel());
    m_spanView->setSelectionModel(&m_jobs.spanSelection());
    m_spanView->setGeometry(243, ListTop, 227, ListHeight);

    applyListColumns();
    // A model that is rebuilt from scratch forgets the views' column set-up.
    for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(&m_jobs.fileModel()),
                                      static_cast<QAbstractItemModel*>(&m_jobs.spanModel())})
        connect(model, &QAbstractItemModel::modelReset, this, &MainWindow::applyListColumns);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_jobs.fileModel(), signal, this, &MainWindow::fitNameColumn);

    // A click counts also on the empty space below the rows, so the viewports
    // are watched rather than the views' clicked signal.
    m_fileView->viewport()->installEventFilter(this);
    m_spanView->viewport()->installEventFilter(this);
    // Moving through a list with the keys selects as a click does, so what
    // is shown is always what Begin, End and OK edit.
    m_fileView->installEventFilter(this);
    m_spanView->installEventFilter(this);
    // Files and folders dropped on either list are added.
    m_fileView->setAcceptDrops(true);
    m_fileView->viewport()->setAcceptDrops(true);
    m_spanView->setAcceptDrops(true);
    m_spanView->viewport()->setAcceptDrops(true);
    for (QTableView* view : {m_fileView, m_spanView}) {
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            // The menu acts on the list it opens over, as a left click would.
            guarded([&] {
                if (view == m_fileView)
                    m_jobs.selectFile();
                else
                    m_jobs.selectSpan();
            });
            m_fileListMenu->popup(view->viewport()->mapToGlobal(pos));
        });
    }
}

void MainWindow::applyListColumns() {
    fitNameColumn();
    m_fileView->setColumnHidden(1, true);
    m_spanView->setColumnWidth(0, 100);
    m_spanView->setColumnWidth(1, 55);
    m_spanView->setColumnWidth(2, 60);
}

QStringList MainWindow::instructionLines() {
    return {
        QString(),
        QStringLiteral(" "),
        tr("    1. Click \"Add\" to add files you want to convert"),
        tr("    2. Set begin-time/end-time for every file."),
        tr("    3. Click \"OK\" button to notarize."),
        tr("    4. Set Output Format"),
        tr("    5. To cut piece from one big audio file, Click \"Split\""),
        tr("    6. To marge multiple files into one big file, Click "),
        tr("\"Join\""),
        tr("    7. To terminate the conversion, click \"Stop\" button."),
    };
}

void MainWindow::createInstructions() {
    m_instructions = new QPlainTextEdit(this);
    m_instructions->setObjectName(QStringLiteral("sm"));
    m_instructions->setReadOnly(true);
    m_instructions->setPlainText(instructionLines().join(u'\n'));
    m_instructions->setGeometry(120, ListTop, 350, ListHeight);
    m_instructions->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_instructions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Disabled so that it takes no focus or clicks, but kept readable.
    QPalette pal = m_instructions->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(0x33, 0x41, 0x55));
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf8, 0xfa, 0xfc));
    m_instructions->setPalette(pal);
    m_instructions->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid #d3dae5; }"));
    m_instructions->setEnabled(false);
    fitInstructions();
}

void MainWindow::fitInstructions() {
    // The panel neither scrolls nor takes clicks, so every line must be whole
    // in it. A stand-in for Arial that is wider or taller than Arial is
    // narrowed, and only then made smaller, until the lines fit.
    m_instructions->ensurePolished();
    const QStringList lines = instructionLines();
    const qreal margin = m_instructions->document()->documentMargin();
    const QSizeF room =
        QSizeF(m_instructions->contentsRect().size()) - QSizeF(2 * margin + 2, 2 * margin);
    QFont font = arialFont(13, true);
    for (;;) {
        const QFontMetricsF metrics(font);
        qreal widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        // The panel's layout adds a face's leading to every line (Nimbus Sans
        // has a large one).
        const qreal lineHeight = std::max(metrics.height(), metrics.lineSpacing());
        const qreal height = lines.size() * std::ceil(lineHeight);
        const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
        if (widest > room.width() && stretch > 60) {
            font.setStretch(std::max(60, int(stretch * room.width() / widest)));
        } else if ((widest > room.width() || height > room.height()) && font.pixelSize() > 8) {
            font.setPixelSize(font.pixelSize() - 1);
        } else {
            break;
        }
    }
    m_instructions->setFont(font);
}

void MainWindow::createMenus() {
    struct Item {
        const char* name;
        const char* caption;
        const char* icon;
        void (CommandTable::*command)();
    };
    const auto build = [this](const char* menuName, std::initializer_list<Item> items) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(menuName));
        for (const Item& item : items) {
            if (!item.name) {
                menu->addSeparator();
                continue;
            }
            QAction* action =
                menu->addAction(skinIcon(QString::fromLatin1(item.icon)), tr(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            const auto command = item.command;
            connect(action, &QAction::triggered, this,
                    [this, command] { guarded([&] { (m_commands.*command)(); }); });
        }
        return menu;
    };
    using C = CommandTable;
    const Item separator{nullptr, nullptr, nullptr, nullptr};

    m_fileListMenu =
        build("p_lv", {{"AddFile1", QT_TR_NOOP("Add File"), "add", &C::addFilesItem},
                       {"AddFolder1", QT_TR_NOOP("Add Path"), "folder", &C::addFolderItem},
                       {"Clear1", QT_TR_NOOP("Clear"), "clear", &C::clearItem},
                       {"Remove1", QT_TR_NOOP("Remove"), "remove", &C::removeItem},
                       {"ID3info1", QT_TR_NOOP("ID3 info"), "tag", &C::tagsItem},
                       {"UP1", QT_TR_NOOP("UP"), "up", &C::moveUp},
                       {"Down1", QT_TR_NOOP("Down"), "down", &C::moveDown},
                       {"Play1", QT_TR_NOOP("Play"), "play", &C::playItem},
                       {"Stop1", QT_TR_NOOP("Stop"), "stop", &C::stop}});
    m_fileMenu =
        build("p_file", {{"AddFile2", QT_TR_NOOP("Add File"), "add", &C::addFilesItem},
                         {"AddFolder2", QT_TR_NOOP("Add Folder"), "folder", &C::addFolderItem},
                         {"ImportCue1", QT_TR_NOOP("Import CUE sheet…"), "add", &C::importCueItem},
                         {"Remove2", QT_TR_NOOP("Remove"), "remove", &C::removeItem},
                         {"Exit1", QT_TR_NOOP("Exit"), "exit", &C::exitItem}});
    m_actionMenu = build("p_action", {{"FileUp1", QT_TR_NOOP("File Up"), "up", &C::moveUp},
                                      {"FileDown1", QT_TR_NOOP("File Down"), "down", &C::moveDown},
                                      {"Remove3", QT_TR_NOOP("Remove"), "remove", &C::removeItem},
                                      {"Clear2", QT_TR_NOOP("Clear"), "clear", &C::clearItem},
                                      {"ID31", QT_TR_NOOP("ID3 info"), "tag", &C::tagsItem},
                                      {"Start1", QT_TR_NOOP("Split"), "split", &C::splitItem},
                                      {"Join1", QT_TR_NOOP("Join"), "join", &C::joinItem},
                                      {"Stop2", QT_TR_NOOP("Stop"), "stopall", &C::stop}});
    // The waveform is the window's own: no command of the table opens it.
    auto* waveform = new QAction(skinIcon(QStringLiteral("wave")), tr("Waveform…"), m_actionMenu);
    waveform->setObjectName(QStringLiteral("Waveform1"));
    connect(waveform, &QAction::triggered, this, [this] { guarded([this] { openWaveform(); }); });
    m_actionMenu->insertAction(m_actionMenu->findChild<QAction*>(QStringLiteral("Start1")),
                               waveform);
    m_helpMenu = build("p_help", {{"Content1", QT_TR_NOOP("Content"), "guide", &C::help},
                                  separator,
                                  {"HomePage1", QT_TR_NOOP("HomePage"), "home", &C::homePage},
                                  separator,
                                  {"About1", QT_TR_NOOP("About"), "about", &C::aboutItem}});
}

void MainWindow::addShortcuts() {
    struct Keys {
        QKeySequence keys;
        std::initializer_list<const char*> items; // the first one answers the keys
    };
    const Keys table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), {"AddFile2", "AddFile1"}},
        {QKeySequence(Qt::Key_Delete), {"Remove2", "Remove1", "Remove3"}},
        {QKeySequence(Qt::CTRL | Qt::Key_Return), {"Start1"}},
        {QKeySequence(Qt::CTRL | Qt::Key_J), {"Join1"}},
        {QKeySequence(Qt::Key_Escape), {"Stop2", "Stop1"}},
    };
    for (const Keys& k : table) {
        bool first = true;
        for (const char* name : k.items) {
            auto* action = findChild<QAction*>(QString::fromLatin1(name));
            if (!action)
                continue;
            action->setShortcut(k.keys);
            // The menus are pop-ups, shown only for a moment; the window holds
            // one action per key so that the key works while they are closed.
            if (first)
                addAction(action);
            first = false;
        }
    }
}

void MainWindow::orderTabs() {
    QList<QWidget*> controls = {m_fileView, m_spanView, m_formatBox};
    QList<QWidget*> chain;
    for (SkinItem* item : m_skinView->items()) {
        if (item->focusPolicy() == Qt::NoFocus)
            continue;
        for (auto it = controls.begin(); it != controls.end();) {
            if (item->geometry().top() >= (*it)->geometry().bottom()) {
                chain.append(*it);
                it = controls.erase(it);
            } else {
                ++it;
            }
        }
        chain.append(item);
    }
    chain.append(controls);
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void MainWindow::fillWindowHooks() {
    CommandHooks& h = m_commands.hooks;
    h.openMenu = [this](const QString& menu) { popupMenu(menu); };
    h.showSettings = [this] { showModal(m_settingsDialog); };
    h.showTagDialog = [this] { showModal(m_tagDialog); };
    h.showAbout = [this] {
        if (!m_aboutDialog)
            return;
        if (!m_aboutDialog->isVisible())
            placeAtWindowCorner(*m_aboutDialog, *this);
        m_aboutDialog->show();
        m_aboutDialog->raise();
        m_aboutDialog->activateWindow();
    };
    h.closeWindow = [this] { close(); };
    h.chooseAddFolder = [this] {
        auto* picker = qobject_cast<FolderDialog*>(m_folderDialog.data());
        return picker ? picker->choose(tr("Add File Directory"))
                      : (s.prompt ? s.prompt->pickFolder(s.settings.outputDir) : QString());
    };
}

void MainWindow::setDialogs(QDialog* settingsDialog, QWidget* folderDialog, QWidget* aboutDialog,
                            QDialog* tagDialog) {
    m_settingsDialog = settingsDialog;
    m_folderDialog = folderDialog;
    m_aboutDialog = aboutDialog;
    m_tagDialog = tagDialog;
}

void MainWindow::popupMenu(const QString& name) {
    // Each menu opens under its button of the skin, measured from the
    // window's outer top-left corner.
    static const QHash<QString, QPoint> offsets = {{QStringLiteral("p_file"), QPoint(19, 80)},
                                                   {QStringLiteral("p_action"), QPoint(69, 80)},
                                                   {QStringLiteral("p_help"), QPoint(276, 80)}};
    QMenu* menu = findChild<QMenu*>(name, Qt::FindDirectChildrenOnly);
    if (menu)
        menu->popup(frameGeometry().topLeft() + offsets.value(name));
}

void MainWindow::showModal(QDialog* dialog) {
    if (!dialog)
        return;
    placeAtWindowCorner(*dialog, *this);
    dialog->exec();
}

template <typename F> void MainWindow::guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void MainWindow::reportError(const std::exception& error) {
    if (s.prompt)
        s.prompt->information(QString::fromUtf8(error.what()));
}

void MainWindow::prepareFirstShow() {
    if (m_formShown)
        return;
    m_formShown = true;

    if (!s.ini)
        s.ini = std::make_unique<IniFile>(settingsFilePath());
    LoadSettings(*s.ini, s.settings);
    s.formatIndex = LoadOutputFormat(*s.ini);
    m_formatBox->setCurrentIndex(s.formatIndex);
    m_settingsLoaded = true;

    m_skin = setUpSkin(m_engine, this, m_skinPath);
    m_skinView->setValueText(m_skin.slider, m_skin.timecaption);
    orderTabs();
    m_session.setSlider(m_skin.slider);
    m_jobs.refreshTotal();

    m_fileView->move(120, ListTop);
    m_spanView->move(243, ListTop);
    m_instructions->move(120, ListTop);

    s.converting = false;

    if (m_skin.slider) {
        m_skin.slider->setSliderPosition(0);
        m_skin.slider->redraw();
    }
}

bool MainWindow::canClose() {
    // A preview ends with the window, without a question.
    m_session.stopAll();
    // Settings never loaded (the first show failed early) are not written over
    // the user's file.
    if (!m_settingsLoaded)
        return true;
    try {
        SaveSettings(*s.ini, s.settings);
        SaveOutputFormat(*s.ini, s.formatIndex);
    } catch (const IniWriteError& e) {
        if (s.prompt)
            s.prompt->information(e.message());
        return false;
    }
    return true;
}

void MainWindow::showEvent(QShowEvent* event) {
    m_commands.setWindowClosed(false);
    if (!m_formShown)
        guarded([this] { prepareFirstShow(); });
    QWidget::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool allowed = true;
    guarded([&] { allowed = canClose(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    event->accept();
    // A run stopped by the close still returns to its command afterwards.
    m_commands.setWindowClosed(true);
    emit closed();
}

namespace {

QStringList droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

bool movesSelection(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return !key->isAutoRepeat();
    default:
        return false;
    }
}

} // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool onFiles = m_fileView && watched == m_fileView->viewport();
    const bool onSpans = m_spanView && watched == m_spanView->viewport();
    // The vertical scroll bar came or went.
    if (onFiles && event->type() == QEvent::Resize)
        fitNameColumn();
    if ((onFiles || onSpans) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedPaths(drop->mimeData());
        // Refused while a run or an add is under way: the cursor says so.
        if (paths.isEmpty() || m_commands.busy()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            guarded([&] { m_commands.addPaths(paths); });
        return true;
    }
    if ((onFiles || onSpans) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (onFiles)
            guarded([this] { m_jobs.selectFile(); });
        else
            guarded([this] { m_jobs.selectSpan(); });
    } else if (onFiles && event->type() == QEvent::MouseButtonDblClick &&
               m_fileView->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint())
                   .isValid()) {
        guarded([this] {
            m_jobs.selectFile();
            openWaveform();
        });
    } else if (onSpans && event->type() == QEvent::MouseButtonDblClick) {
        guarded([this] { m_jobs.selectSpan(); });
    } else if ((watched == m_fileView || watched == m_spanView) &&
               event->type() == QEvent::KeyRelease &&
               movesSelection(static_cast<QKeyEvent*>(event))) {
        if (watched == m_fileView)
            guarded([this] { m_jobs.selectFile(); });
        else
            guarded([this] { m_jobs.selectSpan(); });
    }
    return QWidget::eventFilter(watched, event);
}

WaveformWindow* MainWindow::waveformWindow() const {
    return m_waveform;
}

void MainWindow::openWaveform() {
    const int row = m_jobs.selectedRow();
    if (row < 0)
        return;
    if (!m_waveform)
        m_waveform = new WaveformWindow(s, m_jobs, &m_session.preview(), this);
    m_waveform->showFile(m_jobs.file(row).path, m_jobs.caption(row));
    m_waveform->show();
    m_waveform->raise();
    m_waveform->activateWindow();
}

void MainWindow::replanSelectedFile() {
    guarded([this] { m_commands.settingsApplied(); });
}

void MainWindow::addPaths(const QStringList& paths) {
    if (!paths.isEmpty())
        guarded([&] { m_commands.addPaths(paths); });
    showNormal();
    raise();
    activateWindow();
}

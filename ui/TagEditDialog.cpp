#include "ui/TagEditDialog.h"

#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>

#include <algorithm>

namespace {

// The fixed client area; the dialog cannot be resized.
constexpr int ClientWidth = 419;
constexpr int ClientHeight = 288;
// The "File Name" column, narrower once the list scrolls.
constexpr int NameColumnWidth = 143;
constexpr int ScrollingNameColumnWidth = 127;
constexpr int ScrollingRowCount = 20;

QString& fieldOf(FileTags& tags, TagEditDialog::Field field) {
    // In the order of TagEditDialog::Field.
    static constexpr QString FileTags::*fields[] = {&FileTags::title, &FileTags::artist,
                                                    &FileTags::album, &FileTags::year,
                                                    &FileTags::genre, &FileTags::comment};
    return tags.*fields[std::min(size_t(field), std::size(fields) - 1)];
}

} // namespace

const QStringList& TagEditDialog::genreNames() {
    // The ID3v1 genres and their extension up to genre 147, as published.
    static const char* const table[] = {"Blues",
                                        "Classic Rock",
                                        "Country",
                                        "Dance",
                                        "Disco",
                                        "Funk",
                                        "Grunge",
                                        "Hip-Hop",
                                        "Jazz",
                                        "Metal",
                                        "New Age",
                                        "Oldies",
                                        "Other",
                                        "Pop",
                                        "R&B",
                                        "Rap",
                                        "Reggae",
                                        "Rock",
                                        "Techno",
                                        "Industrial",
                                        "Alternative",
                                        "Ska",
                                        "Death Metal",
                                        "Pranks",
                                        "Soundtrack",
                                        "Euro-Techno",
                                        "Ambient",
                                        "Trip-Hop",
                                        "Vocal",
                                        "Jazz+Funk",
                                        "Fusion",
                                        "Trance",
                                        "Classical",
                                        "Instrumental",
                                        "Acid",
                                        "House",
                                        "Game",
                                        "Sound Clip",
                                        "Gospel",
                                        "Noise",
                                        "Alternative Rock",
                                        "Bass",
                                        "Soul",
                                        "Punk",
                                        "Space",
                                        "Meditative",
                                        "Instrumental Pop",
                                        "Instrumental Rock",
                                        "Ethnic",
                                        "Gothic",
                                        "Darkwave",
                                        "Techno-Industrial",
                                        "Electronic",
                                        "Pop-Folk",
                                        "Eurodance",
                                        "Dream",
                                        "Southern Rock",
                                        "Comedy",
                                        "Cult",
                                        "Gangsta",
                                        "Top 40",
                                        "Christian Rap",
                                        "Pop/Funk",
                                        "Jungle",
                                        "Native US",
                                        "Cabaret",
                                        "New Wave",
                                        "Psychedelic",
                                        "Rave",
                                        "Showtunes",
                                        "Trailer",
                                        "Lo-Fi",
                                        "Tribal",
                                        "Acid Punk",
                                        "Acid Jazz",
                                        "Polka",
                                        "Retro",
                                        "Musical",
                                        "Rock & Roll",
                                        "Hard Rock",
                                        "Folk",
                                        "Folk-Rock",
                                        "National Folk",
                                        "Swing",
                                        "Fast Fusion",
                                        "Bebop",
                                        "Latin",
                                        "Revival",
                                        "Celtic",
                                        "Bluegrass",
                                        "Avant-garde",
                                        "Gothic Rock",
                                        "Progressive Rock",
                                        "Psychedelic Rock",
                                        "Symphonic Rock",
                                        "Slow Rock",
                                        "Big Band",
                                        "Chorus",
                                        "Easy Listening",
                                        "Acoustic",
                                        "Humor",
                                        "Speech",
                                        "Chanson",
                                        "Opera",
                                        "Chamber Music",
                                        "Sonata",
                                        "Symphony",
                                        "Booty Bass",
                                        "Primus",
                                        "Porn Groove",
                                        "Satire",
                                        "Slow Jam",
                                        "Club",
                                        "Tango",
                                        "Samba",
                                        "Folklore",
                                        "Ballad",
                                        "Power Ballad",
                                        "Rhythmic Soul",
                                        "Freestyle",
                                        "Duet",
                                        "Punk Rock",
                                        "Drum Solo",
                                        "A capella",
                                        "Euro-House",
                                        "Dance Hall",
                                        "Goa",
                                        "Drum & Bass",
                                        "Club-House",
                                        "Hardcore",
                                        "Terror",
                                        "Indie",
                                        "Britpop",
                                        "Afro-Punk",
                                        "Polsk Punk",
                                        "Beat",
                                        "Christian Gangsta",
                                        "Heavy Metal",
                                        "Black Metal",
                                        "Crossover",
                                        "Contemporary C",
                                        "Christian Rock",
                                        "Merengue",
                                        "Salsa",
                                        "Thrash Metal",
                                        "Anime",
                                        "JPop",
                                        "SynthPop"};
    static const QStringList names = [] {
        QStringList list;
        for (const char* name : table)
            list << QString::fromLatin1(name);
        return list;
    }();
    return names;
}

TagEditDialog::TagEditDialog(SessionState& state, QWidget* parent)
    : TagEditDialog(state, nullptr, parent) {
    if (auto* window = qobject_cast<MainWindow*>(parent))
        m_jobs = &window->jobList();
}

TagEditDialog::TagEditDialog(SessionState& state, JobList* jobs, QWidget* parent)
    : QDialog(parent), s(state), m_jobs(jobs) {
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(tr("ID3 Edit"));
    setFixedSize(ClientWidth, ClientHeight);

    m_list = new QTableWidget(0, 1, this);
    m_list->setObjectName(QStringLiteral("lv_id3"));
    m_list->setHorizontalHeaderLabels({tr("File Name")});
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->setGeometry(8, 8, NameColumnWidth + 4, ClientHeight - 16);
    m_list->setColumnWidth(0, NameColumnWidth);
    m_list->viewport()->installEventFilter(this);
    // Moving through the rows with the keys loads them as a click does, so
    // the boxes always show the row that their edits go to.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selecting && selectedRow() >= 0)
            loadSelected();
    });

    const char* const lineNames[] = {"edt_tatal", "edt_art", "edt_alb", "edt_year"};
    for (size_t i = 0; i < m_lines.size(); ++i) {
        m_lines[i] = new QLineEdit(this);
        m_lines[i]->setObjectName(QString::fromLatin1(lineNames[i]));
    }
    m_genre = new QComboBox(this);
    m_genre->setObjectName(QStringLiteral("edt_genre"));
    m_genre->setEditable(true);
    // Typed genres are stored, never added to the offered names.
    m_genre->setInsertPolicy(QComboBox::NoInsert);
    m_genre->setMaxVisibleItems(16);
    m_comment = new QPlainTextEdit(this);
    m_comment->setObjectName(QStringLiteral("edt_com"));
    m_comment->setTabChangesFocus(true);
    ensureGenreNames();

    struct Row {
        Field field;
        const char* label;
        int height;
    };
    const Row rows[] = {
        {Field::Title, QT_TR_NOOP("Title:"), 22},  {Field::Artist, QT_TR_NOOP("Artist: "), 22},
        {Field::Album, QT_TR_NOOP("Album: "), 22}, {Field::Year, QT_TR_NOOP("Year: "), 22},
        {Field::Genre, QT_TR_NOOP("Genre:"), 22},  {Field::Comment, QT_TR_NOOP("Comment: "), 92}};
    int y = 8;
    for (const Row& row : rows) {
        auto* label = new QLabel(tr(row.label), this);
        label->setGeometry(160, y, 66, 22);
        label->setBuddy(box(row.field));
        box(row.field)->setGeometry(228, y, 133, row.height);
        auto* all = new QPushButton(tr("All"), this);
        all->setObjectName(QStringLiteral("Button%1").arg(int(row.field) + 1));
        all->setAutoDefault(false);
        all->setGeometry(366, y, 45, 22);
        const Field field = row.field;
        connect(all, &QPushButton::clicked, this, [this, field] { copyToAll(field); });
        y += row.height + 6;
    }

    for (size_t i = 0; i < m_lines.size(); ++i)
        connect(m_lines[i], &QLineEdit::textChanged, this,
                [this, field = Field(i)](const QString& text) { boxChanged(field, text); });
    connect(m_genre, &QComboBox::editTextChanged, this,
            [this](const QString& text) { boxChanged(Field::Genre, text); });
    connect(m_comment, &QPlainTextEdit::textChanged, this,
            [this] { boxChanged(Field::Comment, m_comment->toPlainText()); });
    // Leaving a box stores its text once more; the genre box stores on change only.
    for (int i = 0; i < int(Field::FieldCount); ++i)
        if (Field(i) != Field::Genre)
            box(Field(i))->installEventFilter(this);

    // Only "Ok" answers the Enter key.
    const auto bottomButton = [this](const char* text, const char* name, int x, int width) {
        auto* button = new QPushButton(tr(text), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(x, 254, width, 26);
        return button;
    };
    QPushButton* resetButton = bottomButton(QT_TR_NOOP("Reset"), "Button7", 228, 56);
    QPushButton* okButton = bottomButton(QT_TR_NOOP("Ok"), "btn_ok", 291, 56);
    QPushButton* cancelButton = bottomButton(QT_TR_NOOP("Cancel"), "btn_cancel", 354, 57);
    resetButton->setAutoDefault(false);
    okButton->setDefault(true);
    cancelButton->setAutoDefault(false);
    // Tab goes row by row, each box before its "All", as the dialog reads.
    QWidget* previous = m_list;
    for (int i = 0; i < int(Field::FieldCount); ++i) {
        QWidget* all = findChild<QPushButton*>(QStringLiteral("Button%1").arg(i + 1));
        for (QWidget* next : {box(Field(i)), all}) {
            if (!next)
                continue;
            setTabOrder(previous, next);
            previous = next;
        }
    }
    for (QWidget* next : {static_cast<QWidget*>(resetButton), static_cast<QWidget*>(okButton),
                          static_cast<QWidget*>(cancelButton)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    connect(resetButton, &QPushButton::clicked, this, &TagEditDialog::reset);
    connect(okButton, &QPushButton::clicked, this, &TagEditDialog::ok);
    connect(cancelButton, &QPushButton::clicked, this, &TagEditDialog::cancel);
}

// --- opening and closing ---------------------------------------------------------

void TagEditDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ensureGenreNames();
    const int count = m_jobs ? m_jobs->rowCount() : 0;
    if (count == 0) {
        // Nothing listed: nothing of a file removed since may still show.
        m_list->setRowCount(0);
        m_edit.clear();
        clearBoxes();
        return;
    }
    fillRows();
    m_list->setColumnWidth(0,
                           count < ScrollingRowCount ? NameColumnWidth : ScrollingNameColumnWidth);
    if (selectedRow() < 0)
        selectRow(0);
    m_lastTagRow = selectedRow();
    copyJobTags();
    const int row = selectedRow();
    loadBoxes(m_jobs->file(row).tags, m_jobs->caption(row));
}

void TagEditDialog::done(int result) {
    // However the dialog closes, its rows go; so does an unsaved working copy.
    m_list->setRowCount(0);
    m_edit.clear();
    QDialog::done(result);
}

void TagEditDialog::fillRows() {
    m_list->setRowCount(0);
    const int count = m_jobs ? m_jobs->rowCount() : 0;
    m_list->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        auto* item = new QTableWidgetItem(m_jobs->caption(row));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        m_list->setItem(row, 0, item);
    }
}

void TagEditDialog::copyJobTags() {
    m_edit.clear();
    const int count = m_jobs ? m_jobs->rowCount() : 0;
    for (int row = 0; row < count; ++row)
        m_edit.push_back(m_jobs->file(row).tags);
}

void TagEditDialog::ensureGenreNames() {
    QStringList offered;
    for (int i = 0; i < m_genre->count(); ++i)
        offered << m_genre->itemText(i);
    if (offered == genreNames())
        return;
    const QString text = m_genre->currentText();
    m_genre->clear();
    m_genre->addItems(genreNames());
    m_genre->setEditText(text);
}

// --- the boxes and the records ---------------------------------------------------

QLineEdit* TagEditDialog::lineBox(Field field) const {
    return size_t(field) < m_lines.size() ? m_lines[size_t(field)] : nullptr;
}

QWidget* TagEditDialog::box(Field field) const {
    if (QLineEdit* line = lineBox(field))
        return line;
    return field == Field::Genre ? static_cast<QWidget*>(m_genre) : m_comment;
}

QString TagEditDialog::boxText(Field field) const {
    if (const QLineEdit* line = lineBox(field))
        return line->text();
    return field == Field::Genre ? m_genre->currentText() : m_comment->toPlainText();
}

void TagEditDialog::setBoxText(Field field, const QString& text) {
    if (QLineEdit* line = lineBox(field))
        line->setText(text);
    else if (field == Field::Genre)
        m_genre->setEditText(text);
    else if (m_comment->toPlainText() != text)
        m_comment->setPlainText(text);
}

void TagEditDialog::loadBoxes(const FileTags& tags, const QString& title) {
    setBoxText(Field::Artist, tags.artist);
    setBoxText(Field::Album, tags.album);
    setBoxText(Field::Title, title);
    setBoxText(Field::Comment, tags.comment);
    setBoxText(Field::Genre, tags.genre);
    setBoxText(Field::Year, tags.year);
}

void TagEditDialog::clearBoxes() {
    for (int i = 0; i < int(Field::FieldCount); ++i)
        setBoxText(Field(i), QString());
}

void TagEditDialog::boxChanged(Field field, const QString& text) {
    if (text == m_shown[size_t(field)])
        return;
    m_shown[size_t(field)] = text;
    store(field, text);
}

void TagEditDialog::store(Field field, const QString& text) {
    const int row = selectedRow();
    if (row < 0 || row >= int(m_edit.size()))
        return;
    fieldOf(m_edit[size_t(row)], field) = text;
}

bool TagEditDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport()) {
        // A click is handled once the list has moved its selection.
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            listClicked();
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        for (int i = 0; i < int(Field::FieldCount); ++i) {
            const Field field = Field(i);
            if (field == Field::Genre)
                continue;
            if (box(field) != watched)
                continue;
            const QString text = boxText(field);
            store(field, text);
            const int row = selectedRow();
            if (field == Field::Title && row >= 0)
                m_list->item(row, 0)->setText(text);
        }
    }
    return QDialog::eventFilter(watched, event);
}

int TagEditDialog::selectedRow() const {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TagEditDialog::selectRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    m_selecting = true;
    m_list->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selecting = false;
}

// --- the list and the buttons ----------------------------------------------------

void TagEditDialog::listClicked() {
    if (m_list->rowCount() == 0)
        return;
    if (selectedRow() < 0)
        selectRow(m_lastTagRow);
    loadSelected();
}

void TagEditDialog::loadSelected() {
    const int row = selectedRow();
    if (row < 0 || row >= int(m_edit.size())) {
        clearBoxes();
        return;
    }
    // A copy: loading a box stores into this very record.
    const FileTags tags = m_edit[size_t(row)];
    loadBoxes(tags, tags.title);
}

void TagEditDialog::copyToAll(Field field) {
    const QString text = boxText(field);
    const int count = std::min(m_list->rowCount(), int(m_edit.size()));
    for (int row = 0; row < count; ++row)
        fieldOf(m_edit[size_t(row)], field) = text;
}

void TagEditDialog::reset() {
    fillRows();
    if (m_list->rowCount() == 0) {
        m_edit.clear();
        clearBoxes();
        return;
    }
    selectRow(0);
    copyJobTags();
    loadBoxes(m_jobs->file(0).tags, m_jobs->caption(0));
}

void TagEditDialog::ok() {
    const int count = m_list->rowCount();
    if (count > 0 && m_jobs) {
        // Files added while the dialog was open have no record and keep their tags.
        FileModel& files = m_jobs->fileModel();
        const int records = std::min<int>(int(m_edit.size()), files.rowCount());
        for (int row = 0; row < records; ++row) {
            files.row(row).tags = m_edit[size_t(row)];
            // Used as it is: output names clean their own characters.
            if (row < count && !m_edit[size_t(row)].title.isEmpty())
                files.setCaption(row, m_edit[size_t(row)].title);
        }
    }
    accept();
}

void TagEditDialog::cancel() {
    reject();
}

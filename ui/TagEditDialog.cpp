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
    switch (field) {
    case TagEditDialog::Field::Title:
        return tags.title;
    case TagEditDialog::Field::Artist:
        return tags.artist;
    case TagEditDialog::Field::Album:
        return tags.album;
    case TagEditDialog::Field::Year:
        return tags.year;
    case TagEditDialog::Field::Genre:
        return tags.genre;
    default:
        return tags.comment;
    }
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
    setWindowTitle(QStringLiteral("ID3 Edit"));
    setFixedSize(ClientWidth, ClientHeight);

    m_list = new QTableWidget(0, 1, this);
    m_list->setObjectName(QStringLiteral("lv_id3"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("File Name")});
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

    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("edt_tatal"));
    m_artist = new QLineEdit(this);
    m_artist->setObjectName(QStringLiteral("edt_art"));
    m_album = new QLineEdit(this);
    m_album->setObjectName(QStringLiteral("edt_alb"));
    m_year = new QLineEdit(this);
    m_year->setObjectName(QStringLiteral("edt_year"));
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
        QWidget* box;
        int height;
    };
    const Row rows[] = {
        {Field::Title, "Title:", m_title, 22},  {Field::Artist, "Artist: ", m_artist, 22},
        {Field::Album, "Album: ", m_album, 22}, {Field::Year, "Year: ", m_year, 22},
        {Field::Genre, "Genre:", m_genre, 22},  {Field::Comment, "Comment: ", m_comment, 92}};
    int y = 8;
    for (const Row& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.label), this);
        label->setGeometry(160, y, 66, 22);
        label->setBuddy(row.box);
        row.box->setGeometry(228, y, 133, row.height);
        auto* all = new QPushButton(QStringLiteral("All"), this);
        all->setObjectName(QStringLiteral("Button%1").arg(int(row.field) + 1));
        all->setAutoDefault(false);
        all->setGeometry(366, y, 45, 22);
        const Field field = row.field;
        connect(all, &QPushButton::clicked, this, [this, field] { copyToAll(field); });
        y += row.height + 6;
    }

    connect(m_title, &QLineEdit::textChanged, this,
            [this](const QString& text) { boxChanged(Field::Title, text); });
    connect(m_artist, &QLineEdit::textChanged, this,
            [this](const QString& text) { boxChanged(Field::Artist, text); });
    connect(m_album, &QLineEdit::textChanged, this,
            [this](const QString& text) { boxChanged(Field::Album, text); });
    connect(m_year, &QLineEdit::textChanged, this,
            [this](const QString& text) { boxChanged(Field::Year, text); });
    connect(m_genre, &QComboBox::editTextChanged, this,
            [this](const QString& text) { boxChanged(Field::Genre, text); });
    connect(m_comment, &QPlainTextEdit::textChanged, this,
            [this] { boxChanged(Field::Comment, m_comment->toPlainText()); });
    // Leaving a box stores its text once more; the genre box stores on change only.
    for (QWidget* box : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_artist),
                         static_cast<QWidget*>(m_album), static_cast<QWidget*>(m_year),
                         static_cast<QWidget*>(m_comment)})
        box->installEventFilter(this);

    auto* resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setObjectName(QStringLiteral("Button7"));
    resetButton->setAutoDefault(false);
    auto* okButton = new QPushButton(QStringLiteral("Ok"), this);
    okButton->setObjectName(QStringLiteral("btn_ok"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("btn_cancel"));
    cancelButton->setAutoDefault(false);
    resetButton->setGeometry(228, 254, 56, 26);
    okButton->setGeometry(291, 254, 56, 26);
    cancelButton->setGeometry(354, 254, 57, 26);
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

QString TagEditDialog::boxText(Field field) const {
    switch (field) {
    case Field::Title:
        return m_title->text();
    case Field::Artist:
        return m_artist->text();
    case Field::Album:
        return m_album->text();
    case Field::Year:
        return m_year->text();
    case Field::Genre:
        return m_genre->currentText();
    default:
        return m_comment->toPlainText();
    }
}

void TagEditDialog::setBoxText(Field field, const QString& text) {
    switch (field) {
    case Field::Title:
        m_title->setText(text);
        break;
    case Field::Artist:
        m_artist->setText(text);
        break;
    case Field::Album:
        m_album->setText(text);
        break;
    case Field::Year:
        m_year->setText(text);
        break;
    case Field::Genre:
        m_genre->setEditText(text);
        break;
    default:
        if (m_comment->toPlainText() != text)
            m_comment->setPlainText(text);
        break;
    }
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
            QWidget* box = field == Field::Title    ? static_cast<QWidget*>(m_title)
                           : field == Field::Artist ? static_cast<QWidget*>(m_artist)
                           : field == Field::Album  ? static_cast<QWidget*>(m_album)
                           : field == Field::Year   ? static_cast<QWidget*>(m_year)
                                                    : static_cast<QWidget*>(m_comment);
            if (box != watched)
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

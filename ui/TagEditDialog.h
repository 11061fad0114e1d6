// The tag edit dialog tagDialog ("ID3 Edit"): title, artist, album, year, genre
// and comment of every listed file, edited on a working copy that "Ok" hands
// back to the job list together with the titles as the rows' captions. It
// reads and writes no file. Created once at start-up and hidden until used.
#pragma once

#include "joblist/JobRecords.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class JobList;
class SessionState;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class TagEditDialog : public QDialog {
    Q_OBJECT
  public:
    // The fields in the order of their "All" buttons (Button1 to Button6).
    enum class Field { Title, Artist, Album, Year, Genre, Comment, FieldCount };

    // Edits the job list of the main window `parent` (none when the parent is
    // not the main window: the dialog then lists no rows).
    explicit TagEditDialog(SessionState& state, QWidget* parent = nullptr);
    TagEditDialog(SessionState& state, JobList* jobs, QWidget* parent = nullptr);

    // The 148 names the genre box offers, in genre number order.
    static const QStringList& genreNames();

    // What the person does, as the buttons and the list do it.
    void copyToAll(Field field); // "All" beside the field's box
    void reset();
    void ok();
    void cancel();
    void listClicked();

    // The working copy of the job list's tags (one per listed row while open).
    const std::vector<FileTags>& editTags() const { return m_edit; }
    int lastTagRow() const { return m_lastTagRow; }

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fillRows();
    void copyJobTags();
    // Loads the boxes in their fixed order; `title` goes into the title box.
    void loadBoxes(const FileTags& tags, const QString& title);
    void clearBoxes();
    // Loads the selected row's working record into the boxes (empty boxes
    // when it has none).
    void loadSelected();
    void ensureGenreNames();
    // The box of `field`; lineBox() only for the one-line boxes, null otherwise.
    QWidget* box(Field field) const;
    QLineEdit* lineBox(Field field) const;
    QString boxText(Field field) const;
    void setBoxText(Field field, const QString& text);
    // A box's text changed: stored when it differs from what the box showed.
    void boxChanged(Field field, const QString& text);
    // Stores `text` into the field of the selected row's record, if any.
    void store(Field field, const QString& text);
    int selectedRow() const;
    void selectRow(int row);

    SessionState& s;
    JobList* m_jobs = nullptr;

    QTableWidget* m_list = nullptr;
    // The one-line boxes of the Title, Artist, Album and Year, in the order of Field.
    std::array<QLineEdit*, 4> m_lines{};
    QComboBox* m_genre = nullptr;
    QPlainTextEdit* m_comment = nullptr;

    std::vector<FileTags> m_edit;
    std::array<QString, size_t(Field::FieldCount)> m_shown; // what each box showed last
    int m_lastTagRow = 0;
    bool m_selecting = false; // the dialog itself moves the selection
};

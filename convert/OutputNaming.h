// Output file names of split pieces: taken from the source row's caption,
// numbered, and never the name of a file that already exists.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>

namespace OutputNaming {

// The caption up to its first "."; the whole caption when it has none or
// begins with one.
QString baseOf(const QString& caption);
// Replaces the part from the last "." on by ".ogg", or appends ".ogg" when the
// name holds no ".".
QString withOggExtension(const QString& name);
// The same with another extension ("flac", "opus"; without the dot).
QString withExtension(const QString& name, const QString& extension);
// True when something (a file, a folder, even a dangling link) holds the path.
bool taken(const QString& path);
// `dir` with exactly one separator before `name`.
QString inFolder(const QString& dir, const QString& name);

// The longest file name the usual file systems take, in bytes of its UTF-8
// form (the length limit counts bytes of the encoded name).
inline constexpr qsizetype NameMaxBytes = 255;
// What an output name leaves free of it: a piece and its tags are written
// beside their name first, under the name and a suffix of up to 7 bytes.
inline constexpr qsizetype OutputNameMaxBytes = NameMaxBytes - 7;
// An output name cut to OutputNameMaxBytes at a whole character; its ".ogg"
// (or ".flac", ".opus", ".mp3") and a piece number before it ("_12") stay. A name that fits is
// returned as it is.
QString fittedName(const QString& name);
// True when a file can be created under the free `path`: tried by creating it
// and removing it again, as writing it later fails only at its end. False with
// the system's reason in `reason`.
bool canCreate(const QString& path, QString* reason = nullptr);
// A name or path as a message shows it: one longer than a few hundred
// characters keeps its first and last hundred with "…" between them.
QString elidedName(const QString& name);

// The output path for the next piece of the row captioned `caption`: base_1.ogg
// when free, else the first free of base_1.ogg, base_2.ogg, ... (the count goes
// on past 100 until a name is free). Each name is fitted (fittedName).
QString choosePiecePath(const QString& dir, const QString& caption);
// The path tried when the caption's name could not be created: the source's
// file name with ".ogg", numbered like the pieces when that name is taken (it
// may be the source itself).
QString fallbackPath(const QString& dir, const QString& sourcePath);

// The names of one run, chosen as choosePiecePath and fallbackPath choose them
// but in time independent of how many pieces the run has made: each numbered
// sequence (a folder and a base) resumes after the last number found taken or
// handed out, and every name handed out counts as taken even before its file
// exists (pieces written side by side appear only when they are closed). The
// disk is still asked about each name tried, so files that other programs
// create meanwhile are never replaced.
class RunNames {
  public:
    // Every name handed out ends in ".`extension`" where the functions above
    // say ".ogg".
    explicit RunNames(const QString& extension = QStringLiteral("ogg"));
    // Another extension (without its ".") for the names handed out from now
    // on: a run may write pieces of several formats.
    void setExtension(const QString& extension) { m_extension = extension; }

    QString piecePath(const QString& dir, const QString& caption);
    QString fallbackPath(const QString& dir, const QString& sourcePath);
    // The output path of a piece named by a template (NameTemplate::expand's
    // `name`, never empty): name.ogg when free, else numbered as piecePath
    // numbers (name_1.ogg, name_2.ogg, ...), each fitted.
    QString templatePath(const QString& dir, const QString& name);
    // A name handed out whose file could not be created: free again, as it
    // is when every name is looked up afresh.
    void giveBack(const QString& path);

  private:
    bool takenInRun(const QString& path) const;
    QString handOut(const QString& path);
    // A free name of the sequence, counting on from where it stopped last time.
    QString nextNumbered(const QString& dir, const QString& base);

    QString m_extension;
    QHash<QString, qint64> m_next; // sequence -> first number not known to be taken
    QSet<QString> m_handedOut;
};

// The join's output for the name chosen in the save dialog, relative to
// `dir`: ".ogg" is appended whatever was typed, so mix.ogg becomes mix.ogg.ogg.
QString joinOutputPath(const QString& dir, const QString& chosen);
// The same with another extension appended.
QString joinOutputPath(const QString& dir, const QString& chosen, const QString& extension);
// The question asked before an existing join output is replaced.
QString replaceQuestion(const QString& path);

} // namespace OutputNaming

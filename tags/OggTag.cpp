#include "tags/OggTag.h"

#include "audio/SourceFile.h"
#include "tags/OggCommentStream.h"
#include "tags/TagText.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

struct TagKey {
    const char* key;    // compared with the lower-cased name on reading
    const char* prefix; // written before the value
    QString OggTag::*field;
};

// In slot order: the first equal key takes a comment.
const TagKey kKeys[] = {
    {"album", "Album=", &OggTag::album},
    {"title", "Title=", &OggTag::title},
    {"artist", "Artist=", &OggTag::artist},
    {"comment", "Comment=", &OggTag::comment},
    {"genre", "Genre=", &OggTag::genre},
    {"date", "Date=", &OggTag::date},
    {"tracknumber", "TrackNumber=", &OggTag::trackNumber},
};
// Slots in the order their comments are written.
const int kWritingOrder[] = {1, 2, 0, 6, 5, 4, 3};

bool nameByteAllowed(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x20 && b <= 0x3C) || (b >= 0x3E && b <= 0x7D);
}

// The length of a comment's name: the bytes before its first "=", when each
// of them is allowed in a name; -1 for a comment without a usable name.
qsizetype commentNameLength(QByteArrayView comment) {
    const qsizetype equals = comment.indexOf('=');
    for (qsizetype i = 0; i < equals; ++i)
        if (!nameByteAllowed(comment[i]))
            return -1;
    return equals;
}

// A comment's value as a tag text, trimmed. With a limit only what the first
// `limit` characters can take is decoded: a UTF-8 character has at most four
// bytes, and the bytes up to U+0020 that trimming drops are one byte each.
QString tagValue(QByteArrayView value, qsizetype limit) {
    if (limit < 0)
        return trimmedTagText(QString::fromUtf8(value));
    qsizetype begin = 0;
    while (begin < value.size() && static_cast<unsigned char>(value[begin]) <= 0x20)
        ++begin;
    const QByteArrayView kept =
        value.sliced(begin).first(std::min<qsizetype>(value.size() - begin, 4 * (limit + 1)));
    return trimmedTagText(cutTagText(QString::fromUtf8(kept), limit));
}

QString cannotOpen(const QString& path, const QString& why) {
    return QStringLiteral("Cannot open %1: %2").arg(path, why);
}

// Opens the file's Vorbis headers or raises the open error.
void openHeaders(OggCommentStream& editor, QFile& file, const QString& path) {
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw OggTagError(cannotOpen(path, file.errorString()));
    if (!editor.open(&file, readStreamCallback, writeStreamCallback))
        throw OggTagError(cannotOpen(path, editor.lastError()));
}

// The temporary file of one write: removed when the write does not end in
// its replacing the original.
class TempFile {
  public:
    explicit TempFile(const QString& path) : m_file(path) {}
    ~TempFile() {
        if (m_remove) {
            m_file.close();
            m_file.remove();
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    QFile& file() { return m_file; }
    // A stale file of the same name is replaced; creating it makes the file
    // ours to remove.
    bool create() {
        QFile::remove(m_file.fileName());
        m_remove = true;
        return m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
    }
    void keep() { m_remove = false; }

  private:
    QFile m_file;
    bool m_remove = false;
};

// The file's own permission bits. The "user" bits say what this process may
// do (everything, for an administrator); set back, they would make a
// read-only file writable.
QFileDevice::Permissions modeOf(const QString& path) {
    return QFile::permissions(path) &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

// Puts the permissions a file had back on whatever file holds its path when
// the write ends, whichever way it ends.
class PermissionRestorer {
  public:
    explicit PermissionRestorer(const QString& path) : m_path(path), m_saved(modeOf(path)) {}
    ~PermissionRestorer() {
        if (modeOf(m_path) != m_saved)
            QFile::setPermissions(m_path, m_saved);
    }
    PermissionRestorer(const PermissionRestorer&) = delete;
    PermissionRestorer& operator=(const PermissionRestorer&) = delete;

    QFileDevice::Permissions saved() const { return m_saved; }

  private:
    QString m_path;
    QFileDevice::Permissions m_saved;
};

// Moves the finished temporary file over the original in one step, so that
// the path always holds either the old file or the new one.
bool replaceFile(const QString& tempPath, const QString& path,
                 const PermissionRestorer& permissions) {
    // Some platforms refuse to replace a read-only file: writable for this
    // step only; the restorer makes it read-only again on either outcome.
    if (!(permissions.saved() & QFileDevice::WriteOwner))
        QFile::setPermissions(path, permissions.saved() | QFileDevice::WriteOwner);
    std::error_code error;
    std::filesystem::rename(QFileInfo(tempPath).filesystemFilePath(),
                            QFileInfo(path).filesystemFilePath(), error);
    return !error;
}

} // namespace

OggTag readOggTag(const QString& path, qsizetype limit) {
    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw OggTagError(cannotOpen(path, file.errorString()));
    OggTag tag;
    const QString why = OggCommentStream::readComments(file, [&tag, limit](QByteArrayView comment) {
        const qsizetype nameLength = commentNameLength(comment);
        if (nameLength < 0)
            return;
        const QByteArrayView name = comment.first(nameLength);
        for (const TagKey& key : kKeys)
            if (name.compare(key.key, Qt::CaseInsensitive) == 0) {
                tag.*key.field = tagValue(comment.sliced(nameLength + 1), limit);
                break;
            }
    });
    if (!why.isEmpty())
        throw OggTagError(cannotOpen(path, why));
    return tag;
}

bool writeOggTag(const QString& path, const OggTag& tag) {
    OggCommentStream editor;
    QFile in(path);
    openHeaders(editor, in, path);
    PermissionRestorer permissions(path);

    const QString tempPath = oggTempPath(path);
    TempFile temp(tempPath);
    if (!temp.create())
        throw OggTagError(
            QStringLiteral("Cannot create %1: %2").arg(tempPath, temp.file().errorString()));
    // Nobody may read the new content whom the file's permissions keep out.
    temp.file().setPermissions(permissions.saved() | QFileDevice::WriteOwner);

    editor.comments().comments = oggComments(tag);
    const bool written = editor.write(&temp.file());
    // A failing read ends the input early, which the editor cannot tell from
    // its end: the copy would be short.
    QString why;
    if (temp.file().error() != QFileDevice::NoError)
        why = temp.file().errorString();
    else if (in.error() != QFileDevice::NoError)
        why = in.errorString();
    else if (!written)
        why = editor.lastError();
    if (why.isEmpty()) {
        temp.file().flush();
        temp.file().close();
        if (temp.file().error() != QFileDevice::NoError)
            why = temp.file().errorString();
    }
    if (!why.isEmpty() || !written)
        throw OggTagError(why.isEmpty() ? QStringLiteral("Cannot write comments")
                                        : QStringLiteral("Cannot write comments: ") + why);
    in.close();

    if (!replaceFile(tempPath, path, permissions))
        return false;
    temp.keep();
    return true;
}

QList<QByteArray> oggComments(const OggTag& tag) {
    QList<QByteArray> comments;
    for (int slot : kWritingOrder) {
        const QString& value = tag.*kKeys[slot].field;
        if (!value.isEmpty())
            comments.append(QByteArray(kKeys[slot].prefix) + value.toUtf8());
    }
    return comments;
}

QString oggTempPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot < 0 ? path.size() : path.size() - name.size() + dot;
    QString temp = path.left(cut) + QStringLiteral(".temp");
    if (temp == path)
        temp = path + QStringLiteral(".temp");
    return temp;
}

QList<StrComment> listComments(const QList<QByteArray>& comments) {
    QList<StrComment> list;
    list.reserve(comments.size());
    for (const QByteArray& comment : comments) {
        const qsizetype equals = commentNameLength(comment);
        StrComment entry;
        if (equals >= 0) {
            entry.name = comment.left(equals);
            entry.value =
                QString::fromUtf8(comment.constData() + equals + 1, comment.size() - equals - 1);
        } else {
            entry.value = QString::fromUtf8(comment);
        }
        list.append(entry);
    }
    return list;
}

qint64 readStreamCallback(void* buffer, std::size_t itemSize, std::size_t itemCount, void* stream) {
    if (itemSize == 0 || itemCount == 0 || !stream ||
        itemCount > std::size_t(std::numeric_limits<qint64>::max()) / itemSize)
        return 0;
    const qint64 got = static_cast<QIODevice*>(stream)->read(static_cast<char*>(buffer),
                                                             qint64(itemSize * itemCount));
    return got <= 0 ? 0 : got / qint64(itemSize);
}

qint64 writeStreamCallback(const void* buffer, std::size_t itemSize, std::size_t itemCount,
                           void* stream) {
    if (itemSize == 0)
        return -1;
    if (itemCount == 0 || !stream ||
        itemCount > std::size_t(std::numeric_limits<qint64>::max()) / itemSize)
        return 0;
    const qint64 wrote = static_cast<QIODevice*>(stream)->write(static_cast<const char*>(buffer),
                                                                qint64(itemSize * itemCount));
    return wrote <= 0 ? 0 : wrote / qint64(itemSize);
}

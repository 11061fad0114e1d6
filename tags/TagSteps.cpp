#include "tags/TagSteps.h"

#include "audio/AudioError.h"
#include "tags/Id3Tag.h"
#include "tags/OggTag.h"
#include "tags/WmaTag.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace {

AudioError tagWriteError(const QString& path, const QString& why) {
    return AudioError(
        QStringLiteral("Cannot write the tags of %1: %2").arg(QDir::toNativeSeparators(path), why));
}

void writeOgg(const QString& path, const FileTags& tags) {
    bool replaced = false;
    try {
        replaced = writeOggTag(path, oggOutputTag(tags));
    } catch (const std::exception& e) {
        throw tagWriteError(path, QString::fromStdString(e.what()));
    }
    if (!replaced)
        throw tagWriteError(path, QStringLiteral("the tagged copy could not replace it"));
}

// A piece never carries its source's comment.
FileTags pieceTags(const FileTags& tags) {
    FileTags carried = tags;
    carried.comment.clear();
    return carried;
}

void writeMp3(const QString& path, const FileTags& tags) {
    try {
        writeId3v2(path, recordOf(pieceTags(tags), id3v2TagFields));
    } catch (const std::exception& e) {
        throw tagWriteError(path, QString::fromStdString(e.what()));
    }
}

void writeWma(const QString& path, const FileTags& tags) {
    if (!writeWmaTag(path, recordOf(pieceTags(tags), wmaTagFields)))
        throw tagWriteError(path, QStringLiteral("the attributes could not be saved"));
}

} // namespace

OggTag oggOutputTag(const FileTags& tags) {
    return recordOf(pieceTags(tags), oggTagFields);
}

QList<QByteArray> oggOutputComments(const FileTags& tags) {
    return oggComments(oggOutputTag(tags));
}

QByteArray id3v2OutputTag(const FileTags& tags) {
    try {
        return buildId3v2(recordOf(pieceTags(tags), id3v2TagFields));
    } catch (const std::exception& e) {
        throw AudioError(
            QStringLiteral("Cannot make the ID3v2 tag: %1").arg(QString::fromStdString(e.what())));
    }
}

void copyTagsToOutput(const QString& path, const FileTags& tags) {
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("ogg"))
        writeOgg(path, tags);
    else if (extension == QLatin1String("mp3"))
        writeMp3(path, tags);
    else if (extension == QLatin1String("wma"))
        writeWma(path, tags);
}

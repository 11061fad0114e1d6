#include "commands/TagSteps.h"

#include "joblist/TimeText.h"
#include "tags/Id3Tag.h"
#include "tags/OggTag.h"
#include "tags/WmaTag.h"

#include <QFileInfo>

namespace {

SourceTags fromOgg(const QString& path, AddWay way) {
    const OggTag tag = readOggTag(path);
    SourceTags result;
    const QString cleaned = captionOfTitle(tag.title);
    // A folder's files show their titles as read: their captions are not
    // cleaned (the output names built from them are).
    result.caption = way == AddWay::Folder ? tag.title : cleaned;
    result.tags.title = cleaned;
    result.tags.artist = tag.artist;
    result.tags.album = tag.album;
    result.tags.comment = tag.comment;
    result.tags.genre = tag.genre;
    return result;
}

SourceTags fromMp3(const QString& path) {
    SourceTags result;
    result.caption = captionOfTitle(readId3v1(path).title());
    // An ID3v2 title wins over the ID3v1 one; the record holds the ID3v2 texts.
    const Id3v2Tag tag = readId3v2(path);
    const QString title = captionOfTitle(tag.title);
    if (!title.isEmpty())
        result.caption = title;
    result.tags.title = title;
    result.tags.artist = tag.artist;
    result.tags.album = tag.album;
    result.tags.comment = tag.comment;
    result.tags.genre = tag.genre;
    return result;
}

SourceTags fromWma(const QString& path) {
    const WmaTagInfo tag = readWmaTag(path);
    SourceTags result;
    const QString title = wmaFieldText(tag.title);
    result.caption = captionOfTitle(title);
    result.tags.title = title;
    result.tags.artist = wmaFieldText(tag.artist);
    result.tags.album = wmaFieldText(tag.album);
    result.tags.genre = wmaFieldText(tag.genre);
    result.tags.comment = wmaFieldText(tag.description);
    return result;
}

} // namespace

QString captionOfTitle(const QString& title) {
    return trimmedTagText(cleanFileName(title));
}

SourceTags readSourceTags(const QString& path, AddWay way) {
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("ogg"))
        return fromOgg(path, way);
    if (way == AddWay::Folder)
        return {};
    if (extension == QLatin1String("mp3"))
        return fromMp3(path);
    if (extension == QLatin1String("wma"))
        return fromWma(path);
    return {};
}

#include "tags/TagSteps.h"

#include "tags/Id3Tag.h"
#include "tags/OggTag.h"
#include "tags/TagText.h"
#include "tags/WmaTag.h"

#include <QFileInfo>
#include <exception>
#include <taglib/id3v1genres.h>

namespace {

SourceTags fromOgg(const QString& path, AddWay way) {
    const OggTag tag = readOggTag(path, TagTextLimit);
    SourceTags result;
    const QString cleaned = captionOfTitle(tag.title);
    // A folder's files show their titles as read: their captions are not
    // cleaned (the output names built from them are), only kept on one line.
    result.caption = way == AddWay::Folder ? withoutControls(tag.title) : cleaned;
    result.tags.title = cleaned;
    result.tags.artist = tag.artist;
    result.tags.album = tag.album;
    result.tags.year = tag.date;
    result.tags.comment = tag.comment;
    result.tags.genre = tag.genre;
    return result;
}

// The name of an ID3v1 genre number; empty for 255 (none) and numbers no
// list names.
QString id3v1GenreName(const Id3v1Block& block) {
    if (!block.hasTag())
        return {};
    return QString::fromUtf8(TagLib::ID3v1::genre(block.genre()).toCString(true));
}

SourceTags fromMp3(const QString& path) {
    const Id3v1Block v1 = readId3v1(path);
    const Id3v2Tag v2 = readId3v2(path);
    // The ID3v2 text wins where it has one; the ID3v1 block fills every field
    // it lacks, the title (the caption) too.
    const auto either = [](const QString& v2Text, const QString& v1Text) {
        return v2Text.isEmpty() ? trimmedTagText(v1Text) : v2Text;
    };
    SourceTags result;
    QString title = captionOfTitle(v2.title);
    if (title.isEmpty())
        title = captionOfTitle(v1.title());
    result.caption = title;
    result.tags.title = title;
    result.tags.artist = either(v2.artist, v1.artist());
    result.tags.album = either(v2.album, v1.album());
    result.tags.year = either(v2.year, v1.year());
    result.tags.comment = either(v2.comment, v1.comment());
    result.tags.genre = either(v2.genre, id3v1GenreName(v1));
    return result;
}

SourceTags fromWma(const QString& path) {
    const WmaTagInfo tag = readWmaTag(path);
    SourceTags result;
    result.caption = captionOfTitle(tag.title);
    result.tags.title = tag.title;
    result.tags.artist = tag.artist;
    result.tags.album = tag.album;
    result.tags.year = tag.year;
    result.tags.genre = tag.genre;
    result.tags.comment = tag.description;
    return result;
}

SourceTags readByExtension(const QString& path, AddWay way) {
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

} // namespace

SourceTags readSourceTags(const QString& path, AddWay way) noexcept {
    try {
        SourceTags read = readByExtension(path, way);
        read.caption = cutTagText(read.caption);
        for (QString* text : {&read.tags.title, &read.tags.artist, &read.tags.year,
                              &read.tags.album, &read.tags.comment, &read.tags.genre})
            *text = cutTagText(*text);
        return read;
    } catch (const std::exception&) {
        // Whether the file can be played is for its reader to say.
        return {};
    }
}

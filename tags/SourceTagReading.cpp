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
    result.tags = fileTagsOf(tag, oggTagFields);
    result.tags.title = captionOfTitle(tag.title);
    // A folder's files show their titles as read: their captions are not
    // cleaned (the output names built from them are), only kept on one line.
    result.caption = way == AddWay::Folder ? withoutControls(tag.title) : result.tags.title;
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
    const FileTags v1Tags{.title = v1.title(),
                          .artist = v1.artist(),
                          .year = v1.year(),
                          .album = v1.album(),
                          .comment = v1.comment(),
                          .genre = id3v1GenreName(v1)};
    SourceTags result;
    result.tags = fileTagsOf(v2, id3v2TagFields);
    result.tags.title = captionOfTitle(v2.title);
    if (result.tags.title.isEmpty())
        result.tags.title = captionOfTitle(v1Tags.title);
    for (QString FileTags::*field : {&FileTags::artist, &FileTags::year, &FileTags::album,
                                     &FileTags::comment, &FileTags::genre}) {
        QString& text = result.tags.*field;
        if (text.isEmpty())
            text = trimmedTagText(v1Tags.*field);
    }
    result.caption = result.tags.title;
    return result;
}

SourceTags fromWma(const QString& path) {
    const WmaTagInfo tag = readWmaTag(path);
    SourceTags result;
    result.caption = captionOfTitle(tag.title);
    result.tags = fileTagsOf(tag, wmaTagFields);
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

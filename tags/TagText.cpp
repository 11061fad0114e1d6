#include "tags/TagText.h"

namespace {

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

template <typename Drop> QString without(const QString& text, Drop drop) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!drop(c))
            out.append(c);
    return out;
}

} // namespace

QString cleanFileName(const QString& text) {
    static const QString forbidden = QStringLiteral("*?|:\"/\\<>");
    return without(text, [](QChar c) { return isControl(c) || forbidden.contains(c); });
}

QString withoutControls(const QString& text) {
    return without(text, isControl);
}

QString trimmedTagText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

QString cutTagText(const QString& text, qsizetype limit) {
    qsizetype units = 0;
    for (qsizetype characters = 0; characters < limit && units < text.size(); ++characters)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() &&
                         text.at(units + 1).isLowSurrogate()
                     ? 2
                     : 1;
    return units == text.size() ? text : text.left(units);
}

QString captionOfTitle(const QString& title) {
    return trimmedTagText(cleanFileName(title));
}

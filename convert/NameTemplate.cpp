#include "convert/NameTemplate.h"

#include "tags/TagText.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>

namespace NameTemplate {

namespace {

const std::array<QLatin1StringView, 6> Fields = {
    QLatin1StringView("source"), QLatin1StringView("n"),     QLatin1StringView("title"),
    QLatin1StringView("artist"), QLatin1StringView("album"), QLatin1StringView("start")};

QString startText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(0, seconds);
    return QStringLiteral("%1-%2-%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString valueOf(QStringView field, const PieceFields& f) {
    if (field == QLatin1StringView("source"))
        return f.source;
    if (field == QLatin1StringView("n")) {
        const int width = int(QString::number(std::max<std::int64_t>(1, f.count)).size());
        return QStringLiteral("%1").arg(f.number, width, 10, QLatin1Char('0'));
    }
    if (field == QLatin1StringView("title"))
        return f.tags.title;
    if (field == QLatin1StringView("artist"))
        return f.tags.artist;
    if (field == QLatin1StringView("album"))
        return f.tags.album;
    return startText(f.startSeconds);
}

bool known(QStringView field) {
    for (const QLatin1StringView& name : Fields)
        if (field == name)
            return true;
    return false;
}

} // namespace

QString problem(const QString& text) {
    for (qsizetype open = text.indexOf(QLatin1Char('{')); open >= 0;
         open = text.indexOf(QLatin1Char('{'), open + 1)) {
        const qsizetype close = text.indexOf(QLatin1Char('}'), open + 1);
        const QStringView field = close < 0 ? QStringView(text).mid(open + 1)
                                            : QStringView(text).mid(open + 1, close - open - 1);
        if (close >= 0 && known(field))
            continue;
        QStringList names;
        for (const QLatin1StringView& name : Fields)
            names << QLatin1Char('{') + QString(name) + QLatin1Char('}');
        const QString shown =
            close < 0 ? QCoreApplication::translate("NameTemplate", "\"%1\" without its \"}\"")
                            .arg(text.mid(open))
                      : QLatin1Char('{') + field.toString() + QLatin1Char('}');
        return QCoreApplication::translate(
                   "NameTemplate",
                   "The name template \"%1\" holds an unknown field %2; the fields are %3.")
            .arg(text, shown, names.join(QStringLiteral(", ")));
    }
    return QString();
}

QString expand(const QString& text, const PieceFields& fields) {
    if (!problem(text).isEmpty())
        return QString();
    QString name;
    qsizetype from = 0;
    for (qsizetype open = text.indexOf(QLatin1Char('{')); open >= 0;
         open = text.indexOf(QLatin1Char('{'), from)) {
        const qsizetype close = text.indexOf(QLatin1Char('}'), open + 1);
        name += cleanFileName(text.mid(from, open - from));
        name += cleanFileName(valueOf(QStringView(text).mid(open + 1, close - open - 1), fields));
        from = close + 1;
    }
    name += cleanFileName(text.mid(from));
    return trimmedTagText(name);
}

} // namespace NameTemplate

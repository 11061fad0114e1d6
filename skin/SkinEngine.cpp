// The skin engine (see SkinEngine.h). The description is JSON:
//   { "forms": [ { "name", "size": [w, h], "colors": { role: "#rrggbb" (or "#rgb", "#aarrggbb") },
//                  "decorations": [ { "type", "rect": [x, y, w, h], "text", "style" } ],
//                  "objects": [ { "name", "kind", "rect", "label", "icon", "tooltip",
//                                 "style", "text", "max", "page", "position" } ] } ] }
// Anything malformed is refused as a whole, so a form never comes half loaded.
#include "skin/SkinEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <memory>
#include <optional>

namespace {

// The shipped skin's captions, tips and headings, for the translators: a
// skin's texts are shown in the window's language where a translation exists
// (another skin's texts stay as written).
[[maybe_unused]] constexpr const char* ShippedTexts[] = {
    QT_TRANSLATE_NOOP("Skin", "FILES"),
    QT_TRANSLATE_NOOP("Skin", "FORMAT"),
    QT_TRANSLATE_NOOP("Skin", "TOTAL LENGTH"),
    QT_TRANSLATE_NOOP("Skin", "File"),
    QT_TRANSLATE_NOOP("Skin", "File menu: add files or a folder, remove a file, exit"),
    QT_TRANSLATE_NOOP("Skin", "Action"),
    QT_TRANSLATE_NOOP("Skin", "Action menu: reorder, tags, split, join and stop"),
    QT_TRANSLATE_NOOP("Skin", "Settings"),
    QT_TRANSLATE_NOOP("Skin", "Split mode, output folder, fades and Ogg Vorbis encoding"),
    QT_TRANSLATE_NOOP("Skin", "Help"),
    QT_TRANSLATE_NOOP("Skin", "Help menu: contents, home page, about"),
    QT_TRANSLATE_NOOP("Skin", "Guide"),
    QT_TRANSLATE_NOOP("Skin", "Open the help page"),
    QT_TRANSLATE_NOOP("Skin", "The selected file"),
    QT_TRANSLATE_NOOP("Skin", "Add"),
    QT_TRANSLATE_NOOP("Skin", "Add audio files to the list"),
    QT_TRANSLATE_NOOP("Skin", "Up"),
    QT_TRANSLATE_NOOP("Skin", "Move the selected file up"),
    QT_TRANSLATE_NOOP("Skin", "Down"),
    QT_TRANSLATE_NOOP("Skin", "Move the selected file down"),
    QT_TRANSLATE_NOOP("Skin", "Remove"),
    QT_TRANSLATE_NOOP(
        "Skin",
        "Remove the selected file, or the selected piece when the piece list was clicked last"),
    QT_TRANSLATE_NOOP("Skin", "Clear"),
    QT_TRANSLATE_NOOP("Skin",
                      "Empty the list, or reset the pieces when the piece list was clicked last"),
    QT_TRANSLATE_NOOP("Skin", "Options"),
    QT_TRANSLATE_NOOP("Skin", "Settings: split mode, output folder, fades and encoding"),
    QT_TRANSLATE_NOOP("Skin", "Position: drag to seek or to choose a begin or end time"),
    QT_TRANSLATE_NOOP("Skin", "Time at the slider position"),
    QT_TRANSLATE_NOOP("Skin", "Play"),
    QT_TRANSLATE_NOOP("Skin", "Play the selected file or piece"),
    QT_TRANSLATE_NOOP("Skin", "Stop"),
    QT_TRANSLATE_NOOP("Skin", "Stop playing"),
    QT_TRANSLATE_NOOP("Skin", "Back"),
    QT_TRANSLATE_NOOP("Skin", "Step back"),
    QT_TRANSLATE_NOOP("Skin", "Fwd"),
    QT_TRANSLATE_NOOP("Skin", "Step forward"),
    QT_TRANSLATE_NOOP("Skin", "Begin"),
    QT_TRANSLATE_NOOP("Skin", "Mark the slider position as the begin of the piece"),
    QT_TRANSLATE_NOOP("Skin", "End"),
    QT_TRANSLATE_NOOP("Skin", "Mark the slider position as the end of the piece"),
    QT_TRANSLATE_NOOP("Skin", "OK"),
    QT_TRANSLATE_NOOP("Skin", "Confirm the piece and start a new one"),
    QT_TRANSLATE_NOOP("Skin", "Split"),
    QT_TRANSLATE_NOOP("Skin",
                      "Write every piece as its own Ogg Vorbis file, then open the output folder"),
    QT_TRANSLATE_NOOP("Skin", "Join"),
    QT_TRANSLATE_NOOP("Skin", "Join all pieces of all files into one Ogg Vorbis file"),
    QT_TRANSLATE_NOOP("Skin", "Stop playing and stop the conversion"),
    QT_TRANSLATE_NOOP("Skin", "Total length of the output"),
    QT_TRANSLATE_NOOP("Skin", "Conversion progress"),
    QT_TRANSLATE_NOOP("Skin", "Position"),
};

QString shown(const QString& text) {
    return text.isEmpty() ? text : QCoreApplication::translate("Skin", text.toUtf8().constData());
}

struct Invalid {
    QString reason;
};

// "#rgb", "#rrggbb" or "#aarrggbb" as 0xAARRGGBB. The skin model stays free of
// Qt Gui, so that the programs without a window need none of it.
std::optional<quint32> colourOf(const QString& text) {
    const qsizetype digits = text.size() - 1;
    if (!text.startsWith(u'#') || (digits != 3 && digits != 6 && digits != 8))
        return std::nullopt;
    quint32 value = 0;
    for (const QChar c : QStringView(text).mid(1)) {
        const int digit = QStringView(u"0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    if (digits == 8)
        return value;
    if (digits == 6)
        return 0xFF000000u | value;
    const quint32 r = (value >> 8) & 0xF, g = (value >> 4) & 0xF, b = value & 0xF;
    return 0xFF000000u | (r * 0x11u) << 16 | (g * 0x11u) << 8 | b * 0x11u;
}

QRect rectOf(const QJsonValue& value, const QString& what) {
    const QJsonArray a = value.toArray();
    if (a.size() != 4)
        throw Invalid{QStringLiteral("%1 needs a rectangle [x, y, width, height]").arg(what)};
    for (const QJsonValue& v : a) {
        if (!v.isDouble())
            throw Invalid{QStringLiteral("%1 has a rectangle that is not four numbers").arg(what)};
    }
    const QRect r(a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.at(3).toInt());
    if (r.width() < 0 || r.height() < 0)
        throw Invalid{QStringLiteral("%1 has a negative size").arg(what)};
    return r;
}

SkinObject::Kind kindOf(const QString& text, const QString& what) {
    if (text == QLatin1String("button"))
        return SkinObject::Kind::Button;
    if (text == QLatin1String("slider"))
        return SkinObject::Kind::Slider;
    if (text == QLatin1String("text"))
        return SkinObject::Kind::Text;
    if (text == QLatin1String("bar"))
        return SkinObject::Kind::Bar;
    throw Invalid{QStringLiteral("%1 has the unknown kind \"%2\"").arg(what, text)};
}

std::unique_ptr<SkinForm> formOf(const QJsonObject& json) {
    const QString name = json.value(QLatin1String("name")).toString();
    if (name.isEmpty())
        throw Invalid{QStringLiteral("a form has no name")};
    const QString formWhat = QStringLiteral("form \"%1\"").arg(name);
    const QJsonArray size = json.value(QLatin1String("size")).toArray();
    if (size.size() != 2 || !size.at(0).isDouble() || !size.at(1).isDouble())
        throw Invalid{QStringLiteral("%1 needs a size [width, height]").arg(formWhat)};

    auto form = std::make_unique<SkinForm>(name, QSize(size.at(0).toInt(), size.at(1).toInt()));

    const QJsonObject colors = json.value(QLatin1String("colors")).toObject();
    for (auto it = colors.constBegin(); it != colors.constEnd(); ++it) {
        const std::optional<quint32> c = colourOf(it.value().toString());
        if (!c)
            throw Invalid{
                QStringLiteral("%1 has an invalid colour for \"%2\"").arg(formWhat, it.key())};
        form->colors.insert(it.key(), *c);
    }

    for (const QJsonValue& v : json.value(QLatin1String("decorations")).toArray()) {
        const QJsonObject d = v.toObject();
        SkinDecoration deco;
        deco.type = d.value(QLatin1String("type")).toString();
        if (deco.type.isEmpty())
            throw Invalid{QStringLiteral("%1 has a decoration without a type").arg(formWhat)};
        deco.rect = rectOf(d.value(QLatin1String("rect")),
                           QStringLiteral("a decoration of %1").arg(formWhat));
        deco.text = shown(d.value(QLatin1String("text")).toString());
        deco.style = d.value(QLatin1String("style")).toString();
        form->decorations.append(deco);
    }

    const QJsonArray objects = json.value(QLatin1String("objects")).toArray();
    for (const QJsonValue& v : objects) {
        const QJsonObject o = v.toObject();
        const QString objName = o.value(QLatin1String("name")).toString();
        if (objName.isEmpty())
            throw Invalid{QStringLiteral("%1 has an object without a name").arg(formWhat)};
        const QString what = QStringLiteral("object \"%1\"").arg(objName);
        if (form->FindObject(objName))
            throw Invalid{QStringLiteral("%1 appears twice in %2").arg(what, formWhat)};
        auto* object =
            new SkinObject(objName, kindOf(o.value(QLatin1String("kind")).toString(), what),
                           rectOf(o.value(QLatin1String("rect")), what));
        form->addObject(object);
        object->label = shown(o.value(QLatin1String("label")).toString());
        object->icon = o.value(QLatin1String("icon")).toString();
        object->tooltip = shown(o.value(QLatin1String("tooltip")).toString());
        object->style = o.value(QLatin1String("style")).toString();
        object->setText(o.value(QLatin1String("text")).toString());
        object->setSliderMax(o.value(QLatin1String("max")).toInt(100));
        object->setSliderPage(o.value(QLatin1String("page")).toInt(0));
        object->setSliderPosition(o.value(QLatin1String("position")).toInt(0));
    }
    return form;
}

} // namespace

SkinEngine::SkinEngine(QObject* parent) : QObject(parent) {}

SkinEngine::~SkinEngine() {
    qDeleteAll(m_forms);
}

void SkinEngine::loadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SkinError(
            QStringLiteral("Unable to read the skin file %1: %2").arg(path, file.errorString()));
    const QByteArray data = file.readAll();

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    const auto refuse = [&path](const QString& reason) {
        throw SkinError(QStringLiteral("The skin file %1 is not a valid skin description: %2")
                            .arg(path, reason));
    };
    if (parseError.error != QJsonParseError::NoError)
        refuse(
            QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
    if (!doc.isObject())
        refuse(QStringLiteral("no description object"));

    std::vector<std::unique_ptr<SkinForm>> forms;
    try {
        const QJsonArray jsonForms = doc.object().value(QLatin1String("forms")).toArray();
        for (const QJsonValue& v : jsonForms) {
            auto form = formOf(v.toObject());
            for (const auto& f : forms) {
                if (f->name() == form->name())
                    throw Invalid{QStringLiteral("form \"%1\" appears twice").arg(form->name())};
            }
            forms.push_back(std::move(form));
        }
    } catch (const Invalid& e) {
        refuse(e.reason);
    }
    if (forms.empty())
        refuse(QStringLiteral("it holds no form"));

    // Windows drawn with the old forms lose them; their views draw nothing.
    const QList<QObject*> windows = m_applied.keys();
    m_applied.clear();
    for (QObject* window : windows)
        emit formApplied(window, nullptr);
    qDeleteAll(m_forms);
    m_forms.clear();
    for (auto& f : forms) {
        f->setParent(this);
        m_forms.append(f.release());
    }
    m_path = path;
}

void SkinEngine::applySkin(QObject* window) {
    if (!window)
        return;
    if (m_forms.isEmpty())
        throw SkinError(QStringLiteral("No skin is loaded"));
    if (!m_applied.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { forget(window); });
    m_applied.insert(window, m_forms.constFirst());
    emit formApplied(window, m_forms.constFirst());
}

void SkinEngine::applyFormSkin(QObject* window, const QString& formName) {
    if (!window)
        return;
    SkinForm* form = formNamed(formName);
    if (!form)
        throw SkinError(
            QStringLiteral("The skin file %1 has no form \"%2\"").arg(m_path, formName));
    if (!m_applied.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { forget(window); });
    m_applied.insert(window, form);
    emit formApplied(window, form);
}

SkinForm* SkinEngine::skinForm(QObject* window) const {
    return m_applied.value(window, nullptr);
}

QStringList SkinEngine::formNames() const {
    QStringList names;
    for (const SkinForm* f : m_forms)
        names << f->name();
    return names;
}

SkinForm* SkinEngine::formNamed(const QString& name) const {
    for (SkinForm* f : m_forms) {
        if (f->name() == name)
            return f;
    }
    return nullptr;
}

void SkinEngine::forget(QObject* window) {
    m_applied.remove(window);
}

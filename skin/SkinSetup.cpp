// The skin set-up (see SkinSetup.h).
#include "skin/SkinSetup.h"

#include "core/Resources.h"
#include "skin/SkinEngine.h"

QString defaultSkinPath() {
    return QStringLiteral(":/skin/pelmora.json");
}

SkinParts setUpSkin(SkinEngine& engine, QObject* window, const QString& skinPath) {
    initCadeloResources();
    engine.LoadSkin(skinPath);
    engine.ApplySkin(window);
    engine.ApplyFormSkin(window, QStringLiteral("Pelmora"));

    const auto find = [&](const char* name) -> SkinObject* {
        SkinForm* form = engine.GetSkinForm(window);
        return form ? form->FindObject(QString::fromLatin1(name)) : nullptr;
    };
    SkinParts parts;
    parts.pb = find("pb");
    parts.timecaption = find("timecaption");
    parts.tataltime = find("tataltime");
    parts.nm = find("nm");
    parts.pbpos = find("pbpos");
    parts.convertpb = find("convertpb");

    // A skin without one of the objects is still shown; the parts that write
    // to an object test for it rather than crash.
    if (parts.convertpb) {
        parts.convertpbHome = parts.convertpb->GetObjectRect();
        QRect empty = parts.convertpbHome;
        empty.setWidth(0);
        parts.convertpb->SetObjectRect(empty);
        parts.convertpb->RedrawObject();
    }
    if (parts.pb) {
        parts.pb->SetSliderPosition(0);
        parts.pb->RedrawObject();
    }
    if (parts.pbpos) {
        parts.pbpos->SetObjectText(QString());
        parts.pbpos->RedrawObject();
    }
    return parts;
}

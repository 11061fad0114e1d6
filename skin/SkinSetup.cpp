// The skin set-up (see SkinSetup.h).
#include "skin/SkinSetup.h"

#include "core/Resources.h"
#include "skin/SkinEngine.h"

QString defaultSkinPath() {
    return QStringLiteral(":/skin/pelmora.json");
}

SkinParts setUpSkin(SkinEngine& engine, QObject* window, const QString& skinPath) {
    initCadeloResources();
    engine.loadSkin(skinPath);
    engine.applySkin(window);
    engine.applyFormSkin(window, QStringLiteral("Pelmora"));

    const auto find = [&](const char* name) -> SkinObject* {
        SkinForm* form = engine.skinForm(window);
        return form ? form->FindObject(QString::fromLatin1(name)) : nullptr;
    };
    SkinParts parts;
    parts.slider = find("pb");
    parts.timecaption = find("timecaption");
    parts.totalTime = find("tataltime");
    parts.pathLabel = find("nm");
    parts.pbpos = find("pbpos");
    parts.convertpb = find("convertpb");

    // A skin without one of the objects is still shown; the parts that write
    // to an object test for it rather than crash.
    if (parts.convertpb) {
        parts.convertpbHome = parts.convertpb->rect();
        QRect empty = parts.convertpbHome;
        empty.setWidth(0);
        parts.convertpb->setRect(empty);
        parts.convertpb->redraw();
    }
    if (parts.slider) {
        parts.slider->setSliderPosition(0);
        parts.slider->redraw();
    }
    if (parts.pbpos) {
        parts.pbpos->setText(QString());
        parts.pbpos->redraw();
    }
    return parts;
}

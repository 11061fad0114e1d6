// The skin set-up (see SkinSetup.h).
#include "skin/SkinSetup.h"

#include "core/MainState.h"
#include "core/Resources.h"
#include "skin/SkinEngine.h"

QString defaultSkinPath() {
    return QStringLiteral(":/skin/pelmora.json");
}

void SetUpSkin(MainState& s, SkinEngine& engine, QObject* window, const QString& skinPath,
               const std::function<void()>& refreshTotal) {
    initCadeloResources();
    engine.LoadSkin(skinPath);
    engine.ApplySkin(window);
    engine.ApplyFormSkin(window, QStringLiteral("Pelmora"));

    const auto find = [&](const char* name) -> SkinObject* {
        SkinForm* form = engine.GetSkinForm(window);
        return form ? form->FindObject(QString::fromLatin1(name)) : nullptr;
    };
    s.pb = find("pb");
    s.timecaption = find("timecaption");
    s.tataltime = find("tataltime");
    s.nm = find("nm");
    s.pbpos = find("pbpos");
    s.convertpb = find("convertpb");

    // A skin without one of the objects is still shown; the parts that write
    // to an object test for it rather than crash.
    if (s.convertpb)
        s.convertpbHome = s.convertpb->GetObjectRect();
    if (s.pb) {
        s.pb->SetSliderPosition(0);
        s.pb->RedrawObject();
    }
    if (s.convertpb) {
        QRect empty = s.convertpbHome;
        empty.setWidth(0);
        s.convertpb->SetObjectRect(empty);
        s.convertpb->RedrawObject();
    }
    if (s.pbpos) {
        s.pbpos->SetObjectText(QString());
        s.pbpos->RedrawObject();
    }
    if (refreshTotal)
        refreshTotal();
}

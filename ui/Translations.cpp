// The window's language (see Translations.h).
#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installTranslations(QCoreApplication& app, const QLocale& locale) {
    // Owned by the application, which outlives every text that is looked up.
    auto* qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    auto* own = new QTranslator(&app);
    if (own->load(locale, QStringLiteral("cadelo"), QStringLiteral("_"),
                  QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(own);
        return true;
    }
    delete own;
    return false;
}

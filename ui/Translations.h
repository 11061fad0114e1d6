// The window's language: its own texts and Qt's (the standard dialogs'
// buttons) in the language of a locale, English where none is shipped.
#pragma once

class QCoreApplication;
class QLocale;

// Installs on `app` the translations for `locale`: the program's own, embedded
// in it, and Qt's own where the system has them. True when the program's own
// were found; otherwise nothing of the program's is installed and its texts
// stay English.
bool installTranslations(QCoreApplication& app, const QLocale& locale);

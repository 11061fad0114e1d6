// The program's fixed names, versions and addresses.
#pragma once

#include <QString>

struct AppInfo {
    // The title that marks a running copy; the main window's caption is productName.
    static QString applicationTitle() { return QStringLiteral("Cadelo V1.00"); }
    static QString productName() { return QStringLiteral("Cadelo"); }
    // The version the about dialog shows; it differs from the title's on purpose.
    static QString aboutVersion() { return QStringLiteral("3.00"); }
    static QString homePage() { return QStringLiteral("https://cadelo.org/"); }
    static QString salesMail() { return QStringLiteral("sales@cadelo.org"); }
    static QString supportMail() { return QStringLiteral("support@cadelo.org"); }
};

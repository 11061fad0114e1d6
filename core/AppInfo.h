// The program's fixed names, versions and addresses.
#pragma once

#include <QString>

namespace AppInfo {

// The title that marks a running copy; the main window's caption is ProductName.
inline QString applicationTitle() {
    return QStringLiteral("Cadelo V1.00");
}
inline QString productName() {
    return QStringLiteral("Cadelo");
}
// The version the about dialog shows; it differs from the title's on purpose.
inline QString aboutVersion() {
    return QStringLiteral("3.00");
}
inline QString homePage() {
    return QStringLiteral("https://cadelo.org/");
}
inline QString salesMail() {
    return QStringLiteral("sales@cadelo.org");
}
inline QString supportMail() {
    return QStringLiteral("support@cadelo.org");
}

} // namespace AppInfo

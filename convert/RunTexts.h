// What the runs write into the span rows and show of a component's failure.
#pragma once

#include <QString>
#include <exception>

namespace RunTexts {

inline const QString StatusOK = QStringLiteral("OK");
inline const QString StatusConverting = QStringLiteral("Converting");
inline const QString StatusFinish = QStringLiteral("Finish");

inline QString errorText(const std::exception& e) {
    return QString::fromStdString(e.what());
}

} // namespace RunTexts

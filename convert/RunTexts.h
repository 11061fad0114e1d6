// What the runs write into the span rows and show of a component's failure.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <exception>

namespace RunTexts {

inline const QString StatusOK = QStringLiteral("OK");
inline const QString StatusConverting = QStringLiteral("Converting");
inline const QString StatusFinish = QStringLiteral("Finish");
// Shown translated by the span list (context "SpanStatus").
inline constexpr const char* ShownRunStatuses[] = {QT_TRANSLATE_NOOP("SpanStatus", "Converting"),
                                                   QT_TRANSLATE_NOOP("SpanStatus", "Finish")};

inline QString errorText(const std::exception& e) {
    return QString::fromStdString(e.what());
}

} // namespace RunTexts

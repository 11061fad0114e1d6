// Loading and saving the nine cached settings (see Settings.h).
#include "core/Settings.h"

#include "core/IniFile.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace {

const QString FileName = QStringLiteral("VAZOzojoin.ini");
const QString FormatSection = QStringLiteral("Output");
const QString FormatKey = QStringLiteral("NoReencoding");
const QString CodecKey = QStringLiteral("Format"); // ogg, flac or opus

bool endsWithSeparator(const QString& dir) {
    return dir.endsWith(QDir::separator()) || dir.endsWith(u'/');
}

const QString SilenceSection = QStringLiteral("Silence");

double readNumber(const IniFile& ini, const QString& key, double fallback) {
    bool ok = false;
    const double v = ini.readString(SilenceSection, key, QString()).trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : fallback;
}

void loadSilence(const IniFile& ini, SilenceSettings& s) {
    const SilenceSettings d;
    s.chosen = ini.readBool(SilenceSection, QStringLiteral("Mode"), d.chosen);
    s.autoThreshold = ini.readBool(SilenceSection, QStringLiteral("Auto"), d.autoThreshold);
    s.thresholdDb = std::min(0.0, readNumber(ini, QStringLiteral("Threshold"), d.thresholdDb));
    s.minPause = std::max(0.0, readNumber(ini, QStringLiteral("MinPause"), d.minPause));
    s.minLength = std::max(0.0, readNumber(ini, QStringLiteral("MinLength"), d.minLength));
    s.maxLength = std::max(0.0, readNumber(ini, QStringLiteral("MaxLength"), d.maxLength));
    s.keepPauses = ini.readBool(SilenceSection, QStringLiteral("KeepPauses"), d.keepPauses);
    s.snapSeconds = std::max(0.0, readNumber(ini, QStringLiteral("Snap"), d.snapSeconds));
}

// The section is written once it differs from the defaults or exists, so a
// classic file that never used it gets no new lines.
void saveSilence(IniFile& ini, const SilenceSettings& s) {
    const QString marker = QStringLiteral("\x01");
    if (s == SilenceSettings{} &&
        ini.readString(SilenceSection, QStringLiteral("Mode"), marker) == marker)
        return;
    const auto number = [](double v) { return QString::number(v, 'g', 10); };
    ini.writeBool(SilenceSection, QStringLiteral("Mode"), s.chosen);
    ini.writeBool(SilenceSection, QStringLiteral("Auto"), s.autoThreshold);
    ini.writeString(SilenceSection, QStringLiteral("Threshold"), number(s.thresholdDb));
    ini.writeString(SilenceSection, QStringLiteral("MinPause"), number(s.minPause));
    ini.writeString(SilenceSection, QStringLiteral("MinLength"), number(s.minLength));
    ini.writeString(SilenceSection, QStringLiteral("MaxLength"), number(s.maxLength));
    ini.writeBool(SilenceSection, QStringLiteral("KeepPauses"), s.keepPauses);
    ini.writeString(SilenceSection, QStringLiteral("Snap"), number(s.snapSeconds));
}

} // namespace

QString settingsFilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir(folder).filePath(FileName);
}

QString defaultOutputDir() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath() + QStringLiteral("/Music");
    music = QDir::toNativeSeparators(QDir::cleanPath(music));
    if (!endsWithSeparator(music))
        music += QDir::separator();
    return music;
}

void LoadSettings(const IniFile& ini, CachedSettings& s) {
    s.splitMode = SplitMode(ini.readInteger(QStringLiteral("Function"), QStringLiteral("Choice"),
                                            int(SplitMode::Custom)));
    s.outputDir = ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), QString());
    // An empty value names no folder, and a relative one would name a folder
    // beside wherever the program happened to start (a classic file's
    // "C:\My Music\" on this platform): both count as a missing key.
    if (s.outputDir.trimmed().isEmpty() || !QDir::isAbsolutePath(s.outputDir))
        s.outputDir = defaultOutputDir();
    s.splitSeconds = ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 60);
    s.splitCount = ini.readInteger(QStringLiteral("Choice"), QStringLiteral("Count"), 6);
    s.fadeIn = ini.readBool(QStringLiteral("Fade"), QStringLiteral("In"), false);
    s.fadeOut = ini.readBool(QStringLiteral("Fade"), QStringLiteral("Out"), false);
    s.fadeInSeconds = ini.readInteger(QStringLiteral("Fade"), QStringLiteral("Intime"), 5);
    s.fadeOutSeconds = ini.readInteger(QStringLiteral("Fade"), QStringLiteral("Outtime"), 5);
    s.skinOption = ini.readBool(QStringLiteral("PLM"), QStringLiteral("Skin"), false);
    s.nameTemplate =
        ini.readString(QStringLiteral("Output"), QStringLiteral("NameTemplate"), QString());
    loadSilence(ini, s.silence);

    // One level only: a folder whose parent is missing stays missing, and the
    // runs report it when they cannot write there. The result is not checked.
    if (!QDir(s.outputDir).exists())
        QDir().mkdir(s.outputDir);
    if (!endsWithSeparator(s.outputDir))
        s.outputDir += QDir::separator();
}

void SaveSettings(IniFile& ini, const CachedSettings& s) {
    ini.writeInteger(QStringLiteral("Function"), QStringLiteral("Choice"), int(s.splitMode));
    ini.writeString(QStringLiteral("Output"), QStringLiteral("Dir"), s.outputDir);
    ini.writeInteger(QStringLiteral("Choice"), QStringLiteral("time"), s.splitSeconds);
    ini.writeInteger(QStringLiteral("Choice"), QStringLiteral("Count"), s.splitCount);
    ini.writeBool(QStringLiteral("Fade"), QStringLiteral("In"), s.fadeIn);
    ini.writeBool(QStringLiteral("Fade"), QStringLiteral("Out"), s.fadeOut);
    ini.writeInteger(QStringLiteral("Fade"), QStringLiteral("Intime"), s.fadeInSeconds);
    ini.writeInteger(QStringLiteral("Fade"), QStringLiteral("Outtime"), s.fadeOutSeconds);
    ini.writeBool(QStringLiteral("PLM"), QStringLiteral("Skin"), s.skinOption);
    // Written only once a template was set, so that a classic file gains no key.
    const QString absent = QStringLiteral("\n"); // no value of the file holds one
    if (!s.nameTemplate.isEmpty() ||
        ini.readString(QStringLiteral("Output"), QStringLiteral("NameTemplate"), absent) != absent)
        ini.writeString(QStringLiteral("Output"), QStringLiteral("NameTemplate"), s.nameTemplate);
    saveSilence(ini, s.silence);
}

int LoadOutputFormat(const IniFile& ini) {
    if (ini.readInteger(FormatSection, FormatKey, 0) == 1)
        return 1;
    const QString codec = ini.readString(FormatSection, CodecKey, QString()).trimmed().toLower();
    if (codec == QLatin1String("flac"))
        return 2;
    if (codec == QLatin1String("opus"))
        return 3;
    return 0;
}

void SaveOutputFormat(IniFile& ini, int formatIndex) {
    const bool noReencoding = formatIndex == 1;
    if (noReencoding || ini.readInteger(FormatSection, FormatKey, -1) != -1)
        ini.writeBool(FormatSection, FormatKey, noReencoding);
    // The codec's key appears once something other than Ogg Vorbis is chosen.
    const QString codec = formatIndex == 2   ? QStringLiteral("flac")
                          : formatIndex == 3 ? QStringLiteral("opus")
                                             : QStringLiteral("ogg");
    const QString absent = QStringLiteral("\n");
    if (formatIndex >= 2 || ini.readString(FormatSection, CodecKey, absent) != absent)
        ini.writeString(FormatSection, CodecKey, codec);
}

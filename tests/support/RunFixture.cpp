#include "support/RunFixture.h"

#include "core/IniFile.h"
#include "synth/Synth.h"

#include <QDir>
#include <cmath>

void RunFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("src"));
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    state.ini = std::make_unique<IniFile>(dir.filePath(QStringLiteral("VAZOzojoin.ini")));
    state.prompt = &prompt;
    state.settings.OutputDir = outDir;
    state.pbpos = &pbpos;
    state.convertpb = &convertpb;
    state.convertpbHome = convertpb.GetObjectRect();
}

QString RunFixture::makeSource(const QString& name, std::int64_t frames, int rate, int channels) {
    const QString path = dir.filePath(QStringLiteral("src/") + name);
    synth::writeOgg(path, frames, rate, channels, ToneHz);
    return path;
}

void RunFixture::add(const QString& path) {
    jobs.AdmitFile(path, state.lv.rowCount(), JobList::AddFilesFloor);
    jobs.selectRow(0);
    jobs.SelectFile();
}

void RunFixture::setSpans(int file, const Spans& spans) {
    listrecord& r = state.FileList[size_t(file)];
    r.BeginTimes.clear();
    r.EndTimes.clear();
    for (const auto& [b, e] : spans) {
        r.BeginTimes.push_back(b);
        r.EndTimes.push_back(e);
    }
    r.BeginTimes.push_back(0);
    r.EndTimes.push_back(r.Seconds);
    r.SpanCount = std::int32_t(r.BeginTimes.size());
}

QStringList RunFixture::filesInOutput() const {
    return QDir(outDir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

double rms(const std::vector<float>& v, std::int64_t from, std::int64_t count) {
    double sum = 0;
    for (std::int64_t i = from; i < from + count; ++i)
        sum += double(v[size_t(i)]) * v[size_t(i)];
    return count > 0 ? std::sqrt(sum / double(count)) : 0.0;
}

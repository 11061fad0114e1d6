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
    state.settings.outputDir = outDir;
    conversion.onProgress = [this](int value) { progress << value; };
    conversion.onRunEnded = [this] { ++runsEnded; };
    commands.connectConversion(conversion);
}

void RunFixture::split() {
    conversion.setOptions(
        RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex));
    conversion.splitRun();
}

void RunFixture::join(const QString& path) {
    conversion.setOptions(
        RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex));
    conversion.joinRun(path);
}

QString RunFixture::makeSource(const QString& name, std::int64_t frames, int rate, int channels) {
    const QString path = dir.filePath(QStringLiteral("src/") + name);
    synth::writeOgg(path, frames, rate, channels, ToneHz);
    return path;
}

void RunFixture::add(const QString& path) {
    jobs.admitFile(path, JobList::AddFilesFloor);
    jobs.selectRow(0);
    jobs.selectFile();
}

void RunFixture::setSpans(int file, const Spans& spans) {
    FileRow& r = jobs.file(file);
    r.spans.clear();
    for (const auto& [b, e] : spans)
        r.spans.push_back(Span{b, e});
    r.spans.push_back(Span{0, r.seconds});
    r.spanCount = std::int32_t(r.spans.size());
}

void RunFixture::setFades(bool in, bool out, int seconds) {
    state.settings.fadeIn = in;
    state.settings.fadeOut = out;
    state.settings.fadeInSeconds = seconds;
    state.settings.fadeOutSeconds = seconds;
}

std::vector<QString> RunFixture::addSplitSources(SplitMode mode, int splitSeconds, int splitCount,
                                                 const std::vector<std::int64_t>& fileFrames,
                                                 const Spans& spans) {
    state.settings.splitMode = mode;
    state.settings.splitSeconds = splitSeconds;
    state.settings.splitCount = splitCount;
    std::vector<QString> sources;
    for (size_t i = 0; i < fileFrames.size(); ++i) {
        sources.push_back(makeSource(QStringLiteral("f%1.ogg").arg(i), fileFrames[i]));
        add(sources.back());
    }
    for (size_t i = 0; i < sources.size(); ++i)
        if (mode == SplitMode::Custom || (mode == SplitMode::Unification && i == 0))
            setSpans(int(i), spans);
    return sources;
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

void expectEdges(const std::vector<float>& samples, std::int64_t edge, bool quietStart,
                 bool quietEnd) {
    const double full = 0.5 / std::sqrt(2.0);
    const double start = rms(samples, 0, edge);
    const double end = rms(samples, std::int64_t(samples.size()) - edge, edge);
    if (quietStart)
        EXPECT_LT(start, 0.05 * full);
    else
        EXPECT_GT(start, 0.8 * full);
    if (quietEnd)
        EXPECT_LT(end, 0.05 * full);
    else
        EXPECT_GT(end, 0.8 * full);
}

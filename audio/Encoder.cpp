#include "audio/Encoder.h"

#include "audio/AudioError.h"
#include "audio/SaveOutput.h"

Encoder::~Encoder() = default;

void Encoder::open(const QString& path) {
    if (m_output)
        throw AudioError(
            QStringLiteral("Cannot create %1: a file is already being written").arg(path));
    m_output = start(path);
}

void Encoder::write(const float* interleaved, std::int64_t frames) {
    if (!m_output)
        throw AudioError(
            QStringLiteral("Cannot write: no %1 file is open").arg(QLatin1String(m_name)));
    if (frames <= 0)
        return;
    try {
        m_output->encode(interleaved, frames);
    } catch (...) {
        m_output.reset(); // the file cannot be completed: drop it rather than leave it half
        throw;
    }
}

void Encoder::close() {
    if (!m_output)
        return;
    // Gone whatever happens below: a file that fails here is abandoned.
    const std::unique_ptr<Output> out = std::move(m_output);
    out->finish();
    if (!out->file.commit())
        throw AudioError(
            QStringLiteral("Cannot write %1: %2").arg(out->path, out->file.errorString()));
}

void Encoder::refuseFormat(const QString& path, const QString& detail) const {
    const EncoderShape f = formatShape();
    throw AudioError(
        QStringLiteral("Cannot create %1: the %2 encoder does not accept %3 Hz, %4 channel(s), %5")
            .arg(path, QLatin1String(m_name), QString::number(f.rate), QString::number(f.channels),
                 detail));
}

void Encoder::Output::create() {
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
}

bool Encoder::Output::put(const char* data, qint64 size) {
    if (writeAll(file, data, size))
        return true;
    writeError = file.errorString();
    return false;
}

QString Encoder::Output::failure(const QString& libraryReason) const {
    return QStringLiteral("Cannot write %1: %2")
        .arg(path, writeError.isEmpty() ? libraryReason : writeError);
}

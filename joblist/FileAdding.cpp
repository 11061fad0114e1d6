// Adding to the job list: files one by one, the Ogg files of a folder, and
// paths from outside in their order.
#include "joblist/JobList.h"

#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/NativeName.h"
#include "core/SessionState.h"
#include "joblist/JobListTexts.h"
#include "tags/TagSteps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

using namespace JobListTexts;

namespace {

// Marks the add loop as running for as long as it lives, on every way out.
class AddingGuard {
  public:
    explicit AddingGuard(SessionState& state) : m_state(state), m_previous(state.adding) {
        m_state.adding = true;
    }
    ~AddingGuard() { m_state.adding = m_previous; }
    AddingGuard(const AddingGuard&) = delete;
    AddingGuard& operator=(const AddingGuard&) = delete;

  private:
    SessionState& m_state;
    bool m_previous;
};

// The names in a folder that are not folders themselves, hidden ones,
// pipes and broken links included, by name without regard to case. Read from
// the system, as Qt's own listing leaves out names that are not UTF-8.
QStringList entriesOf(const QString& folder) {
    std::vector<std::pair<QString, QString>> entries; // (name in lower case, name)
    std::error_code error;
    for (std::filesystem::directory_iterator it(NativeName::toPath(folder), error), end;
         !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        const QString name = NativeName::fromPath(it->path().filename());
        entries.emplace_back(name.toLower(), name);
    }
    std::sort(entries.begin(), entries.end());
    QStringList names;
    for (const auto& entry : entries)
        names << entry.second;
    return names;
}

} // namespace

void JobList::admitFile(const QString& path, int floor, AddWay way) {
    s.pumpEvents();

    FileRow r;
    r.path = path;
    r.caption = NativeName::shown(QFileInfo(path).fileName());
    m_files.append(r);
    const int row = m_files.rowCount() - 1;
    try {
        const SourceTags read = readSourceTags(path, way);
        FileRow& tagged = m_files.row(row);
        tagged.tags = read.tags;
        if (!read.caption.isEmpty())
            tagged.caption = read.caption;

        AudioFile reader;
        reader.openRead(path);
        const std::int64_t lengthMs = std::max<std::int64_t>(0, reader.lengthMs());
        FileRow& added = m_files.row(row);
        added.seconds = toInt32(lengthMs / 1000);
        added.sliderRange = std::max(toInt32(lengthMs / 500), floor);
        added.samples = reader.lengthSamples();
        added.rate = reader.sampleRate();
        added.spans = {Span{0, added.seconds}};
        added.spanCount = 1;
        reader.close();
    } catch (...) {
        m_files.remove(row);
        throw;
    }
    m_files.updateRow(row);
}

QList<JobList::Refusal> JobList::addFiles(const QStringList& paths, int floor) {
    QList<Refusal> refused;
    if (s.adding || s.converting) {
        for (const QString& path : paths)
            refused.append({path, QString()});
        return refused;
    }
    if (paths.isEmpty())
        return refused;

    beginAdding();
    AddingGuard adding(s);
    for (const QString& path : paths) {
        if (m_stopAdding)
            break;
        admitOne(path, floor, false, refused);
    }
    finishAdding();
    return refused;
}

QList<JobList::Refusal> JobList::addFolder(const QString& folder) {
    QList<Refusal> refused;
    if (s.adding || s.converting || folder.isEmpty())
        return refused;

    beginAdding();
    AddingGuard adding(s);
    // Only the folder's own Ogg files, in name order so that numbered tracks
    // come in their order; the folder's subfolders are not entered.
    const QDir dir(folder);
    for (const QString& name : entriesOf(folder)) {
        s.pumpEvents();
        s.pumpEvents();
        if (m_stopAdding)
            break;
        if (QFileInfo(name).suffix().toLower() != QLatin1String("ogg"))
            continue;
        admitOne(dir.filePath(name), AddFolderFloor, true, refused);
    }
    finishAdding();
    return refused;
}

QList<JobList::Refusal> JobList::addPaths(const QStringList& paths) {
    QList<Refusal> refused;
    QStringList files;
    const auto addPendingFiles = [&] {
        if (!files.isEmpty())
            refused += addFiles(files);
        files.clear();
    };
    for (const QString& path : paths) {
        if (!NativeName::isFolder(path)) {
            files << path;
            continue;
        }
        addPendingFiles();
        refused += addFolder(path);
    }
    addPendingFiles();
    return refused;
}

void JobList::stopAdding() {
    if (s.adding)
        m_stopAdding = true;
}

void JobList::beginAdding() {
    m_stopAdding = false;
    if (previewing()) {
        emit previewStopRequested();
        m_playedRow = -1;
    }
}

void JobList::admitOne(const QString& path, int floor, bool keepUnderASecond,
                       QList<Refusal>& refused) {
    const QString name = NativeName::shown(QFileInfo(path).fileName());
    try {
        admitFile(path, floor, keepUnderASecond ? AddWay::Folder : AddWay::Files);
        if (!keepUnderASecond && m_files.row(m_files.rowCount() - 1).seconds == 0) {
            m_files.remove(m_files.rowCount() - 1);
            refused.append({path, name + QCoreApplication::translate(
                                             "JobList", " this File is Error or not supported.")});
        }
    } catch (const ModuleMissing& e) {
        // Not the file's fault: the installation lacks what reads it.
        refused.append({path, e.message()});
    } catch (const std::exception&) {
        // AudioError is a std::runtime_error: one handler covers the reader
        // and anything else that failed while the file was measured.
        refused.append(
            {path, name + QCoreApplication::translate("JobList", " this File is not supported.")});
    }
}

void JobList::finishAdding() {
    m_stopAdding = false;
    if (m_files.rowCount() > 0) {
        if (selectedRow() < 0)
            selectRow(0);
        selectFile();
        emit fileListFocusRequested();
        m_selectedFile = std::max(0, selectedRow());
    }
    refreshTotal();
}

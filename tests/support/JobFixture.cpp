#include "support/JobFixture.h"

#include <QFileInfo>
#include <algorithm>

void JobFixture::SetUp() {
    state.prompt = &prompt;
    showJobListOn(list, pb, timecaption, tataltime, nm);
    QObject::connect(&list, &JobList::instructionsVisibleChanged,
                     [this](bool visible) { instructionsVisible = visible; });
}

void showJobListOn(JobList& list, SkinObject& pb, SkinObject& timecaption, SkinObject& tataltime,
                   SkinObject& nm) {
    QObject::connect(&list, &JobList::positionTextChanged,
                     [&timecaption](const QString& text) { timecaption.setText(text); });
    QObject::connect(&list, &JobList::totalTextChanged,
                     [&tataltime](const QString& text) { tataltime.setText(text); });
    QObject::connect(&list, &JobList::currentFileChanged,
                     [&nm](const QString& path) { nm.setText(path); });
    QObject::connect(&list, &JobList::sliderRangeChanged, [&pb](int max, int page) {
        pb.setSliderMax(max);
        pb.setSliderPage(page);
    });
}

void appendFileRow(JobList& list, const QString& path, int seconds) {
    FileRow r;
    r.path = path;
    r.caption = QFileInfo(path).fileName();
    r.seconds = seconds;
    r.sliderRange = std::max(seconds * 2, JobList::AddFilesFloor);
    r.samples = std::int64_t(seconds) * 44100;
    r.spans = {Span{0, seconds}};
    list.fileModel().append(r);
}

QString cellText(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

std::vector<std::int32_t> begins(const FileRow& row) {
    std::vector<std::int32_t> out;
    for (const Span& span : row.spans)
        out.push_back(span.begin);
    return out;
}

std::vector<std::int32_t> ends(const FileRow& row) {
    std::vector<std::int32_t> out;
    for (const Span& span : row.spans)
        out.push_back(span.end);
    return out;
}

#include "support/JobFixture.h"

#include "joblist/TimeText.h"

#include <QFileInfo>
#include <algorithm>

void JobFixture::SetUp() {
    state.prompt = &prompt;
    state.pb = &pb;
    state.timecaption = &timecaption;
    state.tataltime = &tataltime;
    state.nm = &nm;
}

void appendFileRow(MainState& state, const QString& path, int seconds) {
    state.lv.appendRow(
        {new QStandardItem(QFileInfo(path).fileName()), new QStandardItem(FormatTime(seconds))});
    listrecord r;
    r.Path = path;
    r.Seconds = seconds;
    r.SliderRange = std::max(seconds * 2, JobList::AddFilesFloor);
    r.Samples = std::int64_t(seconds) * 44100;
    r.BeginTimes = {0};
    r.EndTimes = {seconds};
    state.FileList.push_back(r);
    state.TagList.push_back({});
}

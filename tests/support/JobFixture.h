// A job list with its state, a scripted prompt and the skin objects a window
// shows the list on (slider, position, total, name), for tests of the job list.
#pragma once

#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinObject.h"
#include "support/ScriptedPrompt.h"

#include <QAbstractItemModel>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

class JobFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    SessionState state;
    ScriptedPrompt prompt;
    JobList list{state};
    SkinObject pb{QStringLiteral("pb"), SkinObject::Kind::Slider, QRect(0, 0, 300, 10)};
    SkinObject timecaption{QStringLiteral("timecaption"), SkinObject::Kind::Text, QRect()};
    SkinObject tataltime{QStringLiteral("tataltime"), SkinObject::Kind::Text, QRect()};
    SkinObject nm{QStringLiteral("nm"), SkinObject::Kind::Text, QRect()};
    bool instructionsVisible = true;
};

// Shows what the job list announces on the objects, as the window does.
void showJobListOn(JobList& list, SkinObject& pb, SkinObject& timecaption, SkinObject& tataltime,
                   SkinObject& nm);

// A row as adding `path` makes it, one span over the whole file, without
// measuring a real file (44100 frames a second).
void appendFileRow(JobList& list, const QString& path, int seconds);

// The text a model shows in a cell.
QString cellText(const QAbstractItemModel& model, int row, int column);

// The begin and the end frames of a row's spans, in order.
std::vector<std::int32_t> begins(const FileRow& row);
std::vector<std::int32_t> ends(const FileRow& row);

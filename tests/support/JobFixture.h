// A job list with its state, a scripted prompt and the skin objects the list
// writes to (slider, position, total, name), for tests of the job list itself.
#pragma once

#include "core/MainState.h"
#include "skin/SkinObject.h"
#include "joblist/JobList.h"
#include "support/ScriptedPrompt.h"

#include <gtest/gtest.h>

class JobFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    MainState state;
    ScriptedPrompt prompt;
    JobList list{state};
    SkinObject pb{QStringLiteral("pb"), SkinObject::Slider, QRect(0, 0, 300, 10)};
    SkinObject timecaption{QStringLiteral("timecaption"), SkinObject::Text, QRect()};
    SkinObject tataltime{QStringLiteral("tataltime"), SkinObject::Text, QRect()};
    SkinObject nm{QStringLiteral("nm"), SkinObject::Text, QRect()};
};

// A row as adding `path` makes it, one span over the whole file, without
// measuring a real file (44100 frames a second).
void appendFileRow(MainState& state, const QString& path, int seconds);

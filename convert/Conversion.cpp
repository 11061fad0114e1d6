#include "convert/Conversion.h"

#include "app/MainState.h"
#include "joblist/JobList.h"

Conversion::Conversion(MainState& state, JobList& jobList) : s(state), jobs(jobList) {}

void Conversion::SplitCommand() {}
void Conversion::JoinCommand() {}
void Conversion::SplitRun() {}
void Conversion::JoinRun() {}
bool Conversion::ChooseJoinOutput() { return false; }
void Conversion::ApplyOggSettings(int) {}
void Conversion::DrawConversionProgress(std::int64_t) {}
void Conversion::StopConversion() { s.Converting = false; }

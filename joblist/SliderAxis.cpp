// The slider's time axis: its range from the row it spans, and the time at
// its thumb.
#include "joblist/JobList.h"

#include "audio/MulDiv.h"
#include "joblist/JobListTexts.h"

#include <algorithm>

using namespace JobListTexts;

void JobList::setSliderRange() {
    const int row = axisRow();
    if (!m_files.contains(row))
        return;
    m_sliderMax = m_files.row(row).sliderRange;
    m_sliderPage = toInt32(MulDiv(52, m_sliderMax, 1100));
    emit sliderRangeChanged(m_sliderMax, m_sliderPage);
}

int JobList::axisRow() const {
    const int selected = selectedRow();
    if (!m_files.contains(selected))
        return -1;
    return editedRow(selected);
}

std::int32_t JobList::axisSeconds() const {
    const int row = axisRow();
    return m_files.contains(row) ? std::max<std::int32_t>(0, m_files.row(row).seconds) : 0;
}

std::int32_t JobList::timeAtSlider() const {
    const std::int32_t seconds = axisSeconds();
    const int usable = usableRange();
    if (usable <= 0)
        return 0;
    // A thumb beyond the usable range still names a time inside the file.
    const std::int64_t t = MulDiv(m_sliderPosition, seconds, usable);
    return toInt32(std::clamp<std::int64_t>(t, 0, std::max<std::int32_t>(seconds, 0)));
}

void JobList::setPositionText(const QString& text) {
    m_positionText = text;
    emit positionTextChanged(text);
}

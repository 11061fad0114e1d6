// The progress bar cadelo-cli draws on stderr while a run writes: the percent
// of the current output and its name, on one line that is redrawn in place.
#pragma once

#include <QString>
#include <cstdint>

class ProgressBar {
  public:
    // A disabled bar draws nothing at all (stderr is not a terminal, or --quiet).
    explicit ProgressBar(bool enabled) : m_enabled(enabled) {}

    void start(const QString& name);
    // `value` runs from 0 to 10000, as the runs report it.
    void update(std::int64_t value);
    // Removes the bar from the screen, so other output starts on a clean line.
    void clear();

    // The line drawn for a value and a name (without the carriage return).
    static QString line(std::int64_t value, const QString& name);

  private:
    void draw(const QString& text);

    bool m_enabled;
    QString m_name;
    int m_percent = -1;
    qsizetype m_shown = 0; // characters on screen
};

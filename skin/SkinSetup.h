// The skin set-up of the main window's first show: load the skin, draw the
// window with the form "Pelmora", and find the six objects the window writes to.
#pragma once

#include <QRect>
#include <QString>

class QObject;
class SkinEngine;
class SkinObject;

// The skin shipped with the program.
QString defaultSkinPath();

// The objects the window draws the job list and the runs on; null when the
// skin has no such object.
struct SkinParts {
    SkinObject* slider = nullptr;      // the slider
    SkinObject* timecaption = nullptr; // the time at the slider
    SkinObject* totalTime = nullptr;   // the total length
    SkinObject* pathLabel = nullptr;   // the current file's path
    SkinObject* pbpos = nullptr;       // the run's percentage
    SkinObject* convertpb = nullptr;   // the run's progress bar
    QRect convertpbHome;               // the bar's full rectangle as read at set-up
};

// Loads `skinPath` into `engine`, applies it and the form "Pelmora" to
// `window`, looks up the six objects, keeps the bar's home rectangle and
// resets the slider, the bar and the percentage. Throws SkinError; the steps
// after the failing one do not run.
SkinParts setUpSkin(SkinEngine& engine, QObject* window, const QString& skinPath);

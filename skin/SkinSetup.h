// The skin set-up of the main window's first show: load the skin, draw the
// window with the form "Pelmora", and hand the six objects the program writes
// to over to the shared state.
#pragma once

#include <QString>
#include <functional>

class MainState;
class QObject;
class SkinEngine;

// The skin shipped with the program.
QString defaultSkinPath();

// Loads `skinPath` into `engine`, applies it and the form "Pelmora" to
// `window`, looks up "pb", "timecaption", "tataltime", "nm", "pbpos" and
// "convertpb" into `s` (null when missing), keeps the bar's home rectangle,
// resets the slider, the bar and the percentage, then runs `refreshTotal`.
// Throws SkinError; the steps after the failing one do not run.
void SetUpSkin(MainState& s, SkinEngine& engine, QObject* window, const QString& skinPath,
               const std::function<void()>& refreshTotal);

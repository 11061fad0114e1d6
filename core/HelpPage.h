// Where the help page is, as a file the desktop's browser can open.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// The places a program in programDir looks for its help page, in order:
// help/cadelo.html beside the program (the build tree, or a folder that holds
// program and page together), then the installed copy in the prefix's data
// folder (../share/cadelo/help/cadelo.html from bin/); the page in the
// window's language (cadelo_de.html) comes first where a translation names
// one. None for an empty programDir.
QStringList helpPageCandidates(const QString& programDir);

// The first of helpPageCandidates(programDir) that exists, otherwise the copy
// shipped in the resources, written out to the user's cache folder. An empty
// URL when none can be had.
QUrl helpPageUrl(const QString& programDir);

// The same for the running program: its own folder when an application object
// exists, the shipped copy otherwise.
QUrl helpPageUrl();

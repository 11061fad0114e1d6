// Where the help page is, as a file the desktop's browser can open.
#pragma once

#include <QUrl>

// The help page beside the program (help/cadelo.html) when it was installed
// there, otherwise the copy shipped in the resources, written out to the
// user's cache folder. An empty URL when neither can be had.
QUrl helpPageUrl();

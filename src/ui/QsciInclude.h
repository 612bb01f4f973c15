#pragma once

// QScintilla's headers use the signals and slots keywords, which the project switches off
// (QT_NO_KEYWORDS); include them only through this header.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qsciscintilla.h>
#undef signals
#undef slots

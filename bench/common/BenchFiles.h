#pragma once

#include <QString>

// The peak resident memory of this process so far, in MB.
long peakRssMb();

// A URL file of `lines` lines as real lists mix them: a third with a pattern, a sixth also with a
// template. Written in chunks, so that making it does not inflate the peak memory measured afterwards.
// Returns false when it cannot be written.
bool writeUrlFile(const QString& path, int lines);

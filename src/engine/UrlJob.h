#pragma once

#include "engine/JobQueue.h"
#include "engine/RunController.h"

#include <QString>

class IdentityLists;
class TransferLoop;
class UiHandOff;
struct RunSettings;
struct RunTally;

// What the jobs of a run read besides their row: the window through the hand-off, the run
// settings and the identity lists. All three outlive every run; so does the transfer loop.
struct UrlJobContext {
    UiHandOff& handOff;
    const RunSettings& settings;
    const IdentityLists& lists;
    // The run's transfer loop; null: each job's fetch runs on its own worker.
    TransferLoop* transfers = nullptr;
};

// Makes the job of row m. When run (on a worker) it tests the abort flag, shows "Fetching
// page..." and reads the row on the UI thread, draws a referer, a user agent and (with "Enable
// proxies") a proxy, fetches the page, collects the matches and writes the count, the match list
// and the fetch outcome into the row on the UI thread. It counts itself in the tally.
Job ThreadFunction(const UrlJobContext& context, int m, RunTally& tally);

// The run controller's job factory over ThreadFunction.
JobFactory urlJobFactory(const UrlJobContext& context);

// The refusal for "Enable proxies" with no line in "proxies.txt", or an empty text.
QString proxyRefusal(const RunSettings& settings, const IdentityLists& lists);

// The outcome of a row that needed a proxy when "proxies.txt" had none (a reload during the run).
QString noProxyOutcome();

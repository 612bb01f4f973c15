#pragma once

#include "engine/JobQueue.h"
#include "engine/RunController.h"

#include <QString>

class IdentityLists;
class RunChannel;
class TransferLoop;
struct RunSettings;

// What the jobs of a run read besides their row: the run settings and the identity lists, which
// both outlive every run.
struct UrlJobContext {
    const RunSettings& settings;
    const IdentityLists& lists;
    // Where the run's transfer loop is while a run goes (set before the run starts, cleared after its
    // workers have ended); null, or pointing at null: each job's fetch runs on its own worker.
    TransferLoop* const* transfers = nullptr;
};

// Makes the job of row m. When run (on a worker) it tests the abort flag, reads the row's inputs
// as they are now (the row begins: "Fetching page..."), draws a referer, a user agent and (with
// "Enable proxies") a proxy, fetches the page, collects the matches and leaves the count, the match
// list and the fetch outcome with the run.
Job ThreadFunction(const UrlJobContext& context, int m, RunChannel& run);

// The run controller's job factory over ThreadFunction.
JobFactory urlJobFactory(const UrlJobContext& context);

// The refusal for "Enable proxies" when no line of "proxies.txt" has a proxy host, or an empty text.
QString proxyRefusal(const RunSettings& settings, const IdentityLists& lists);
// With "Enable proxies": when some lines of "proxies.txt" have no host (they mean a direct
// connection) among lines that have one, a warning naming how many and which; else an empty text.
QString proxyWarning(const RunSettings& settings, const IdentityLists& lists);

// The outcome of a row that needed a proxy when "proxies.txt" had none (a reload during the run).
QString noProxyOutcome();

#pragma once

typedef void CURLSH;

// What every libcurl handle of the process shares: the DNS cache, TLS sessions and idle
// connections, so that a new handle reuses a connection an earlier fetch left open. Never
// cookies: each fetch starts without any. Made once, after libcurl's global set-up, and left
// alive to the end of the process (workers may still be fetching then).
class CurlShare
{
public:
    // libcurl set up for the process; the share, or null when libcurl could not make one (each
    // handle then keeps its own caches). Any thread, any time.
    static CURLSH* get();
};

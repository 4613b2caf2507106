-- Viewers asking the whole catalogue (getChannels.asp from 1/1/2000) over and over.
-- Argument after "--": "gzip" or "plain" (Accept-Encoding). With POLITE=1 in the environment each
-- 503 holds a connection back for its Retry-After (wrk's delay() is per thread, not per
-- connection, so it is the next connection of the thread to ask); the replies then pass through
-- Lua, which costs wrk a copy of every body. Without it a 503 is asked again at once.
local polite = os.getenv("POLITE") == "1"
local threads = {}

function setup(thread)
    table.insert(threads, thread)
end

function init(args)
    encoding = args[1] or "gzip"
    full, busy, other = 0, 0, 0
    backoffs = {}
    if encoding == "gzip" then
        wrk.headers["Accept-Encoding"] = "gzip"
    end
    fetch = wrk.format("GET", "/ostrel/getChannels.asp?date=1/1/2000")
end

function request()
    return fetch
end

local function count(status, headers, body)
    if status == 200 then
        full = full + 1
    elseif status == 503 then
        busy = busy + 1
        if polite then
            table.insert(backoffs, (tonumber(headers["Retry-After"]) or 1) * 1000)
        end
    else
        other = other + 1
    end
end
if polite then
    response = count
    delay = function()
        return table.remove(backoffs) or 0
    end
end


function done(summary, latency, requests)
    local f, b, o = 0, 0, 0
    for _, t in ipairs(threads) do
        f = f + t:get("full")
        b = b + t:get("busy")
        o = o + t:get("other")
    end
    if not polite then
        -- Only failures are counted without Lua seeing the replies: busy stands for all of them.
        b = summary.errors.status
        f = summary.requests - b
    end
    local secs = summary.duration / 1e6
    io.write(string.format("updates: %d full replies (%.1f/s, %.0f MB/s), %d busy (503), %d other, " ..
        "%d socket errors, p50 %.0f ms, p99 %.0f ms\n", f, f / secs, summary.bytes / secs / 1e6, b, o,
        summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.timeout,
        latency:percentile(50) / 1000, latency:percentile(99) / 1000))
end

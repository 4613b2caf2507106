-- The other clients: currentdate.asp, or with "reports" after "--" a FAVORITE report for a random
-- channel of the generated catalogue (a catalogue change, so every report invalidates the shared
-- update replies). The second argument is the number of channels.
local threads = {}

function setup(thread)
    table.insert(threads, thread)
    thread:set("id", #threads)
end

function init(args)
    reports = args[1] == "reports"
    channels = tonumber(args[2] or "100000")
    failed = 0
    math.randomseed(os.time() * 100 + id)
end

function request()
    if not reports then
        return wrk.format("GET", "/ostrel/currentdate.asp")
    end
    local n = math.random(1, channels)
    return wrk.format("GET", "/tv/getData.asp?strType=FAVORITE&strValue=&strItem=Channel%20number%20" ..
        n .. "%20%28720p%29")
end

function response(status, headers, body)
    if status ~= 200 then
        failed = failed + 1
    end
end

function done(summary, latency, requests)
    local bad = 0
    for _, t in ipairs(threads) do
        bad = bad + t:get("failed")
    end
    io.write(string.format("%s: %d requests (%.0f/s), %d not 200, p50 %.2f ms, p99 %.2f ms, max %.1f ms\n",
        threads[1]:get("reports") and "reports" or "currentdate", summary.requests, summary.requests / (summary.duration / 1e6),
        bad, latency:percentile(50) / 1000, latency:percentile(99) / 1000, latency.max / 1000))
end

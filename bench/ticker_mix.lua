-- wrk: the steady mix of one ticker's requests, as movie-run counts them per
-- refresh (every 5 minutes): the channel feed, the sponsor feed, the headlines
-- and the version document, in turn. With CLOSE set in the environment each
-- request asks the server to close its connection, as the strip's do.
local base = "/resources/media/uk/downloads/vodazovovarar/"
local paths = { "channel/world.txt", "sponsor.txt", "headlines/world.txt", "version.txt" }
local close = os.getenv("CLOSE") ~= nil
local i = 0

request = function()
  i = i % #paths + 1
  local headers = { ["User-Agent"] = "Norvale-Ticker-load" }
  if close then headers["Connection"] = "close" end
  return wrk.format("GET", base .. paths[i], headers)
end

done = function(summary, latency, requests)
  io.write(string.format("RESULT rps=%.0f p50_ms=%.2f p99_ms=%.2f errors=%d non2xx=%d timeouts=%d requests=%d\n",
    summary.requests / (summary.duration / 1e6), latency:percentile(50) / 1000, latency:percentile(99) / 1000,
    summary.errors.connect + summary.errors.read + summary.errors.write, summary.errors.status,
    summary.errors.timeout, summary.requests))
end

-- wrk script of bench/net/HttpLoad.sh: every request on a connection of its
-- own, and every answer checked: status 200 and the body the server was
-- given. A body that ends with the connection (no length, as the ZEP3 server
-- answers) is counted by wrk as a read error after the answer is complete;
-- so the answers are counted here and the shell script compares.
wrk.headers["Connection"] = "close"

local expected = nil
local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

function init(args)
  local f = io.open(args[1], "rb")
  expected = f:read("*a")
  f:close()
  good, bad = 0, 0
end

function response(status, headers, body)
  if status == 200 and body == expected then good = good + 1 else bad = bad + 1 end
end

function done(summary, latency, requests)
  local g, b = 0, 0
  for _, t in ipairs(threads) do
    g = g + t:get("good")
    b = b + t:get("bad")
  end
  io.write(string.format("answers: %d good %d bad\n", g, b))
end

-- (e) 100,000 calls of a declared function, each followed by a number turned into text,
-- beside 300 other variables (kept in a table: Lua allows 200 locals).
local function nextOf(a)
  return a + 1
end
local function work()
  local vars = {}
  for i = 1, 300 do vars["V" .. i] = i end
  local s, t = 0, ""
  for i = 1, 100000 do
    s = nextOf(s)
    t = tostring(s)
  end
  return s
end
local best, result = math.huge, nil
for _ = 1, tonumber(arg[1] or 5) do
  local t = os.clock()
  result = work()
  best = math.min(best, os.clock() - t)
end
print(string.format("%.3f %s", best * 1000, tostring(result)))

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
dofile((arg[0]:match("^(.*/)") or "") .. "best_of.lua")(work)

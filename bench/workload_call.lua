-- (c) 200,000 calls of a declared function with two parameters.
local function add(a, b)
  return a + b
end
local function work()
  local s = 0
  for i = 1, 200000 do
    s = add(s, 1)
  end
  return s
end
dofile((arg[0]:match("^(.*/)") or "") .. "best_of.lua")(work)

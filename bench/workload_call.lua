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
local best, result = math.huge, nil
for _ = 1, tonumber(arg[1] or 5) do
  local t = os.clock()
  result = work()
  best = math.min(best, os.clock() - t)
end
print(string.format("%.3f %s", best * 1000, tostring(result)))

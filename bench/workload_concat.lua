-- (b) 100,000 concatenations of a short text and a number turned into text.
local function work()
  local s = ""
  for i = 1, 100000 do
    s = "item " .. tostring(i)
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

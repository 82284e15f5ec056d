-- (a) a FOR loop of 1,000,000 passes with an integer add and an IF.
-- Usage: lua5.4 workload_loop.lua REPS   (prints the best time in ms and the result)
local function work()
  local s = 0
  for i = 1, 1000000 do
    s = s + 7
    if s > 1000 then s = s - 1000 end
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

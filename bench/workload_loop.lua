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
dofile((arg[0]:match("^(.*/)") or "") .. "best_of.lua")(work)

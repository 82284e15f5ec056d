-- Runs work() the number of times given on the command line (default 5) and prints
-- "BEST_MS RESULT", the shortest processor time and work()'s last result.
return function(work)
  local best, result = math.huge, nil
  for _ = 1, tonumber(arg[1] or 5) do
    local t = os.clock()
    result = work()
    best = math.min(best, os.clock() - t)
  end
  print(string.format("%.3f %s", best * 1000, tostring(result)))
end

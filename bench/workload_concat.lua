-- (b) 100,000 concatenations of a short text and a number turned into text.
local function work()
  local s = ""
  for i = 1, 100000 do
    s = "item " .. tostring(i)
  end
  return s
end
dofile((arg[0]:match("^(.*/)") or "") .. "best_of.lua")(work)

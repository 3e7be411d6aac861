-- common.lua -- what the Lua versions of the benchmark workloads share: the
-- deterministic input generator (the same one every language writes out).
-- Loaded with dofile, it returns the generator.
local seed = 1

-- x <- (75 x + 74) mod 65537, from 1: the numbers 0..65536, period 65536.
return function()
    seed = (seed * 75 + 74) % 65537
    return seed
end

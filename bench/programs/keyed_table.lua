-- keyed_table -- K string keys inserted into a keyed table, then L lookups of
-- keys drawn from the generator.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local k, lookups = tonumber(arg[1]), tonumber(arg[2])
    local table_, keys, size = {}, {}, 0
    for i = 1, k do
        local key = string.format("key%d", rnd())
        if table_[key] == nil then size = size + 1 end
        table_[key] = i
        keys[i] = key
    end
    local total = 0
    for i = 1, lookups do
        total = total + table_[keys[rnd() % k + 1]]
    end
    print(string.format("keyed_table %d %.0f", size, total))
end

main()

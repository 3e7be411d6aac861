-- append_sum -- N integers appended one at a time, then summed by subscript.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local n = tonumber(arg[1])
    local s = {}
    for i = 1, n do
        s[#s + 1] = rnd()
    end
    local total = 0
    for i = 1, #s do
        total = total + s[i]
    end
    print(string.format("append_sum %d %.0f", #s, total))
end

main()

-- doubles -- element-wise v = v * 0.75 + 0.5 over N doubles, R times, then
-- the sum.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local n, rounds = tonumber(arg[1]), tonumber(arg[2])
    local v = {}
    for i = 1, n do
        v[i] = rnd() / 65537
    end
    for r = 1, rounds do
        local w = {}
        for i = 1, #v do
            w[i] = v[i] * 0.75 + 0.5
        end
        v = w
    end
    local total = 0.0
    for i = 1, #v do
        total = total + v[i]
    end
    print(string.format("doubles %.6f", total))
end

main()

-- find_match -- a 10 MB string searched R times: every 'z' by find, every
-- "zyxwv" by match.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local rounds = tonumber(arg[1])
    local buffer = {}
    for i = 1, 625 do
        buffer[i] = string.char(97 + rnd() % 16)
    end
    local s = table.concat(buffer)
    while #s < 10000000 do
        s = s .. s
    end
    for k = 1, 9 do
        local p = k * 1000003
        s = s:sub(1, p - 1) .. "z" .. s:sub(p + 1)
        local q = k * 1000003 + 500000
        s = s:sub(1, q - 1) .. "zyxwv" .. s:sub(q + 5)
    end
    local found, matched, total = 0, 0, 0
    for r = 1, rounds do
        local p = s:find("z", 1, true)
        while p do
            found = found + 1
            total = total + p
            p = s:find("z", p + 1, true)
        end
        p = s:find("zyxwv", 1, true)
        while p do
            matched = matched + 1
            total = total + p
            p = s:find("zyxwv", p + 1, true)
        end
    end
    print(string.format("find_match %d %d %d %.0f", #s, found, matched, total))
end

main()

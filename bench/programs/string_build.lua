-- string_build -- N characters appended one at a time, the string
-- upper-cased, one letter counted.  Lua strings do not grow in place, so the
-- characters are appended to a buffer table that is joined once.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local n = tonumber(arg[1])
    local buffer = {}
    for i = 1, n do
        buffer[#buffer + 1] = string.char(97 + rnd() % 26)
    end
    local s = table.concat(buffer)
    local u = s:upper()
    local count = 0
    for i = 1, #u do
        if u:byte(i) == 81 then
            count = count + 1
        end
    end
    print(string.format("string_build %d %d", #u, count))
end

main()

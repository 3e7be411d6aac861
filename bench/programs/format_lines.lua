-- format_lines -- M formatted lines written to a file, then its size.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function main()
    local m, path = tonumber(arg[1]), arg[2]
    local f = assert(io.open(path, "w"))
    for i = 1, m do
        f:write(string.format("%d %s %.3f\n", i, "item", rnd() / 7))
    end
    f:close()
    f = assert(io.open(path, "r"))
    local size = f:seek("end")
    f:close()
    print(string.format("format_lines %d", size))
end

main()

-- merge_sort -- N integers sorted by a merge sort that slices and joins
-- sequences, then a checksum of the sorted order.
local rnd = dofile((arg[0]:match("(.*/)") or "./") .. "common.lua")

local function slice(s, lo, hi)
    return table.move(s, lo, hi, 1, {})
end

local function msort(s)
    local n = #s
    if n <= 1 then
        return s
    end
    local mid = math.floor(n / 2)
    local a = msort(slice(s, 1, mid))
    local b = msort(slice(s, mid + 1, n))
    local r = {}
    local i, j = 1, 1
    local na, nb = #a, #b
    while i <= na and j <= nb do
        if a[i] <= b[j] then
            r[#r + 1] = a[i]
            i = i + 1
        else
            r[#r + 1] = b[j]
            j = j + 1
        end
    end
    table.move(a, i, na, #r + 1, r)
    table.move(b, j, nb, #r + 1, r)
    return r
end

local function main()
    local n = tonumber(arg[1])
    local s = {}
    for i = 1, n do
        s[i] = rnd()
    end
    s = msort(s)
    local total = 0
    for i = 1, #s do
        total = total + s[i] * i
    end
    print(string.format("merge_sort %d %.0f", #s, total))
end

main()

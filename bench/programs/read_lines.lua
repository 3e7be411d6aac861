-- read_lines -- a large text file read line by line: lines and bytes counted.

local function main()
    local lines, bytes = 0, 0
    for line in io.lines(arg[1]) do
        lines = lines + 1
        bytes = bytes + #line + 1
    end
    print(string.format("read_lines %d %d", lines, bytes))
end

main()

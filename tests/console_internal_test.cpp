// The console logic against the model backend.
#include "io.h"
#include "support.h"

using namespace vorn::io;

TEST(ConsoleModel, CellsStayInsideTheScreen)
{
    use_model_console(10, 3);
    console().fill(8, 0, 5, cell{'x', 0x17});  // runs on into the next row
    console().fill(9, 2, 99, cell{'y', 0x17}); // stops at the last cell
    cell out[4];
    console().read_cells({8, 0, 9, 1}, out);
    EXPECT_EQ(std::string({char(out[0].ch), char(out[1].ch), char(out[2].ch), char(out[3].ch)}), "xx  ");
    console().read_cells({1, 1, 3, 1}, out);
    EXPECT_EQ(std::string({char(out[0].ch), char(out[1].ch), char(out[2].ch)}), "xx ");
    console().read_cells({9, 2, 10, 2}, out);  // one cell outside
    EXPECT_EQ(out[0].ch, 'y');
    EXPECT_EQ(out[1].attr, 0);
    use_console(no_console());
}

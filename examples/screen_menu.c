/* screen_menu.c -- a translated program, written by hand as the translator
 * writes it, that draws a full-screen colour menu with the console routines:
 * a title bar, a framed menu with the chosen entry highlighted, and a pop-up
 * confirmation that is laid over the menu and taken away again by saving
 * the screen rectangle under it first and displaying the saved image back.
 * At the end it clears the screen in the ordinary colours and names the
 * choice; the library gives the terminal its colours, cursor and wrap back.
 * With standard output not a terminal the console routines do nothing and
 * only the texts appear.  Exit status 0.
 *
 *     screen_menu [choice 1-4] [seconds to show each step, default 0]
 *
 * Source, roughly:
 *     constant items = {"New", "Open", "Save", "Quit"}
 *     cursor(0)  text_color(15)  bk_color(1)  clear_screen()
 *     show_at(1, 1, 0, 7, " vorn -- screen menu" & repeat(' ', 60))
 *     box(6, 30, 8, 20, 3)
 *     for i = 1 to length(items) do
 *         if i = choice then show_at(7 + i, 32, 15, 4, items[i])
 *         else show_at(7 + i, 32, 0, 3, items[i]) end if
 *     end for
 *     under = save_text_image({10, 25}, {14, 55})
 *     box(10, 25, 5, 31, 4)  show_at(12, 27, 14, 4, "You chose: " & items[choice])
 *     display_text_image({10, 25}, under)
 *     text_color(7)  bk_color(0)  clear_screen()
 *     printf(1, "chosen: %d %s\n", {choice, items[choice]})
 */
#define _POSIX_C_SOURCE 200809L
#include <stdlib.h>
#include <time.h>
#include <vorn.h>

#include "live_records.h"

static const char *const items[] = {"New", "Open", "Save", "Quit"};

static vorn_handle pair(int a, int b) { return build_sequence(2, (vorn_handle)a, (vorn_handle)b); }

/* Text at a 1-based row and column in the given colours, then a line break
 * (which keeps the text readable when standard output is a file). */
static void show_at(int row, int col, int fg, int bg, const char *text)
{
    wrap_position((vorn_handle)row, (vorn_handle)col);
    wrap_text_color((vorn_handle)fg);
    wrap_bk_color((vorn_handle)bg);
    wrap_puts(1, build_string(text));
    wrap_puts(1, build_string("\n"));
}

/* A filled rectangle of `height` rows of `width` blanks in background bg. */
static void box(int top, int left, int height, int width, int bg)
{
    vorn_handle blanks = 0;
    assign(&blanks, repeat(' ', (vorn_handle)width));
    wrap_bk_color((vorn_handle)bg);
    for (int row = top; row < top + height; row++) {
        wrap_position((vorn_handle)row, (vorn_handle)left);
        wrap_puts(1, blanks);
        wrap_puts(1, build_string("\n"));
    }
    assign(&blanks, 0);
}

static void pause_for(int seconds)
{
    struct timespec t = {seconds, 0};
    nanosleep(&t, NULL);
}

int main(int argc, char **argv)
{
    int choice = argc > 1 ? atoi(argv[1]) : 1;
    int seconds = argc > 2 ? atoi(argv[2]) : 0;
    vorn_handle under = 0;
    if (choice < 1 || choice > 4)
        choice = 1;
    init_command_line(argc, argv);
    init_files();
    init_conhdl();

    wrap_cursor(0);
    wrap_text_color(15);
    wrap_bk_color(1);
    wrap_clear_screen();
    show_at(1, 1, 0, 7, " vorn -- screen menu                                                            ");
    box(6, 30, 8, 20, 3);
    show_at(7, 32, 15, 3, "Menu");
    for (int i = 1; i <= 4; i++)
        show_at(7 + i, 32, i == choice ? 15 : 0, i == choice ? 4 : 3, items[i - 1]);
    pause_for(seconds);

    assign(&under, wrap_save_text_image(pair(10, 25), pair(14, 55)));
    box(10, 25, 5, 31, 4);
    show_at(12, 27, 14, 4, "You chose:");
    show_at(12, 38, 14, 4, items[choice - 1]);
    pause_for(seconds);
    wrap_display_text_image(pair(10, 25), under);
    pause_for(seconds);
    assign(&under, 0);

    wrap_text_color(7);
    wrap_bk_color(0);
    wrap_clear_screen();
    wrap_printf(1, build_string("chosen: %d %s\n"),
                build_sequence(2, (vorn_handle)choice, build_string(items[choice - 1])));
    report_live_records();
    close_conhdl();
    close_files();
    return 0;
}

/* screen_menu.c -- a translated program, written by hand as the translator
 * writes it, that runs a full-screen colour menu with the console routines:
 * a title bar, a framed menu with the selected entry highlighted, a line
 * counting the Ctrl+C presses (breaks are forbidden, so each one arrives
 * as key code 3), and a pop-up confirmation laid over the menu and taken
 * away again by saving the screen rectangle under it first and displaying
 * the saved image back.
 *
 * The arrow keys (or the digits 1-4) and a left press on an entry select
 * it; Enter, or a click (press and release) on the selected entry, confirms
 * it and shows the pop-up, which the next key or click takes away; Escape
 * ends the program.  It then clears the screen in the ordinary colours and
 * names the last confirmed choice; the library gives the terminal its
 * colours, cursor, wrap and modes back.  Exit status 0.
 *
 * With a choice on the command line the program confirms that choice
 * without waiting, showing each step for the given seconds.  With standard
 * output not a terminal the console routines do nothing, only the texts
 * appear and no mouse can come: the program then waits with the key wait,
 * which reads standard input and reports its end as -1, taken as Escape.
 *
 *     screen_menu [choice 1-4] [seconds to show each step, default 0]
 *
 * Source, roughly:
 *     constant items = {"New", "Open", "Save", "Quit"}
 *     allow_break(0)
 *     cursor(0)  text_color(15)  bk_color(1)  clear_screen()
 *     show_at(1, 1, 0, 7, " vorn -- screen menu" & repeat(' ', 60))
 *     box(6, 30, 8, 20, 3)  show_at(7, 32, 15, 3, "Menu")
 *     show_at(24, 1, 15, 1, " Arrows or mouse select, ...")
 *     for i = 1 to length(items) do show_item(i) end for
 *     show_breaks()
 *     if length(command_line()) > 2 then
 *         selected = choice  confirm()  sleep(seconds)  dismiss()
 *     else
 *         while 1 do
 *             input = next_input()   -- get_key() and text_mouse() polled,
 *                                    -- or wait_key() without a screen
 *             if showing then dismiss()
 *                 if input = ENTER or input = CLICK then continue end if
 *             end if
 *             if input = ESCAPE or input = -1 then exit
 *             elsif input = 3 then breaks += 1  show_breaks()
 *             elsif input = UP or input = DOWN or input = PICK then
 *                 select(...)
 *             elsif input = ENTER or input = CLICK then confirm()
 *             end if
 *         end while
 *     end if
 *     text_color(7)  bk_color(0)  clear_screen()
 *     if chosen then printf(1, "chosen: %d %s\n", {chosen, items[chosen]})
 *     else puts(1, "nothing chosen\n") end if
 *     printf(1, "Ctrl+C caught: %d\n", breaks + check_break())
 *
 * where confirm() saves the rectangle under the pop-up with
 * save_text_image({10, 25}, {14, 55}), draws box(10, 25, 5, 31, 4) and
 * "You chose: " & items[selected] at {12, 27}, and dismiss() puts the
 * rectangle back with display_text_image({10, 25}, under).
 */
#define _POSIX_C_SOURCE 200809L
#include <stdlib.h>
#include <time.h>
#include <vorn.h>

/* Key codes the menu reads, and its own codes for the mouse: a left press
 * on entry i gives PICK + i, a click on the selected entry CLICK. */
enum { ENTER = 13, LINE_FEED = 10, ESCAPE = 27, BREAK_KEY = 3, UP = 328, DOWN = 336 };
enum { PICK = 1000, CLICK = 2000 };

static const char *const items[] = {"New", "Open", "Save", "Quit"};

static int selected = 1;      /* the highlighted entry */
static int chosen = 0;        /* the last confirmed entry, 0 for none */
static int breaks = 0;        /* Ctrl+C presses seen */
static int pressed_on = 0;    /* the entry under the last left press */
static vorn_handle under = 0; /* the screen under the pop-up while it shows */

static vorn_handle pair(int a, int b) { return build_sequence(2, (vorn_handle)a, (vorn_handle)b); }

/* Text at a 1-based row and column in the given colours, then a line break
 * (which keeps the text readable when standard output is a file). */
static void show_at(int row, int col, int fg, int bg, vorn_handle text)
{
    wrap_position((vorn_handle)row, (vorn_handle)col);
    wrap_text_color((vorn_handle)fg);
    wrap_bk_color((vorn_handle)bg);
    wrap_puts(1, text);
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

static void pause_for(int seconds, long nanoseconds)
{
    struct timespec t = {seconds, nanoseconds};
    nanosleep(&t, NULL);
}

static void show_item(int i)
{
    show_at(7 + i, 32, i == selected ? 15 : 0, i == selected ? 4 : 3, build_string(items[i - 1]));
}

static void show_breaks(void)
{
    show_at(16, 32, 15, 3, wrap_sprintf(build_string("Ctrl+C caught: %d"), (vorn_handle)breaks));
}

static void select_item(int i)
{
    int before = selected;
    selected = i;
    show_item(before);
    show_item(selected);
}

/* The pop-up over the menu, the screen under it kept for dismiss(). */
static void confirm(void)
{
    chosen = selected;
    assign(&under, wrap_save_text_image(pair(10, 25), pair(14, 55)));
    box(10, 25, 5, 31, 4);
    show_at(12, 27, 14, 4, concat(build_string("You chose: "), build_string(items[chosen - 1])));
}

static void dismiss(void)
{
    wrap_display_text_image(pair(10, 25), under);
    assign(&under, 0);
}

/* The menu entry (1-4) at a 1-based screen cell, 0 for none. */
static int entry_at(int row, int col)
{
    return col >= 30 && col <= 49 && row >= 8 && row <= 11 ? row - 7 : 0;
}

/* A mouse report {event code, column, row} as a menu input: a left press
 * on an entry picks it, its release on the same, selected, entry clicks;
 * 0 for anything else (moves, other buttons). */
static int mouse_input(vorn_handle report)
{
    int code = (int)subscript(report, 1);
    int entry = entry_at((int)subscript(report, 3), (int)subscript(report, 2));
    if (code & 2) {
        pressed_on = entry;
        return entry != 0 ? PICK + entry : 0;
    }
    if ((code & 4) && entry != 0 && entry == pressed_on && entry == selected)
        return CLICK;
    return 0;
}

/* The next key code or mouse input.  On a screen the key and the mouse are
 * polled, sleeping 10 ms between empty polls; without one only keys can
 * come, and the key wait gives -1 once none ever will. */
static int next_input(int on_screen)
{
    vorn_handle report = 0;
    int input = 0;
    if (!on_screen)
        return wrap_wait_key();
    while (input == 0) {
        input = wrap_get_key();
        if (input > 0)
            break;
        input = 0;
        assign(&report, wrap_text_mouse());
        if (report != (vorn_handle)-1)
            input = mouse_input(report);
        else
            pause_for(0, 10000000);
    }
    assign(&report, 0);
    return input;
}

/* Acts on one input; 0 when it ends the menu. */
static int take_input(int input)
{
    if (under != 0) {
        dismiss();
        if (input == ENTER || input == LINE_FEED || input == CLICK)
            return 1;
    }
    if (input == ESCAPE || input < 0)
        return 0;
    if (input == BREAK_KEY) {
        breaks++;
        show_breaks();
    } else if (input == UP)
        select_item(selected == 1 ? 4 : selected - 1);
    else if (input == DOWN)
        select_item(selected == 4 ? 1 : selected + 1);
    else if (input >= '1' && input <= '4')
        select_item(input - '0');
    else if (input > PICK && input < CLICK)
        select_item(input - PICK);
    else if (input == ENTER || input == LINE_FEED || input == CLICK)
        confirm();
    return 1;
}

int main(int argc, char **argv)
{
    int choice = argc > 1 ? atoi(argv[1]) : 0;
    int seconds = argc > 2 ? atoi(argv[2]) : 0;
    int on_screen;
    if (argc > 1)
        selected = choice >= 1 && choice <= 4 ? choice : 1;
    vorn_start(argc, argv);
    machine(42, 0);

    wrap_cursor(0);
    wrap_text_color(15);
    wrap_bk_color(1);
    wrap_clear_screen();
    on_screen = bSucces;
    show_at(1, 1, 0, 7,
            build_string(" vorn -- screen menu                                                            "));
    box(6, 30, 8, 20, 3);
    show_at(7, 32, 15, 3, build_string("Menu"));
    show_at(24, 1, 15, 1, build_string(" Arrows or mouse select, Enter or a click confirms, Esc ends"));
    for (int i = 1; i <= 4; i++)
        show_item(i);
    show_breaks();

    if (argc > 1) {
        pause_for(seconds, 0);
        confirm();
        pause_for(seconds, 0);
        dismiss();
        pause_for(seconds, 0);
    } else {
        while (take_input(next_input(on_screen))) {
        }
    }
    assign(&under, 0);

    wrap_text_color(7);
    wrap_bk_color(0);
    wrap_clear_screen();
    if (chosen != 0)
        wrap_printf(1, build_string("chosen: %d %s\n"),
                    build_sequence(2, (vorn_handle)chosen, build_string(items[chosen - 1])));
    else
        wrap_puts(1, build_string("nothing chosen\n"));
    breaks += (int)machine(43, 0);
    wrap_printf(1, build_string("Ctrl+C caught: %d\n"), (vorn_handle)breaks);
    vorn_stop();
    return 0;
}

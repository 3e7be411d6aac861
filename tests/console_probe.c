/* console_probe.c -- a program for the terminal tests: it starts as a
 * translated program does, then performs the console actions its arguments
 * name, in order (see act); `hold:FILE` creates FILE and waits for a line. */
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vorn.h>

static vorn_handle image;

static vorn_handle pair(int a, int b) { return build_sequence(2, (vorn_handle)a, (vorn_handle)b); }

/* Writes "ready", then each key code (`keys:FILE`, until 'Z', then the
 * processor seconds) or each mouse report (`mouse:FILE`) to FILE. */
static void record(const char *a)
{
    FILE *out = fopen(strchr(a, ':') + 1, "w");
    fputs("ready\n", out);
    fflush(out);
    for (int key = 0; a[0] == 'k' && key != 'Z'; fflush(out))
        fprintf(out, "%d\n", key = wrap_wait_key());
    if (a[0] == 'k')
        fprintf(out, "cpu %.3f\n", (double)clock() / CLOCKS_PER_SEC);
    for (vorn_handle m; a[0] == 'm'; fflush(out), usleep(5000))
        if ((m = wrap_text_mouse()) != (vorn_handle)-1) {
            const vorn_handle *e = vorn_record_of(m)->data;
            fprintf(out, "{%d,%d,%d}\n", e[0], e[1], e[2]);
        }
    fclose(out);
}

static void act(const char *a)
{
    int p, q, r, s;
    if (strcmp(a, "clear") == 0)
        wrap_clear_screen();
    else if (strcmp(a, "line") == 0)
        wrap_clear_line();
    else if (strcmp(a, "fail") == 0)
        wrap_text_color(build_string("x"));
    else if (strncmp(a, "puts:", 5) == 0)
        wrap_puts(1, build_string(a + 5));
    else if (sscanf(a, "pos:%d,%d", &p, &q) == 2)
        wrap_position((vorn_handle)p, (vorn_handle)q);
    else if (sscanf(a, "fg:%d", &p) == 1)
        wrap_text_color((vorn_handle)p);
    else if (sscanf(a, "bg:%d", &p) == 1)
        wrap_bk_color((vorn_handle)p);
    else if (sscanf(a, "cursor:%d", &p) == 1)
        wrap_cursor((vorn_handle)p);
    else if (sscanf(a, "wrap:%d", &p) == 1)
        wrap_wrap((vorn_handle)p);
    else if (sscanf(a, "save:%d,%d,%d,%d", &p, &q, &r, &s) == 4)
        assign(&image, wrap_save_text_image(pair(p, q), pair(r, s)));
    else if (sscanf(a, "show:%d,%d", &p, &q) == 2)
        wrap_display_text_image(pair(p, q), image);
    else if (sscanf(a, "breaks:%d", &p) == 1) {
        signal(SIGINT, breakhandler);
        machine(42, (vorn_handle)p);
    } else if (strncmp(a, "keys:", 5) == 0 || strncmp(a, "mouse:", 6) == 0)
        record(a);
    else if (sscanf(a, "box:%d:", &p) == 1) { /* appends the button, "?" if the modes changed */
        struct termios before, after;
        FILE *out = fopen(strchr(a + 4, ':') + 1, "a");
        tcgetattr(0, &before);
        p = wrap_message_box(build_string("Proceed?"), build_string("Vorn box"), p);
        fprintf(out, "%d%c", p, tcgetattr(0, &after) == 0 && before.c_lflag == after.c_lflag ? ' ' : '?');
        fclose(out);
    } else if (strncmp(a, "hold:", 5) == 0) {
        fclose(fopen(a + 5, "w"));
        (void)!fgets((char[64]){0}, 64, stdin);
    }
}

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_conhdl();
    for (int k = 1; k < argc; ++k)
        act(argv[k]);
    assign(&image, 0);
    close_conhdl();
    close_files();
    return 0;
}

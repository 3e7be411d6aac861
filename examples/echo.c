/* echo.c -- a translated program, written by hand as the translator writes
 * it: a TCP echo server and its client on 127.0.0.1, both going through the
 * file table (open, puts, gets, close), each side printing what it got.
 *
 *     echo                 both ends in this one program: the client's
 *                          connection waits in the server's queue until the
 *                          server accepts it, then the lines go back and forth
 *     echo serve           the server alone: says which port it listens on,
 *                          waits up to 10 s for a client and echoes its lines
 *                          until "bye"
 *     echo client PORT     the client alone: sends the lines to PORT and
 *                          prints what comes back
 *
 * Source, roughly:
 *     constant LINES = {"hello\n", "how are you?\n", "bye\n"}
 *
 *     function listen()               -- the first free port from 47100
 *         for port = 47100 to 47199 do
 *             integer fn = open("127.0.0.1:" & sprintf("%d", port), "s")
 *             if fn > 0 then return {fn, port} end if
 *         end for
 *         return {-1, 0}
 *     end function
 *
 *     function accept(integer server)  -- at most 10 waits of a second
 *         for try = 1 to 10 do
 *             integer fn = open(server, "aw")
 *             if fn > 0 then return fn end if
 *         end for
 *         return -1
 *     end function
 *
 *     function echo_line(integer conn)  -- one line back to the client
 *         object got = gets(conn)
 *         if atom(got) then return 0 end if
 *         printf(1, "server got: %s", {got})
 *         puts(conn, got)
 *         return not equal(got, "bye\n")
 *     end function
 *
 *     procedure send_line(integer client, sequence line)
 *         puts(client, line)
 *     end procedure
 *
 *     procedure read_echo(integer client)
 *         object back = gets(client)
 *         if sequence(back) then printf(1, "client got: %s", {back}) end if
 *     end procedure
 *
 * and the three modes of the main program below.  A routine holds a
 * reference on each sequence parameter while it runs and hands it back with
 * its private variables.  Every wait is bounded:
 * the accept by its ten one-second waits, the reads by the partner, which
 * either answers or closes the connection.
 */
#include <vorn.h>

/* top-level variables */
static vorn_handle server, port, client, conn, mode;

/* literals */
static vorn_handle lines, str_host, str_serve, str_client, str_s, str_c, str_aw, str_bye, fmt_number,
    fmt_listening, fmt_server_got, fmt_client_got, fmt_no_port, fmt_no_client, fmt_no_server, fmt_usage;

static vorn_handle address_of(vorn_handle port_number)
{
    return concat(str_host, wrap_sprintf(fmt_number, port_number));
}

/* {file number, port} of a listening socket, {-1, 0} when no port was free */
static vorn_handle listen_socket(void)
{
    vorn_handle fn = 0;
    for (int32_t p = 47100; p <= 47199; p++) {
        assign(&fn, wrap_open(address_of(p), str_s));
        if (BOOL_relation(7, fn, 0))
            return func_cleanup(build_sequence(2, fn, p), 1, fn);
    }
    return func_cleanup(build_sequence(2, -1, 0), 1, fn);
}

static vorn_handle accept_client(vorn_handle listening)
{
    vorn_handle fn = 0;
    for (int32_t try = 1; try <= 10; try++) {
        assign(&fn, wrap_open(listening, str_aw));
        if (BOOL_relation(7, fn, 0))
            return func_cleanup(fn, 1, fn);
    }
    return func_cleanup(-1, 1, fn);
}

/* 1 while the conversation goes on, 0 after "bye" or the end of the stream */
static vorn_handle echo_line(vorn_handle connection)
{
    vorn_handle got = 0;
    assign(&got, wrap_gets(connection));
    if (wrap_atom(got))
        return func_cleanup(0, 1, got);
    wrap_printf(1, fmt_server_got, build_sequence(1, got));
    wrap_puts(connection, got);
    return func_cleanup(not(equal(got, str_bye)), 1, got);
}

static void send_line(vorn_handle to, vorn_handle line)
{
    reference(line);
    wrap_puts(to, line);
    proc_cleanup(1, line);
}

static void read_echo(vorn_handle from)
{
    vorn_handle back = 0;
    assign(&back, wrap_gets(from));
    if (wrap_sequence(back))
        wrap_printf(1, fmt_client_got, build_sequence(1, back));
    proc_cleanup(1, back);
}

/* both ends in one program, one line at a time */
static void run_both(void)
{
    vorn_handle listening = 0;
    assign(&listening, listen_socket());
    assign(&server, subscript(listening, 1));
    assign(&port, subscript(listening, 2));
    if (BOOL_relation(12, server, 0)) {
        wrap_printf(1, fmt_no_port, 0);
        wrap_abort(1);
    }
    assign(&client, wrap_open(address_of(port), str_c));
    assign(&conn, accept_client(server));
    if (BOOL_relation(12, client, 0) || BOOL_relation(12, conn, 0)) {
        wrap_printf(1, fmt_no_client, 0);
        wrap_abort(1);
    }
    for (int32_t i = 1, n = length(lines); i <= n; i++) {
        send_line(client, subscript(lines, i));
        echo_line(conn);
        read_echo(client);
    }
    wrap_close(client);
    wrap_close(conn);
    wrap_close(server);
    proc_cleanup(1, listening);
}

static void run_server(void)
{
    vorn_handle listening = 0;
    assign(&listening, listen_socket());
    assign(&server, subscript(listening, 1));
    assign(&port, subscript(listening, 2));
    if (BOOL_relation(12, server, 0)) {
        wrap_printf(1, fmt_no_port, 0);
        wrap_abort(1);
    }
    wrap_printf(1, fmt_listening, port);
    assign(&conn, accept_client(server));
    if (BOOL_relation(12, conn, 0)) {
        wrap_printf(1, fmt_no_client, 0);
        wrap_abort(1);
    }
    while (echo_line(conn)) {
    }
    wrap_close(conn);
    wrap_close(server);
    proc_cleanup(1, listening);
}

static void run_client(vorn_handle port_text)
{
    vorn_handle parsed = 0;
    assign(&parsed, wrap_value(port_text));  /* {0, number} when it is one */
    assign(&port, subscript(parsed, 2));
    assign(&client, wrap_open(address_of(port), str_c));
    if (BOOL_relation(12, client, 0)) {
        wrap_printf(1, fmt_no_server, port);
        wrap_abort(1);
    }
    for (int32_t i = 1, n = length(lines); i <= n; i++) {
        send_line(client, subscript(lines, i));
        read_echo(client);
    }
    wrap_close(client);
    proc_cleanup(1, parsed);
}

int main(int argc, char **argv)
{
    vorn_start(argc, argv);

    assign(&lines, build_sequence(3, build_string("hello\n"), build_string("how are you?\n"), build_string("bye\n")));
    assign(&str_host, build_string("127.0.0.1:"));
    assign(&str_serve, build_string("serve"));
    assign(&str_client, build_string("client"));
    assign(&str_s, build_string("s"));
    assign(&str_c, build_string("c"));
    assign(&str_aw, build_string("aw"));
    assign(&str_bye, build_string("bye\n"));
    assign(&fmt_number, build_string("%d"));
    assign(&fmt_listening, build_string("echo server listening on port %d\n"));
    assign(&fmt_server_got, build_string("server got: %s"));
    assign(&fmt_client_got, build_string("client got: %s"));
    assign(&fmt_no_port, build_string("echo: no free port from 47100 to 47199\n"));
    assign(&fmt_no_client, build_string("echo: no client came\n"));
    assign(&fmt_no_server, build_string("echo: no server on port %d\n"));
    assign(&fmt_usage, build_string("usage: echo [serve | client PORT]\n"));

    if (BOOL_relation(9, length(command_line()), 1)) {
        run_both();
    } else {
        assign(&mode, subscript(command_line(), 2));
        if (BOOL_relation(9, mode, str_serve)) {
            run_server();
        } else if (BOOL_relation(9, mode, str_client) && BOOL_relation(9, length(command_line()), 3)) {
            run_client(subscript(command_line(), 3));
        } else {
            wrap_printf(1, fmt_usage, 0);
            wrap_abort(1);
        }
    }

    proc_cleanup(5, server, port, client, conn, mode);
    proc_cleanup(16, lines, str_host, str_serve, str_client, str_s, str_c, str_aw, str_bye, fmt_number,
                 fmt_listening, fmt_server_got, fmt_client_got, fmt_no_port, fmt_no_client, fmt_no_server,
                 fmt_usage);
    vorn_stop();
    return 0;
}

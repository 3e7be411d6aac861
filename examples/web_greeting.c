/* web_greeting.c -- a translated program that runs under a web server as a
 * CGI program: it reads its query from the environment, keeps the name it
 * was given (letters, digits and spaces only, '+' read as a space) and
 * answers with an HTML page built by sprintf.  Under a web server
 * REQUEST_METHOD is set, so the console stays untouched and no escape
 * sequence reaches the page.  The page ends with the number of records the
 * program still holds once it has let go of everything: 0.
 *
 * Source, roughly:
 *     object query = getenv("QUERY_STRING")
 *     sequence name = "world"
 *     if sequence(query) and match("name=", query) = 1 then
 *         name = ""
 *         for i = 6 to length(query) do
 *             if query[i] = '+' then name &= ' '
 *             elsif find(query[i], allowed) then name &= query[i] end if
 *         end for
 *     end if
 *     puts(1, "Content-Type: text/html\r\n\r\n")
 *     puts(1, sprintf(page, {name, getenv("REQUEST_METHOD")}))
 */
#include <vorn.h>

/* top-level variables */
static vorn_handle query, name;

/* literals */
static vorn_handle str_query_string, str_request_method, str_world, str_name_is, str_allowed, str_header,
    fmt_page;

static void make_literals(void)
{
    assign(&str_query_string, build_string("QUERY_STRING"));
    assign(&str_request_method, build_string("REQUEST_METHOD"));
    assign(&str_world, build_string("world"));
    assign(&str_name_is, build_string("name="));
    assign(&str_allowed, build_string("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "));
    assign(&str_header, build_string("Content-Type: text/html\r\n\r\n"));
    assign(&fmt_page, build_string("<!DOCTYPE html>\n<html><head><title>Greeting</title></head>\n"
                                   "<body><h1>Hello, %s!</h1><p>Asked by %s.</p></body></html>\n"));
}

/* The name in the query: the characters after "name=" that may appear in
 * the page as they are, a '+' standing for a space. */
static vorn_handle name_in(vorn_handle q)
{
    vorn_handle kept = 0, c = 0;
    reference(q);
    assign(&kept, null_sequence);
    for (int32_t i = 6, n = length(q); i <= n; i++) {
        assign(&c, subscript(q, i));
        if (BOOL_relation(9, c, '+'))
            concat_to(&kept, ' ');
        else if (find(c, str_allowed))
            concat_to(&kept, c);
    }
    return func_cleanup(kept, 3, q, c, kept);
}

int main(int argc, char **argv)
{
    int32_t live;
    vorn_start(argc, argv);
    make_literals();

    assign(&query, wrap_getenv(str_query_string));
    assign(&name, str_world);
    if (wrap_sequence(query) && BOOL_relation(9, match(str_name_is, query), 1))
        assign(&name, name_in(query));

    wrap_puts(1, str_header);
    wrap_puts(1, wrap_sprintf(fmt_page, build_sequence(2, name, wrap_getenv(str_request_method))));

    proc_cleanup(2, query, name);
    proc_cleanup(7, str_query_string, str_request_method, str_world, str_name_is, str_allowed, str_header,
                 fmt_page);
    live = vorn_live_records();
    wrap_printf(1, build_string("<!-- live records: %d -->\n"), live);
    vorn_stop();
    return 0;
}

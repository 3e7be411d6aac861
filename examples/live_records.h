/* live_records.h -- the check a debug build of a translated program makes as
 * it ends: with the environment variable VORN_LIVE_RECORDS set, it writes how
 * many records are still held beyond the start-up objects (the command-line
 * sequence, its argument strings and the shared empty sequence).  A program
 * that handed back every variable and temporary writes 0.
 */
#ifndef EXAMPLES_LIVE_RECORDS_H
#define EXAMPLES_LIVE_RECORDS_H

#include <stdio.h>
#include <stdlib.h>
#include <vorn.h>

static void report_live_records(void)
{
    int32_t free_records = 0, startup;
    if (getenv("VORN_LIVE_RECORDS") == NULL)
        return;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_records;
    startup = 2 + length(command_line());
    printf("records held at exit: %d\n", object_count - free_records - startup);
    fflush(stdout);
}

#endif

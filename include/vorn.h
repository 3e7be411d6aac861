/*
 * vorn.h -- the whole public contract of the vorn run-time library.
 *
 * A translated program includes this header and links -lvorn.  Every routine
 * and data word the library exports is declared here, and nothing else is
 * exported.  The header compiles as C11 and as C++.
 */
#ifndef VORN_H
#define VORN_H

/* The library's version.  The build takes it from here for the shared
 * library's name (libvorn.so.MAJOR), the pkg-config file and the CMake
 * package; a new major number means programs must be built again. */
#define VORN_VERSION_MAJOR 0
#define VORN_VERSION_MINOR 1
#define VORN_VERSION_PATCH 0

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Marks every exported routine and data word; everything else stays hidden. */
#define VORN_API __attribute__((visibility("default")))
#define VORN_NORETURN __attribute__((noreturn))

/* ------------------------------------------------------------------------
 * Object handles
 *
 * A value crosses the library boundary as a 32-bit handle:
 *   top two bits anything but 10  an integer, the handle read as signed
 *                                 (-1073741824 .. 2147483647)
 *   top four bits 1000            a sequence, low 28 bits = record index
 *   top four bits 1001            a double,   low 28 bits = record index
 *   top three bits 101            never produced
 * ---------------------------------------------------------------------- */
typedef uint32_t vorn_handle;

#define VORN_SEQUENCE_TAG 0x80000000u
#define VORN_DOUBLE_TAG 0x90000000u
#define VORN_INDEX_MASK 0x0FFFFFFFu
#define VORN_MIN_INTEGER (-1073741824)
#define VORN_MAX_INTEGER 2147483647

static inline int vorn_is_integer(vorn_handle h) { return (h & 0xC0000000u) != 0x80000000u; }
static inline int vorn_is_object(vorn_handle h) { return (h & 0xE0000000u) == 0x80000000u; }
static inline int vorn_is_sequence(vorn_handle h) { return (h & 0xF0000000u) == 0x80000000u; }
static inline int vorn_is_double(vorn_handle h) { return (h & 0xF0000000u) == 0x90000000u; }
static inline int vorn_is_atom(vorn_handle h) { return !vorn_is_sequence(h); }
static inline uint32_t vorn_index(vorn_handle h) { return h & VORN_INDEX_MASK; }
static inline vorn_handle vorn_sequence_handle(int32_t index) { return (uint32_t)index | VORN_SEQUENCE_TAG; }
static inline vorn_handle vorn_double_handle(int32_t index) { return (uint32_t)index | VORN_DOUBLE_TAG; }

/* ------------------------------------------------------------------------
 * Object records
 *
 * One record per double or sequence, in one growable table (`objects`):
 *   count   reference count (0 = a temporary); on a free record, the index
 *           of the next free record, 0 ending the list
 *   data    sequence storage: `length` handles, or -`length` bytes followed
 *           by a zero byte; on a view, a pointer into the base's storage
 *   length  element count; negative for a bytesequence
 *   base    0 when the record owns its storage, else the handle of the
 *           sequence it shares storage with (never itself a view)
 * A double's 8 bytes overlay `length` (low word) and `base` (high word).
 * ---------------------------------------------------------------------- */
typedef struct vorn_record {
    int32_t count;
    void *data;
    int32_t length;
    uint32_t base;
} vorn_record;

/* A registered crash routine: the stack is linked newest first. */
typedef struct vorn_crash_node {
    void (*routine)(void);
    struct vorn_crash_node *next;
} vorn_crash_node;

/* The object table and its counters, read and written by translated code.
 * The table moves when it grows: never keep a record pointer (news
 * included) across anything that can make an object. */
VORN_API extern vorn_record *objects;      /* the table of records */
VORN_API extern int32_t object_count;      /* next never-used record index */
VORN_API extern int32_t object_limit;      /* capacity in records; grows by 256 */
VORN_API extern int32_t free_tail;         /* the most recently freed record, 0 when none */
VORN_API extern int32_t free_head;         /* not used by the library */
VORN_API extern vorn_record *news;         /* the record the last builder made or worked on */
VORN_API extern vorn_handle null_sequence; /* the shared empty sequence, count 1 for the whole run */
VORN_API extern int32_t commandline;       /* record index (no tag) of the command-line sequence */
VORN_API extern int32_t operand;           /* operator code of the element-wise operation running */

/* Reserved words for the translated program; the library never touches them. */
VORN_API extern int32_t op_subscript;                   /* reserved */
VORN_API extern int32_t op_slice;                       /* reserved */
VORN_API extern int32_t op_subscript_assign;            /* reserved */
VORN_API extern int32_t op_subscript_arithmetic_assign; /* reserved */
VORN_API extern int32_t op_slice_assign;                /* reserved */
VORN_API extern int32_t op_slice_arithmetic_assign;     /* reserved */
VORN_API extern int32_t op_build_sequence;              /* reserved */
VORN_API extern int32_t op_length;                      /* reserved */

static inline vorn_record *vorn_record_of(vorn_handle h) { return &objects[vorn_index(h)]; }

/* The value of a double handle. */
static inline double vorn_double_value(vorn_handle h)
{
    double d;
    memcpy(&d, &vorn_record_of(h)->length, sizeof d);
    return d;
}

/* ------------------------------------------------------------------------
 * The object store
 * ---------------------------------------------------------------------- */
/* The reference-count rule every routine follows: a routine's result is a
 * new temporary (count 0) unless its comment says otherwise.  A variable or
 * an element holding a handle owns one count.  A routine that *releases* an
 * argument destroys it when it is a temporary (count below 1) and leaves a
 * held object alone; one that *keeps* an argument adds a count for itself;
 * one that *borrows* an argument leaves its count as it was.  A routine may
 * hand back a temporary argument's own record as its result. */

/* A new record index (no tag), count 0, its other words as they were. */
VORN_API int32_t new_object(void);
/* A new record index (no tag), count 0, empty and owning no storage; news
 * points at it.  The caller fills data and length and ORs in
 * VORN_SEQUENCE_TAG. */
VORN_API int32_t new_sequence(void);
/* A new record index (no tag) holding the double, count 0; the handle is
 * vorn_double_handle(index). */
VORN_API int32_t new_double(double value);
/* A new temporary bytesequence holding a copy of the text (an empty text
 * gives an empty sequence); news points at it. */
VORN_API vorn_handle build_string(const char *text);
/* Adds one count to an object (nothing for an integer); gives h back. */
VORN_API vorn_handle reference(vorn_handle h);
/* The count of an object, 0 for an integer; borrows h. */
VORN_API int32_t refcount(vorn_handle h);
/* The element count of a sequence (a string of 3 bytes gives 3); borrows h.
 * An atom is fatal: "length of an atom is undefined\n". */
VORN_API int32_t length(vorn_handle h);
/* *variable = h: keeps h (one count), then lets go of the old value
 * (destroyed with its last holder).  Assigning a variable its own value is
 * safe.  This is how a temporary becomes held. */
VORN_API void assign(vorn_handle *variable, vorn_handle h);
/* Frees an object whatever its count (the caller decided nobody holds it):
 * a view lets go of its base, a sequence of its elements, then the record
 * goes to the free list.  Programs drop values with vorn_discard or assign. */
VORN_API void destroy(vorn_handle h);
/* Copy on write: before the program changes the sequence in *variable in
 * place, makes it the variable's own (count 1, owning its storage, news
 * naming it), copying when another holder or a base shares it.  An atom is
 * fatal with error_atom_error and "assign subscript". */
VORN_API void only_sequence(vorn_handle *variable);
/* Frees a sequence's record and storage without letting go of its elements
 * (they were moved elsewhere); a view lets go of its base the same way. */
VORN_API void clobber_sequence(vorn_handle h);
/* Widens the bytesequence news points at (owning its storage) into a
 * sequence of handles in place: same record, handle and count. */
VORN_API void explode_sequence(void);
/* The same for the bytesequence h (news set to it); gives its length.
 * Bytes are zero-extended: 200 stays 200. */
VORN_API int32_t conv_byte2obj(vorn_handle h);
/* The integer a double holds exactly when it fits in 32 bits, else
 * 0x80000000 (an integer handle gives 0x80000000 too); borrows h.  The
 * result is a raw number: check the integer class before using it as a
 * handle. */
VORN_API int32_t DBL2INT(vorn_handle h);
/* The platform code of this build: 2. */
VORN_API int32_t platform(void);

/* Type tests of the language, 1 or 0; each releases its argument. */
VORN_API int32_t wrap_object(vorn_handle h);   /* always 1 */
VORN_API int32_t wrap_sequence(vorn_handle h); /* 1 for a sequence, the empty one too */
VORN_API int32_t wrap_atom(vorn_handle h);     /* 1 for an integer or a double */
/* 1 for the integer class (1073741824 yes, a double 3.0 no). */
VORN_API int32_t wrap_integer(vorn_handle h);
/* 1 for a sequence stored as bytes (a string; the empty sequence is not). */
VORN_API int32_t wrap_bytesequence(vorn_handle h);

/* ------------------------------------------------------------------------
 * Building sequences, start-up objects, text of an object, clean-up
 * ---------------------------------------------------------------------- */
/* Start-up: makes the command-line sequence (one string per argument) and
 * null_sequence, all with count 1, never destroyed.  vorn_start calls it;
 * a program that starts by hand calls it first, then init_files before
 * any output. */
VORN_API void init_command_line(int argc, char **argv);
/* The command-line sequence itself (held by the library: not a temporary,
 * never release it). */
VORN_API vorn_handle command_line(void);
/* A new sequence of the count handles that follow; keeps each object among
 * them (one count each).  All bytes 0..255 make a bytesequence. */
VORN_API vorn_handle build_sequence(int32_t count, ...);
/* A new sequence of n copies of x (a bytesequence when x is 0..255), x kept
 * n times; n of 0 releases x and gives null_sequence itself.  An n that is
 * not an integer is fatal: "sec. arg of repeat must be a integer\n". */
VORN_API vorn_handle repeat(vorn_handle x, vorn_handle n);
/* The text of x, borrowed: an atom "%d"/"%g", a string its own storage, any
 * other sequence one character per element (low 8 bits), the empty
 * sequence " ".  The text lives until eight more conversions; a sequence
 * element is fatal: "sequence found inside character string". */
VORN_API char *convert_string(vorn_handle x);
/* A procedure's end: lets go of the count variables that follow (each
 * object loses one count, destroyed with its last holder). */
VORN_API void proc_cleanup(int32_t count, ...);
/* A function's end: the same, keeping result alive across it and giving it
 * back as it came (a temporary stays a temporary; a view becomes a sequence
 * of its own, perhaps another handle). */
VORN_API vorn_handle func_cleanup(vorn_handle result, int32_t count, ...);

/* ------------------------------------------------------------------------
 * Starting and stopping a program, and finding its leaks
 *
 * With the environment variable VORN_DEBUG containing "leaks" when start-up
 * ends, the library writes on standard error as the process exits how many
 * records are live beyond the start-up objects, and the first five of them
 * with their record index, count and text form (the first 100 bytes), read
 * as a sequence unless the record cannot be one.  Without it nothing is
 * checked and nothing runs at exit.
 * ---------------------------------------------------------------------- */
/* Start-up in one call: init_command_line(argc, argv), init_files,
 * init_conhdl, init_system, init_dll_link, and breakhandler installed for
 * SIGINT.  Call it first; the start-up objects it makes are never leaks. */
VORN_API void vorn_start(int argc, char **argv);
/* Shut-down in one call: close_conhdl, close_files, fini_dll_link.  The
 * process goes on; files opened with wrap_open stay open. */
VORN_API void vorn_stop(void);
/* Drops a value the program does not want (an unused result): a temporary
 * is destroyed, an object something holds is left alone, an integer is
 * nothing to drop. */
VORN_API void vorn_discard(vorn_handle h);
/* The number of records live now beyond the start-up objects: 0 in a
 * program that has let go of every value it made. */
VORN_API int32_t vorn_live_records(void);

/* ------------------------------------------------------------------------
 * Run-time errors, crash routines and the exit path
 * ---------------------------------------------------------------------- */
VORN_API extern vorn_crash_node *crash_routines; /* registered crash routines, newest first */
VORN_API extern int32_t error_count;              /* crash routines running now */
VORN_API extern char *crash_message;              /* copy of the crash message, or NULL */
VORN_API extern char *crash_file;                 /* copy of the crash file name, or NULL */
VORN_API extern FILE *crash_file_ptr;             /* the crash file while a report is written */

/* Message formats shared by the sequence operations ("%s" = operation). */
VORN_API extern char error_atom_error[];      /* "%s : cann't operate on a Atom .\n" */
VORN_API extern char error_subscript_error[]; /* "%s : subscript error ! should be a integer .\n" */
VORN_API extern char error_subscript_bound[]; /* "%s : subscript %d out of range [1 .. %d]\n" */
VORN_API extern char error_slice_lbound[];    /* "%s : subscript %d .. out of range [1..%d]\n" */
VORN_API extern char error_slice_hbound[];    /* "%s : .. subscript %d out of range [1..%d]\n" */
VORN_API extern char error_slice_length[];    /* "%s : sequence lengths are not the same (%d != %d)\n" */
VORN_API extern char error_slice_neg[];       /* "%s : slice length cannot be negative\n" */

/* The one way the library fails: writes "RUN_TIME_ERROR : " and the
 * formatted message to standard output (no line break added), copies it to
 * the crash file when one is set, runs the crash routines newest first,
 * writes the crash message or "--> see FILE", and ends with status 1. */
VORN_API VORN_NORETURN void runtime_error(const char *format, ...)
    __attribute__((format(printf, 1, 2)));
/* Registers a routine to run (once, newest first) when a run-time error
 * ends the program. */
VORN_API void wrap_crash_routine(void (*routine)(void));
/* Sets the text written after the crash routines instead of the report
 * line; borrows x (its text as convert_string makes it). */
VORN_API void wrap_crash_message(vorn_handle x);
/* Names a file the report is copied to (truncated when an error happens);
 * borrows x. */
VORN_API void wrap_crash_file(vorn_handle x);
/* Runs and removes every registered crash routine; the program goes on. */
VORN_API void do_crash_routines(void);
/* Ends the process with status (through Pexit): no report, no crash
 * routines. */
VORN_API VORN_NORETURN void wrap_abort(int32_t status);
/* The library's one exit: gives the terminal back, stops the socket
 * service and calls exit(status), which flushes every stream. */
VORN_API VORN_NORETURN void Pexit(int32_t status);

/* ------------------------------------------------------------------------
 * Binary operators and the element-wise engine
 * ---------------------------------------------------------------------- */

/* Operator codes kept in `operand` while an element-wise operation runs:
 *   0 add  1 subtract  2 multiply  3 divide  4 and  5 or  6 xor
 *   7 greater  8 less  9 equals  10 not equal  11 greater or equal
 *   12 less or equal  13 not  14 negate  15 or_bits  16 xor_bits
 *   17 and_bits  18 not_bits  19 concatenate  20 floor  21 remainder
 *   22 sin  23 cos  24 tan  25 arctan  26 sqrt  27 power  28 rand
 *   29 log  30 upper  31 lower
 * Every operator releases its temporary operands (or reuses a temporary
 * double's record for its result), except that `and` and `or` leave a
 * second operand they do not need untouched. */
/* Integer results stay integers above -805306368 and below 2^31; others
 * become doubles.  Element-wise over sequences (lengths must agree).
 * Integer division by 0 is fatal: "attempt to divide by 0\n". */
VORN_API vorn_handle add(vorn_handle a, vorn_handle b);            /* a + b */
VORN_API vorn_handle subtract(vorn_handle a, vorn_handle b);       /* a - b */
VORN_API vorn_handle multiply(vorn_handle a, vorn_handle b);       /* a * b */
VORN_API vorn_handle divide(vorn_handle a, vorn_handle b);         /* a / b */
VORN_API vorn_handle wrap_remainder(vorn_handle a, vorn_handle b); /* remainder of a / b */
VORN_API vorn_handle power(vorn_handle a, vorn_handle b);          /* a to the power b */
VORN_API vorn_handle and_bits(vorn_handle a, vorn_handle b);       /* bitwise and (32 bits) */
VORN_API vorn_handle or_bits(vorn_handle a, vorn_handle b);        /* bitwise or */
VORN_API vorn_handle xor_bits(vorn_handle a, vorn_handle b);       /* bitwise exclusive or */
/* Relations element by element, 1 or 0 per element (whole objects: use
 * compare or BOOL_relation). */
VORN_API vorn_handle greater_than(vorn_handle a, vorn_handle b);  /* a > b */
VORN_API vorn_handle less_than(vorn_handle a, vorn_handle b);     /* a < b */
VORN_API vorn_handle greater_equal(vorn_handle a, vorn_handle b); /* a >= b */
VORN_API vorn_handle less_equal(vorn_handle a, vorn_handle b);    /* a <= b */
VORN_API vorn_handle equals(vorn_handle a, vorn_handle b);        /* a = b */
VORN_API vorn_handle not_equal(vorn_handle a, vorn_handle b);     /* a != b */

/* The logical operators and, or, xor (1 or 0, element-wise) carry the
 * language's keyword names; C++ reaches the same symbols under vorn_and,
 * vorn_or and vorn_xor. */
#ifdef __cplusplus
VORN_API vorn_handle vorn_and(vorn_handle a, vorn_handle b) __asm__("and");
VORN_API vorn_handle vorn_or(vorn_handle a, vorn_handle b) __asm__("or");
VORN_API vorn_handle vorn_xor(vorn_handle a, vorn_handle b) __asm__("xor");
#else
VORN_API vorn_handle and(vorn_handle a, vorn_handle b);
VORN_API vorn_handle or(vorn_handle a, vorn_handle b);
VORN_API vorn_handle xor(vorn_handle a, vorn_handle b);
#endif

/* The engine: `operand` set by the caller; releases a and b. */
VORN_API vorn_handle autosequence(vorn_handle a, vorn_handle b);
/* Two atoms under `operand`; consumes or reuses temporary operands. */
VORN_API vorn_handle recursive_op(vorn_handle a, vorn_handle b);
/* Relation 7..12 between whole objects, 1 or 0; releases a and b. */
VORN_API int32_t BOOL_relation(int32_t code, vorn_handle a, vorn_handle b);

/* ------------------------------------------------------------------------
 * Unary operators, math functions and random numbers
 * ---------------------------------------------------------------------- */

/* Each applies element-wise through nested sequences and releases its
 * argument (a temporary double's record may hold the result). */
VORN_API vorn_handle negate(vorn_handle x);     /* -x */
VORN_API vorn_handle not_bits(vorn_handle x);   /* bitwise not */
VORN_API vorn_handle wrap_floor(vorn_handle x); /* the integer at or below x */
VORN_API vorn_handle upper(vorn_handle x);      /* letters a-z to A-Z, the rest as it is */
VORN_API vorn_handle lower(vorn_handle x);      /* letters A-Z to a-z */
VORN_API vorn_handle wrap_sin(vorn_handle x);   /* sine (radians) */
VORN_API vorn_handle wrap_cos(vorn_handle x);   /* cosine */
VORN_API vorn_handle wrap_tan(vorn_handle x);   /* tangent */
VORN_API vorn_handle wrap_arctan(vorn_handle x); /* arc tangent */
VORN_API vorn_handle wrap_sqrt(vorn_handle x);  /* square root */
VORN_API vorn_handle wrap_log(vorn_handle x);   /* natural logarithm */
VORN_API vorn_handle wrap_rand(vorn_handle x);  /* a random integer 1..x */
/* not: logical not, 1 or 0 per element (vorn_not in C++). */
#ifdef __cplusplus
VORN_API vorn_handle vorn_not(vorn_handle x) __asm__("not");
#else
VORN_API vorn_handle not(vorn_handle x);
#endif

/* Seeds the random generator with an integer; anything else is an error. */
VORN_API void wrap_set_rand(vorn_handle seed);
/* Start-up: seeds the random generator from the clock. */
VORN_API void init_system(void);

/* The engine: `operand` set by the caller; releases x. */
VORN_API vorn_handle autosequence1(vorn_handle x);
/* One atom under `operand`; consumes or reuses a temporary double. */
VORN_API vorn_handle recursive_uop(vorn_handle x);

/* ------------------------------------------------------------------------
 * Value parsing
 * ---------------------------------------------------------------------- */

/* The number written in a string (or a single digit's character code) as
 * the status pair {0, value} or {1, 0}; releases a sequence argument.
 * Beware: a whole number beyond 32 bits (2147483648 and up, below
 * -2147483648) is refused with {1, 0}, not made a double. */
VORN_API vorn_handle wrap_value(vorn_handle x);

/* ------------------------------------------------------------------------
 * Comparison and equality
 * ---------------------------------------------------------------------- */
/* -1, 0 or 1 / 1 or 0; both borrow their arguments. */
VORN_API int32_t recursive_compare(vorn_handle a, vorn_handle b); /* -1, 0, 1: atoms before sequences */
VORN_API int32_t recursive_equal(vorn_handle a, vorn_handle b);   /* 1 when a and b are equal objects */
/* The same results; then release a and b (a temporary is destroyed). */
VORN_API int32_t compare(vorn_handle a, vorn_handle b); /* recursive_compare, releasing */
VORN_API int32_t equal(vorn_handle a, vorn_handle b);   /* recursive_equal, releasing */

/* ------------------------------------------------------------------------
 * Keyed tables (MAP and CAM structures)
 *
 * A CAM structure is a sequence of keys in strictly ascending order; a MAP
 * is a 2-element sequence {keys, values}.  The searches return the 1-based
 * position of a present key, else -(p + 1) with p the number of keys below
 * it.  None of them takes, drops or releases a reference.
 * ---------------------------------------------------------------------- */
VORN_API int32_t cam_key_index(vorn_handle list, vorn_handle key); /* key in a CAM structure */
VORN_API int32_t find_bin_is(vorn_handle list, vorn_handle key);   /* binary search of a sorted list */
VORN_API int32_t find_key_is(vorn_handle map, vorn_handle key);    /* key in a MAP's key list */

/* ------------------------------------------------------------------------
 * Subscript and slice
 * ---------------------------------------------------------------------- */
/* Positions are 1-based, integers or integral doubles; negative positions
 * count from the end.  A sequence subscript is a key into a MAP.  A slice is
 * a view sharing its base's storage (the empty slice is `null_sequence`). */
/* UNDEF, the marker for no value, is 0x80000000: beware, that is also the
 * handle of record 0 as a sequence (the command-line sequence). */
VORN_API extern const vorn_handle UNDEF;
/* Element i of s, borrowed (s still holds it: not a temporary; take it with
 * assign).  A MAP key not present is fatal: "Key (in MAP or CAM structure)
 * not found !"; an atom s or a position out of range is fatal with
 * error_atom_error / error_subscript_bound and "subscript". */
VORN_API vorn_handle subscript(vorn_handle s, vorn_handle i);
/* A new view of s[lo..hi] sharing s's storage; keeps s (or its base) as
 * the view's base.  hi = lo - 1 gives null_sequence with one count added
 * for the caller.  Bounds are fatal with the error_slice_ formats and
 * "slice". */
VORN_API vorn_handle slice(vorn_handle s, vorn_handle lo, vorn_handle hi);

/* ------------------------------------------------------------------------
 * Concatenation, insertion and removal
 * ---------------------------------------------------------------------- */
/* Temporary sequence arguments are consumed (their record is reused for the
 * result); inserted objects gain a reference.  removeindex with a sequence
 * key removes that key from a MAP, or returns UNDEF when it is absent. */
VORN_API vorn_handle concat(vorn_handle a, vorn_handle b);      /* a & b, a new sequence */
VORN_API vorn_handle wrap_concat(vorn_handle a, vorn_handle b); /* the same as concat */
VORN_API vorn_handle _insert(vorn_handle s, vorn_handle x, vorn_handle k); /* the same as insert */
/* s with x inserted before position k (keeps x). */
VORN_API vorn_handle insert(vorn_handle s, vorn_handle x, vorn_handle k);
VORN_API vorn_handle append(vorn_handle s, vorn_handle x);  /* s with x added at the end (keeps x) */
VORN_API vorn_handle prepend(vorn_handle s, vorn_handle x); /* s with x added in front (keeps x) */
/* s without element k (or MAP key k). */
VORN_API vorn_handle removeindex(vorn_handle s, vorn_handle k);
/* removeindex's worker: s of len elements without element k (k of n). */
VORN_API vorn_handle _removeindex(vorn_handle s, int32_t len, int32_t n, int32_t k);

/* ------------------------------------------------------------------------
 * Subscript and slice assignment along a path
 *
 * `place` is the address of the variable assigned.  After the count come
 * that many subscripts, outermost first (at least one); in the slice forms
 * the last of them is the lower bound and `hi` the upper.  Each level is
 * made private to the variable before it is written; a sequence subscript
 * is a MAP key, and the element forms add a missing key in order.  `code`
 * is an operator code, stored in `operand` first.  subscript_assign keeps
 * the value (one reference for its slot); the other forms consume it.
 * ---------------------------------------------------------------------- */
/* place[i1]...[in] = value (keeps value). */
VORN_API void subscript_assign(vorn_handle *place, vorn_handle value, int32_t count, ...);
/* place[i1]...[in] op= value (operator code; consumes value). */
VORN_API void subscript_arithmetic_assign(int32_t code, vorn_handle *place, vorn_handle value, int32_t count, ...);
/* place[i1]...[lo..hi] = value (consumes value; an atom fills the slice). */
VORN_API void slice_assign(vorn_handle *place, vorn_handle hi, vorn_handle value, int32_t count, ...);
/* place[i1]...[lo..hi] op= value (operator code; consumes value). */
VORN_API void slice_arithmetic_assign(int32_t code, vorn_handle *place, vorn_handle hi, vorn_handle value, int32_t count, ...);

/* ------------------------------------------------------------------------
 * Find and match
 *
 * The 1-based position of the first element equal to x (find) or of the
 * first run of elements equal to the sequence x (match), or 0; the _from
 * forms skip the first k elements (k converted like a subscript), the
 * workers take k as a plain integer.  All release x and s.
 * ---------------------------------------------------------------------- */
VORN_API int32_t find(vorn_handle x, vorn_handle s);                      /* position of x in s, or 0 */
VORN_API int32_t find_from(vorn_handle x, vorn_handle s, vorn_handle k);  /* find after the first k */
VORN_API int32_t _findfrom(vorn_handle x, vorn_handle s, int32_t k);      /* find_from's worker */
VORN_API int32_t match(vorn_handle x, vorn_handle s);                     /* position of the run x in s, or 0 */
VORN_API int32_t match_from(vorn_handle x, vorn_handle s, vorn_handle k); /* match after the first k */
VORN_API int32_t _matchfrom(vorn_handle x, vorn_handle s, int32_t k);     /* match_from's worker */

/* ------------------------------------------------------------------------
 * Sockets
 * ---------------------------------------------------------------------- */
/* TCP over IPv4.  An address text is "host:port"; the first letter of the
 * mode picks client 'c', server 's' (bound to every interface) or accept
 * 'a', for which the listening socket value travels in the address's place
 * (the `__` form: a pointer to the 32-bit value).  Progress lines go to
 * standard output, failures to standard output or, through perror, to
 * standard error; no failure is fatal.
 *   netwerk_open   a socket value > 0; 0 when no client came within a
 *                  second; -1 on failure; -3 when the wait failed
 *   netwerk_read   bytes received (at most size - 1, a zero byte after
 *                  them); 0 when the clock passed now + limit seconds;
 *                  -1 end of stream, -2 receive failure, -3 wait failure
 *   netwerk_write  the last send's result after a complete write (0 with
 *                  nothing to send), -1 after a failure
 * The `__` forms take their numbers by reference; those of init, read,
 * write and puts return their result cut to 16 bits and sign-extended. */
VORN_API int32_t netwerk_init(void); /* 0: the service needs no start (init_files calls it) */
VORN_API int32_t netwerk_end(void);  /* 0: nothing to stop (Pexit and close_files call it) */
/* Opens a connection.  Surprises: a server ('s') listens on every
 * interface whatever host the address names (only its port counts), and
 * every mode prints progress lines on standard output (e.g. "Connected to
 * Server IP 127.0.0.1"), so a program whose standard output is a page or a
 * pipe gets them mixed into it. */
VORN_API int32_t netwerk_open(const char *address, const char *mode);
/* Waits until now + limit seconds for bytes; results above. */
VORN_API int32_t netwerk_read(int32_t sock, void *buffer, int32_t size, int32_t limit);
VORN_API int32_t netwerk_write(int32_t sock, const void *buffer, int32_t count); /* sends count bytes */
VORN_API int32_t netwerk_puts(int32_t sock, const char *text); /* sends a zero-terminated text */
VORN_API int32_t netwerk_close(int32_t sock);                  /* closes the socket */
VORN_API int32_t netwerk_init__(void); /* netwerk_init by reference */
VORN_API int32_t netwerk_end__(void);  /* netwerk_end by reference */
/* netwerk_open by reference (in accept mode, a pointer to the listening
 * socket value). */
VORN_API int32_t netwerk_open__(const void *address, const char *mode);
VORN_API int32_t netwerk_read__(const int32_t *sock, void *buffer, const int32_t *size, const int32_t *limit); /* by reference */
VORN_API int32_t netwerk_write__(const int32_t *sock, const void *buffer, const int32_t *count); /* by reference */
VORN_API int32_t netwerk_puts__(const int32_t *sock, const void *buffer, int32_t count); /* count bytes */
VORN_API int32_t netwerk_close__(const int32_t *sock); /* netwerk_close by reference */

/* ------------------------------------------------------------------------
 * The file table: opening, closing, locking
 * ---------------------------------------------------------------------- */
/* A file number indexes `files`: 0-2 the standard streams, 3-20 files
 * (a FILE *), 21-30 sockets (the socket value); 0 marks an empty slot.
 * Files are opened unbuffered for writing, so every write reaches the
 * system at once.  wrap_open gives the file number, or -1 (or the socket
 * layer's 0 or negative result); it releases name and mode.  The lock of a
 * name is the file name + ".lck", created exclusively and read-only:
 * filelock and wrap_lockf give 0 (held) or -1; unlocking always gives 0.
 * A file number outside 0..30, or a slot that is not open, is a run-time
 * error wherever a routine needs the slot. */
VORN_API extern void *files[31]; /* the file table */
/* Start-up: the standard streams into slots 0-2, the socket service on.
 * Needed before any routine that takes a file number (vorn_start does it). */
VORN_API void init_files(void);
/* Shut-down: stops the socket service (open files stay open). */
VORN_API void close_files(void);
/* Opens a file (mode "r", "w", "a", "rb", ...) or a socket; see above. */
VORN_API int32_t wrap_open(vorn_handle name, vorn_handle mode);
VORN_API void wrap_close(int32_t fn);              /* closes the file or socket; the slot is free again */
VORN_API void *FILEDISCRIPTOR(vorn_handle fn);     /* slot fn; 3..30 only, else "ill. FILEDISCRITOR\n" */
VORN_API int32_t filelock(vorn_handle name, int32_t lock); /* lock (1) or unlock (0); releases name */
VORN_API int32_t wrap_lockf(vorn_handle name);     /* filelock(name, 1) */
VORN_API int32_t wrap_unlockf(vorn_handle name);   /* filelock(name, 0) */
VORN_API int32_t wrap_flush(int32_t fn);           /* flushes the stream: 0, or -1 */
VORN_API int32_t wrap_removef(vorn_handle name);   /* deletes a file: 0, or -1 */
VORN_API int32_t wrap_renamef(vorn_handle old_name, vorn_handle new_name); /* 0, or -1 */
VORN_API int32_t wrap_chmodf(vorn_handle name, int32_t mode);             /* 0, or -1 */

/* ------------------------------------------------------------------------
 * Reading input
 * ---------------------------------------------------------------------- */
/* Lines and byte runs come back as new bytesequences; end of input is the
 * integer -1 (a socket may report its other negative results).  A line
 * always ends in one line feed (a carriage return before it is dropped) and
 * is cut at a zero byte.  Nothing here releases anything. */
VORN_API vorn_handle wrap_gets(int32_t fn);                     /* the next line, or -1 */
VORN_API int32_t wrap_getc(int32_t fn);                         /* the next byte 0..255, or -1 */
VORN_API vorn_handle wrap_get_bytes(int32_t fn, int32_t count); /* up to count bytes, or -1 */
VORN_API int32_t wrap_where(int32_t fn);                        /* the byte position in the file */
VORN_API int32_t wrap_seek(int32_t fn, vorn_handle pos);        /* to byte pos (-1: the end): 0, or -1 */

/* ------------------------------------------------------------------------
 * Printing objects
 *
 * The text form of an object: an integer "%d", a double "%g", a sequence
 * "{" its elements' text forms separated by "," "}" -- a string is written
 * as its byte values, {104,105}.  wrap_print writes it (no line break, no
 * flush; a socket gets the same text); wrap_puts writes a sequence as its
 * bytes or an atom as one byte; wrap_putc writes one byte of an integer.
 * puts, putc and printf flush standard output.  print_sequence takes the
 * record index of a sequence and neither flushes nor releases.
 * ---------------------------------------------------------------------- */
VORN_API void print_sequence(FILE *stream, int32_t index); /* the text form of a sequence */
VORN_API void wrap_print(int32_t fn, vorn_handle x);        /* x's text form; releases x */
VORN_API void wrap_puts(int32_t fn, vorn_handle x);         /* x's bytes; releases x */
VORN_API void wrap_putc(int32_t fn, vorn_handle x);         /* one byte; releases x */

/* ------------------------------------------------------------------------
 * Formatted output
 *
 * The format is cut at its percent signs; each piece is one directive and
 * the literal text after it, and takes the next argument (the elements of a
 * sequence argument, the bytes of a string, or the one atom).  A run of two
 * or more percent signs before a piece makes it literal text.  A directive
 * with an asterisk, a positional argument or a letter other than
 * d i o u x X c f F e E g G a A s (so %n and %p too) is written as plain
 * text; length modifiers other than h and hh are ignored.  Never fatal by
 * itself; releases the format and the argument.
 *
 * Surprises, all by design:
 *   - byte mode: when args is a string (a bytesequence), each byte is one
 *     argument, read signed by %d (the byte 200 writes -56) and unsigned
 *     by the other directives;
 *   - in byte mode %s takes the whole string, not one byte, and leaves
 *     the current byte for the next directive: sprintf("%s!", "abc") is
 *     "abc!";
 *   - "%%" is not an escape: two percent signs stay two in the output.
 * ---------------------------------------------------------------------- */
/* The first `letter` in text when a digit or '%' precedes it, else NULL. */
VORN_API char *fmtform(const char *text, int letter);
/* A new string: format filled with args (see above). */
VORN_API vorn_handle wrap_sprintf(vorn_handle format, vorn_handle args);
/* The same text written to file fn. */
VORN_API void wrap_printf(int32_t fn, vorn_handle format, vorn_handle args);

/* ------------------------------------------------------------------------
 * Compound assignment and quick print
 *
 * variable <- variable op x, the variable's own reference let go first so
 * that a value it alone holds is reused in place; the variable holds one
 * reference to the new value.  qprint writes x's text form and a line
 * break to standard output and releases x.
 * ---------------------------------------------------------------------- */
VORN_API void add_to(vorn_handle *variable, vorn_handle x);        /* variable += x */
VORN_API void subtract_from(vorn_handle *variable, vorn_handle x); /* variable -= x */
VORN_API void multiply_by(vorn_handle *variable, vorn_handle x);   /* variable *= x */
VORN_API void divide_by(vorn_handle *variable, vorn_handle x);     /* variable /= x */
VORN_API void concat_to(vorn_handle *variable, vorn_handle x);     /* variable &= x, in place when it can */
VORN_API void qprint(vorn_handle x);                                /* x's text form and a line break */

/* ------------------------------------------------------------------------
 * Environment and commands
 * ---------------------------------------------------------------------- */
/* Commands run through /bin/sh after standard output is flushed; the
 * terminal is the child's while it runs and init_conhdl's set-up follows
 * every command.  A status is the exit status, 128 + the signal number for
 * a command ended by a signal, -1 when nothing could run.  None of these
 * releases its arguments. */
/* The variable's value as a new string, or -1 when it is not set. */
VORN_API vorn_handle wrap_getenv(vorn_handle name);
/* NAME=value from a bytesequence (an empty value removes it), copied. */
VORN_API void wrap_putenv(vorn_handle setting);
VORN_API void wrap_system(vorn_handle command);         /* runs the command */
VORN_API int32_t wrap_system_exec(vorn_handle command); /* runs it; its status */
/* Feeds the text to the command's standard input; its status. */
VORN_API int32_t wrap_system_put(vorn_handle command, vorn_handle text);
/* Its standard output as a new string when it exits with 0, else the
 * status (-2 after a read error). */
VORN_API vorn_handle wrap_system_get(vorn_handle command);


/* ------------------------------------------------------------------------
 * Directories and wildcards
 * ---------------------------------------------------------------------- */
/* Wildcards: '*' any run of characters, '?' one; the whole text must be
 * covered.  An empty pattern matches everything, an empty text nothing
 * else.  The file form upper-cases both and gives each a dot when it has
 * none, and releases both; the text form borrows both.  An atom for either
 * matches nothing (0). */
VORN_API int32_t ___match(const char *text, const char *pattern);            /* 1 when text matches */
VORN_API int32_t wrap_wildcard_match(vorn_handle pattern, vorn_handle text); /* the text form */
VORN_API int32_t wrap_wildcard_file(vorn_handle pattern, vorn_handle name);  /* the file form */
/* Entries {name, attributes (16 directory, 1 read-only, 2 hidden), size,
 * year, month, day, hour, minute, second}, local time: a directory's
 * contents, a wildcard's matches in its directory (case counts), or one
 * file's entry; -1 when there are none.  Releases path. */
VORN_API vorn_handle wrap_dir(vorn_handle path);
/* The working directory as a new string, or 0 when it is longer than 79. */
VORN_API vorn_handle wrap_current_dir(void);
/* 0, or -1 on failure (the empty sequence, an atom); releases dir. */
VORN_API int32_t wrap_change_dir(vorn_handle dir);


/* ------------------------------------------------------------------------
 * Date and time
 * ---------------------------------------------------------------------- */
/* The record vorn_gettimeofday fills: seconds since 1970 (UTC, unsigned,
 * so it lasts until 2106) and the microseconds within that second. */
typedef struct vorn_timeval {
    uint32_t seconds;
    uint32_t microseconds;
} vorn_timeval;
/* New objects: {year, month, day, hour, minute, second, weekday (Sunday 1),
 * day of the year} in local time; "Fri Dec  4 02:22:21 2026"; seconds since
 * 1970 with microseconds as a double.  Nothing is released. */
VORN_API vorn_handle wrap_date(void);  /* the date sequence */
VORN_API vorn_handle wrap_fdate(void); /* the date text */
VORN_API vorn_handle wrap_time(void);  /* seconds since 1970 */
/* Always 0; the second argument is ignored. */
VORN_API int32_t vorn_gettimeofday(vorn_timeval *record, void *ignored);


/* ------------------------------------------------------------------------
 * Console output
 * ---------------------------------------------------------------------- */
/* Text-mode screen control.  Positions seen by programs are 1-based (row 1
 * at the top, column 1 at the left); the records below hold the console's
 * own 0-based ones.  An attribute is the foreground colour in its low four
 * bits and the background in the next four (1 blue, 2 green, 4 red, 8
 * bright).  Without a terminal on standard output, or in a web gateway
 * program, the primitives change nothing.  The built-ins take integers
 * (anything else is fatal: "parameter must be a integer\n"), pass their low
 * 16 bits on to one primitive, and release nothing. */
typedef struct vorn_coord {
    int16_t x, y; /* column and row, or width and height */
} vorn_coord;
typedef struct vorn_rect {
    int16_t left, top, right, bottom; /* inclusive */
} vorn_rect;
/* The screen-buffer information: size, cursor, attribute, window, largest size. */
typedef struct vorn_screen_info {
    vorn_coord size;
    vorn_coord cursor;
    uint16_t attribute;
    vorn_rect window;
    vorn_coord max_size;
} vorn_screen_info;
/* The cursor shape: height in percent of the cell, and visibility. */
typedef struct vorn_cursor_info {
    uint32_t height;
    int32_t visible;
} vorn_cursor_info;
/* pti: scratch, read before each primitive that needs the cursor or the
 * attribute; sti: what storetextinfo_ saved; pci: the last cursor shape;
 * attrib: the last attribute set; dwOutputMode: the output mode (wrap is
 * bit 2); dwInputMode: the input mode (mouse is bit 16); bSucces: whether
 * the last recording console call found a console; CGI_flag: the value of
 * REQUEST_METHOD as init_conhdl read it, or NULL. */
VORN_API extern vorn_screen_info pti;  /* scratch screen information */
VORN_API extern vorn_screen_info sti;  /* saved by storetextinfo_ */
VORN_API extern vorn_cursor_info pci;  /* the last cursor shape */
VORN_API extern uint16_t attrib;       /* the last attribute set */
VORN_API extern uint32_t dwOutputMode; /* the output mode */
VORN_API extern uint32_t dwInputMode;  /* the input mode */
VORN_API extern int32_t bSucces;       /* the last call found a console */
VORN_API extern char *CGI_flag;        /* REQUEST_METHOD, or NULL */
/* Cursor height v percent, visible when v is not 0 (0 hides it). */
VORN_API void cursortype_(int16_t *v);
/* Stores the cursor's row and column. */
VORN_API void wherecur_(int16_t *row, int16_t *col);
/* Moves the cursor by drow rows and dcol columns; off the screen it stays. */
VORN_API void relcursor_(int16_t *drow, int16_t *dcol);
/* Moves the cursor; a row or column of 0 or less leaves that one as it is. */
VORN_API void abscursor_(int16_t *row, int16_t *col);
/* Blanks 2000 cells (80 x 25) from the top-left corner in the current
 * attribute and puts the cursor there. */
VORN_API void clearscreen_(void);
/* Blanks 80 cells from the cursor on (into the next row when the cursor is
 * not in column 1); the cursor stays. */
VORN_API void cleartextline_(void);
/* Foreground c, keeping the background (c above 15 spills into it). */
VORN_API void setfc_(int16_t *c);
/* Background c, keeping the foreground. */
VORN_API void setbc_(int16_t *c);
/* Attribute bg * 16 + fg. */
VORN_API void colors_(int16_t *fg, int16_t *bg);
/* Wrap at the end of a line on (non-zero) or off (0). */
VORN_API void wraptext_(int16_t *on);
/* Saves the cursor position and the attribute in sti (one state only). */
VORN_API void storetextinfo_(void);
/* Sets the attribute, then the cursor, saved in sti (zeroed before any
 * store: black on black at the top-left corner). */
VORN_API void restoretextinfo_(void);
/* Reads REQUEST_METHOD into CGI_flag, takes the terminal when standard
 * output is one, and outside CGI mode turns mouse input on.  Runs at
 * start-up and again after every child command.  The terminal is given back
 * (colours, cursor, wrap, input modes) when the program ends. */
VORN_API void init_conhdl(void);
/* Turns mouse input off. */
VORN_API void close_conhdl(void);
/* A new sequence {row, column} of the cursor. */
VORN_API vorn_handle wrap_get_position(void);
VORN_API void wrap_position(vorn_handle row, vorn_handle col); /* abscursor_ */
VORN_API void wrap_text_color(vorn_handle color);              /* setfc_ */
VORN_API void wrap_bk_color(vorn_handle color);                /* setbc_ */
VORN_API void wrap_wrap(vorn_handle flag);                     /* wraptext_ */
VORN_API void wrap_cursor(vorn_handle height);                 /* cursortype_ */
VORN_API void wrap_clear_screen(void);                         /* clearscreen_ */
VORN_API void wrap_clear_line(void);                           /* cleartextline_ */

/* ------------------------------------------------------------------------
 * Screen images
 * ---------------------------------------------------------------------- */
/* A screen cell as the primitives move it: the character in the low byte
 * of `ch`, the attribute in `attribute`.  In objects a cell is a pair of
 * bytes, character then attribute.  Rectangles larger than the screen read
 * as blanks in attribute 0 outside it; one of more than 2^24 cells, or with
 * its right or bottom edge before its left or top, is empty. */
typedef struct vorn_cell_record {
    uint16_t ch;
    uint16_t attribute;
} vorn_cell_record;
/* Scratch of the last transfer: the 0-based rectangle, the buffer's width
 * and height, and the position in the buffer (always 0, 0). */
VORN_API extern vorn_rect ReadRegion;   /* the rectangle */
VORN_API extern vorn_coord BufferSize;  /* the buffer's width and height */
VORN_API extern vorn_coord BufferCoord; /* the position in the buffer */
/* Reads (gettext_) or writes (puttext_) the 1-based rectangle, one record
 * per cell in reading order; the buffer holds (right - left + 1) x
 * (bottom - top + 1) records.  The cursor does not move. */
VORN_API void gettext_(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, vorn_cell_record *buffer);
/* puttext_: the write of the same rectangle. */
VORN_API void puttext_(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, vorn_cell_record *buffer);
/* A new bytesequence of the cell pairs of {left, top, right, bottom}, row
 * after row.  Coordinates are integers or the bytes of a string.  Releases rect. */
VORN_API vorn_handle wrap_get_screen(vorn_handle rect);
/* A new sequence of rows ({row, column} corners); each row is a view of
 * 2 x width bytes into one hidden bytesequence, which every row holds as its
 * base.  Releases both arguments. */
VORN_API vorn_handle wrap_save_text_image(vorn_handle top_left, vorn_handle bottom_right);
/* Writes the rows of image with their top-left cell at {row, column}; the
 * first row gives the width.  Cells a shorter row lacks keep the screen's.
 * Releases both arguments. */
VORN_API void wrap_display_text_image(vorn_handle position, vorn_handle image);

/* ------------------------------------------------------------------------
 * Keyboard, mouse and break
 *
 * Key codes: a character key gives its code 1..255 (every byte a terminal
 * sends is one character); a key without a character gives its PC set-1
 * scan code + 256, + 336 with Alt, + 356 with Shift, + 300 with Ctrl (first
 * match in that order); a character key with Alt gives scan code + 256;
 * a caught interrupt gives 3.  Pending key and mouse state wait in the
 * globals below, -1 when none, until a routine takes them.
 *
 * Waiting (wrap_wait_key, getch_) sleeps in the system between polls.
 * When no keyboard can deliver a key (standard input is not a terminal, or
 * standard output is not one so there is no console), polls report no key
 * and a wait reads one byte of standard input instead: its value (getch_:
 * 0..255, wrap_wait_key: 1..255, zero bytes skipped), or -1 at the end of
 * input, when no key can ever come.
 * ---------------------------------------------------------------------- */

/* A console input record: event_type 1 a key, 2 the mouse, anything else
 * (focus, window size) ignored.  Key: down 1 for a press, 0 for a release;
 * virtual_key, PC set-1 scan_code, the 8-bit character in the low byte of
 * character (0 for none), control-key state (1 right Alt, 2 left Alt,
 * 4 right Ctrl, 8 left Ctrl, 16 Shift).  Mouse: 0-based cell x, y; buttons
 * held after the event (1 left, 2 right, 4 middle); flags 1 moved,
 * 4 wheel. */
typedef struct vorn_input_record {
    uint16_t event_type;
    union {
        struct {
            int32_t down;
            uint16_t repeat_count;
            uint16_t virtual_key;
            uint16_t scan_code;
            uint16_t character;
            uint32_t control;
        } key;
        struct {
            int16_t x, y;
            uint32_t buttons;
            uint32_t control;
            uint32_t flags;
        } mouse;
    } event;
} vorn_input_record;

VORN_API extern int32_t last_key;         /* pending key code, -1 none */
VORN_API extern int32_t last_mouse_bot;   /* pending mouse state: buttons * 2 + moved, -1 none */
VORN_API extern int32_t last_mouse_x;     /* 1-based column of the last mouse event */
VORN_API extern int32_t last_mouse_y;     /* 1-based row of the last mouse event */
VORN_API extern int16_t last_but;         /* buttons held at the last wrap_text_mouse report */
VORN_API extern int16_t breakallowed;     /* non-zero: Ctrl+C ends the program (status 1) */
VORN_API extern int32_t breakcount;       /* interrupts caught while forbidden, not yet reported */
VORN_API extern vorn_input_record inputBuffer; /* the record the last poll read */
VORN_API extern uint32_t dwInputEvents;   /* records the last poll read: 0 or 1 */
VORN_API extern int16_t m_event;          /* the program's own; the library leaves it alone */

/* One poll: takes at most one input record into the globals above. */
VORN_API void get_event(void);
/* 1 for the modifier and lock keys (0x10 0x11 0x12 0x14 0x90 0x91). */
VORN_API int32_t iscontrolkey(int32_t virtual_key);
/* The pending key code (after one poll when none), -1 when none; taken. */
VORN_API int32_t inkey_(void);
/* The pending mouse state (after one poll when none), -1 when none; taken.
 * x, y receive last_mouse_x and last_mouse_y either way. */
VORN_API int16_t mouse_(int16_t *x, int16_t *y);
/* Waits for a character key (extended keys dropped) and echoes it to
 * standard output unless the program runs as a web gateway. */
VORN_API int32_t getch_(void);
VORN_API int32_t wrap_get_key(void); /* inkey_() */
/* Waits for the first key code above 0. */
VORN_API int32_t wrap_wait_key(void);
/* -1, or a new sequence {event code, column, row}: the event code adds 1
 * for a move and, per button changed since the last report, left 2 pressed
 * 4 released, right 8/16, middle 32/64. */
VORN_API vorn_handle wrap_text_mouse(void);
/* The interrupt handler: ends the program through Pexit(1), terminal
 * restored, when breaks are allowed; else counts the interrupt. */
VORN_API void breakhandler(int sig);

/* ------------------------------------------------------------------------
 * The machine dispatcher, raw memory, byte and float conversions
 * ---------------------------------------------------------------------- */
/* machine(id, x): the service numbered id (6 cursor visibility, 16 allocate,
 * 17 free, 23 current directory, 25 cursor {row, column}, 26 wait for a key,
 * 32/33 not offered, 42 allow break, 43 take the break count, 55 where the
 * program's image begins, 60 flush, 63 change directory: 0 or -1); any other
 * id prints a warning and gives 0.  Ids 6 and 63 release x.  Id 55 gives a
 * double holding the exact address when the integer class cannot. */
VORN_API vorn_handle machine(int32_t id, vorn_handle x);
/* Not offered here: always fatal. */
VORN_API VORN_NORETURN vorn_handle wrap_dos_interrupt(vorn_handle x);

/* Raw memory.  Every block wrap_allocate and allocate_string hand out lies
 * below 2 GiB, so its address is a positive integer handle (0 when no block
 * can be had); wrap_free gives a block back (an address the library did not
 * hand out goes to the platform's free; 0 does nothing).  Routines that
 * write or allocate take only integer handles as addresses and sizes;
 * routines that read also take a double: truncated toward zero, and read at
 * its full value when it holds a wider machine address.  A double value to
 * store is truncated toward zero and taken modulo 2^32.  Words read that lie
 * outside the integer class come back as doubles of their signed value.
 * wrap_poke/wrap_poke4 release the value, wrap_peek/wrap_peek4 the argument,
 * wrap_mem_copy a double source, allocate_string its object, peek and
 * wrap_call a double address. */
VORN_API vorn_handle wrap_allocate(vorn_handle size);               /* a block of size bytes */
VORN_API void wrap_free(vorn_handle address);                      /* gives a block back */
VORN_API VORN_NORETURN vorn_handle wrap_allocate_low(vorn_handle x); /* not offered: fatal */
VORN_API VORN_NORETURN void wrap_free_low(vorn_handle x);          /* not offered: fatal */
/* Stores a byte, or the bytes of a sequence, at the address. */
VORN_API void wrap_poke(vorn_handle address, vorn_handle value);
/* Stores a 32-bit word, or one per element of a sequence. */
VORN_API void wrap_poke4(vorn_handle address, vorn_handle value);
/* The byte at an address, or a new sequence of n bytes for {address, n}. */
VORN_API vorn_handle wrap_peek(vorn_handle x);
/* The same with 32-bit words. */
VORN_API vorn_handle wrap_peek4(vorn_handle x);
VORN_API void wrap_mem_copy(vorn_handle destination, vorn_handle source, int32_t count); /* memmove */
VORN_API void wrap_mem_set(vorn_handle destination, int32_t value, int32_t count);      /* memset */
/* A new block holding x's text and a zero byte; its address. */
VORN_API vorn_handle allocate_string(vorn_handle x);
/* A new string of the zero-terminated text at the address. */
VORN_API vorn_handle peeks(vorn_handle address);
/* Calls the code at the address as a routine without arguments and gives
 * the 32-bit value it returns.  The memory is called as it is: code placed
 * in a block from wrap_allocate (never executable) faults until the program
 * makes it executable itself, e.g. with mprotect through a foreign routine. */
VORN_API vorn_handle wrap_call(vorn_handle address);
/* The plain forms: poke copies count bytes after the address test; peek
 * gives, for count 1, the byte read as a signed value (-128..127), for a
 * count above 1 a pointer to a new malloc'd block of the bytes and a zero
 * (the caller frees it), for a count below 1 the value 0. */
VORN_API void poke(int32_t address, const void *source, int32_t count);
VORN_API intptr_t peek(vorn_handle address, int32_t count);

/* Conversions, least significant byte first; each releases its argument.
 * Byte results are new bytesequences; a general sequence of bytes gives its
 * elements' values.  bytes_to_int gives a double when the value lies outside
 * the integer class; float32_to_atom and float64_to_atom always a double. */
VORN_API vorn_handle int_to_bytes(vorn_handle x);    /* the 4 bytes of a 32-bit integer */
VORN_API vorn_handle bytes_to_int(vorn_handle s);    /* 4 bytes as a signed 32-bit number */
VORN_API vorn_handle atom_to_float32(vorn_handle x); /* the 4 bytes of a float */
VORN_API vorn_handle float32_to_atom(vorn_handle s); /* 4 bytes read as a float */
VORN_API vorn_handle atom_to_float64(vorn_handle x); /* the 8 bytes of a double */
VORN_API vorn_handle float64_to_atom(vorn_handle s); /* 8 bytes read as a double */

/* ------------------------------------------------------------------------
 * Foreign routines and the message box
 * ---------------------------------------------------------------------- */

/* Library handles and routine ids are machine words: an integer when the
 * integer class holds the value, otherwise a double holding it exactly (a
 * temporary the caller owns).  Names and handles given here are borrowed. */
/* Loads a library (bare names in the loader's search order); the same
 * library gives the same handle; 0 when it cannot be loaded. */
VORN_API vorn_handle open_dll(vorn_handle name);
/* The routine's address in that library itself (not in the libraries it
 * depends on), by its exact name; -1 when it has no such routine or the
 * handle is not one open_dll gave (0 included). */
VORN_API vorn_handle define_c_proc(vorn_handle library, vorn_handle name);
VORN_API vorn_handle define_c_func(vorn_handle library, vorn_handle name); /* the same */
VORN_API VORN_NORETURN void define_c_var(vorn_handle library, vorn_handle name); /* not offered: fatal */
VORN_API void init_dll_link(void); /* start-up: nothing to do */
VORN_API void fini_dll_link(void); /* shut-down: nothing to do */
/* A prompt on the controlling terminal: the title, the text and the buttons
 * of the style (0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel,
 * 4 Yes/No, 5 Retry/Cancel; 0x100, 0x200 make the second, third the default),
 * answered by a button's initial letter, Enter (the default) or Escape
 * (Cancel, or OK alone).  The pressed button: OK 1, Cancel 2, Abort 3,
 * Retry 4, Ignore 5, Yes 6, No 7; 0 without a terminal. */
VORN_API int32_t wrap_message_box(vorn_handle text, vorn_handle title, int32_t style);

/* Calls the routine at an address (an integer, or a double holding it) with
 * the list's 0 to 15 elements as arguments, first to last.  c_ forms pass
 * machine words (an integer sign-extended, a whole double its value, any
 * other element its handle) and c_func gives the result back as an integer
 * or a new double; call_ forms pass and return handles.  A held
 * bytesequence list is widened to handles in place.  Releases: a temporary
 * list's storage and record (c_: its elements untouched; call_: its
 * references go to the routine, a held list's object elements get one added
 * first).  A list of more than 15 elements, or a routine id of 0, -1 or no
 * address at all, calls nothing: the result is 0, no reference is added,
 * and call_ releases a temporary list with its elements.  Any other wrong
 * address crashes in that call: the library cannot guard it. */
VORN_API void c_proc(vorn_handle routine, vorn_handle list);            /* a foreign procedure */
VORN_API vorn_handle c_func(vorn_handle routine, vorn_handle list);     /* a foreign function */
VORN_API void call_proc(vorn_handle routine, vorn_handle list);         /* a program's procedure */
VORN_API vorn_handle call_func(vorn_handle routine, vorn_handle list);  /* a program's function */

#ifdef __cplusplus
}
#endif

#endif /* VORN_H */

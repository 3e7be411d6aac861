# header_to_man.awk -- turns include/vorn.h into the vorn(3) manual page:
# each section heading of the header becomes a section of the page, each
# comment a paragraph (its layout kept) and each declaration a bold line, in
# the header's order, so the page says exactly what the header says.
#   awk -v version=0.1.0 -f tools/header_to_man.awk include/vorn.h > vorn.3
function esc(t) { gsub(/\\/, "\\e", t); sub(/^[.']/, "\\\\\\&&", t); return t }
function para() { if (!open_para) print ".PP"; open_para = 1 }
BEGIN {
    print ".TH VORN 3 \"\" \"vorn " version "\" \"vorn run-time library\""
    print ".SH NAME\nvorn \\- run-time library of translated programs"
    print ".SH SYNOPSIS\n.B #include <vorn.h>\n.PP\nLink with \\fB\\-lvorn\\fP (pkg-config name \\fBvorn\\fP)."
    print ".SH DESCRIPTION\n.nf"
}
/^ \* -------------------.*\*\/ *$/ { in_comment = 0; heading = 0; next }
/^(\/\*| \*) -------------------/ { heading = 1; in_comment = 1; next }
heading && /^ \* [A-Za-z]/ { sub(/^ \* /, ""); print ".SH \"" toupper($0) "\"\n.nf"; heading = 0; open_para = 0; next }
in_comment && /\*\/ *$/ { in_comment = 0; heading = 0; t = $0; sub(/ *\*\/ *$/, "", t); sub(/^ \* ?/, "", t)
    if (t != "") print esc(t); next }
in_comment { sub(/^ \* ?/, ""); print esc($0); next }
/^\/\*.*\*\/ *$/ { t = $0; sub(/^\/\* ?/, "", t); sub(/ *\*\/ *$/, "", t); print ".PP\n" esc(t); open_para = 0; next }
/^\/\*/ { in_comment = 1; t = $0; sub(/^\/\* ?/, "", t); print ".PP"; open_para = 0; if (t != "") print esc(t); next }
in_struct { print "\\fB" esc($0) "\\fP"; if ($0 ~ /^}/) in_struct = 0; next }
/^typedef (struct|union)/ { in_struct = 1 }
/^VORN_API|^typedef|^static inline|^#define VORN_|^    __attribute__/ { para(); print "\\fB" esc($0) "\\fP"; next }
/^$/ { open_para = 0 }

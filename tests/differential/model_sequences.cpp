// model_sequences.cpp -- the reference model's sequence operations: building,
// positions and keys, subscript and slice, joining, insertion and removal,
// find and match, and the four assignment forms along a path.
#include <cmath>

#include "model.h"
#include "model_internal.h"

namespace model {

namespace {

std::string atom_error(const char *op) { return format("%s : cann't operate on a Atom .\n", op); }
std::string subscript_error(const char *op) { return format("%s : subscript error ! should be a integer .\n", op); }
std::string subscript_bound(const char *op, int64_t i, int64_t n)
{
    return format("%s : subscript %d out of range [1 .. %d]\n", op, int(i), int(n));
}
std::string slice_lbound(const char *op, int64_t i, int64_t n)
{
    return format("%s : subscript %d .. out of range [1..%d]\n", op, int(i), int(n));
}
std::string slice_hbound(const char *op, int64_t i, int64_t n)
{
    return format("%s : .. subscript %d out of range [1..%d]\n", op, int(i), int(n));
}

// A position argument: an integer, or a double holding an integral 32-bit
// value other than -2147483648.
int64_t position(const Value &k, const char *op)
{
    if (k.is_int())
        return k.i;
    if (k.is_dbl()) {
        double t = std::trunc(k.d);
        if (!std::isnan(t) && t > -2147483648.0 && t < 2147483648.0 && t == k.d)
            return static_cast<int64_t>(t);
    }
    throw Fatal{subscript_error(op)};
}

int64_t from_end(int64_t i, int64_t n) { return i < 0 ? i + n + 1 : i; }

// A sequence of stored length 2, the only test a key makes.
bool is_map(const Value &s)
{
    if (!s.is_seq() || s.size() != 2)
        return false;
    if (s.unknown_form())
        throw Undefined{"a key applied to a pair of unknown storage"};
    return s.words();
}

// The key list of a MAP, which must be a list of handles.
const Value &key_list(const Value &m)
{
    const Value &keys = m.elems[0];
    if (!keys.is_seq() || (keys.size() > 0 && !keys.words()))
        throw Undefined{"a MAP whose key list is not a list of handles"};
    return keys;
}

Value empty_map() { return seq({seq({}, Form::words), seq({}, Form::words)}, Form::words); }

Value part(const Value &s, size_t from, size_t count)
{
    std::vector<Value> e(s.elems.begin() + from, s.elems.begin() + from + count);
    return seq(std::move(e), s.form);
}

}  // namespace

Value build_sequence(const std::vector<Value> &elems)
{
    bool bytes = true;
    for (const Value &e : elems)
        bytes = bytes && e.is_byte();
    return seq(elems, bytes ? Form::bytes : Form::words);
}

Value repeat(const Value &x, const Value &n)
{
    if (!n.is_int())
        throw Fatal{"sec. arg of repeat must be a integer\n"};
    if (n.i < 0)
        throw Undefined{"a negative count for repeat"};
    return seq(std::vector<Value>(size_t(n.i), x), x.is_byte() ? Form::bytes : Form::words);
}

int32_t cam_key_index(const Value &list, const Value &key)
{
    int64_t lo = 0, hi = int64_t(list.size()) - 1, mid = 0;
    int32_t c = 0;
    if (list.size() == 0)
        return -1;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        c = compare(key, list.elems[size_t(mid)]);
        if (c < 0)
            hi = mid - 1;
        else if (c == 0)
            return int32_t(mid + 1);
        else
            lo = mid + 1;
    }
    int64_t p = c < 0 ? mid : mid + 1;
    return int32_t(-(p + 1));
}

Value subscript(const Value &s0, const Value &i0)
{
    const Value *s = &s0;
    int64_t i;
    if (i0.is_seq()) {
        if (s->is_int() && s->i == 0)
            return integer(0);
        if (s->is_atom())
            throw Undefined{"a key applied to an atom other than 0"};
        if (!is_map(*s))
            throw Fatal{"No valid MAP construction !"};
        int32_t j = cam_key_index(key_list(*s), i0);
        if (j < 0)
            throw Fatal{"Key (in MAP or CAM structure) not found !"};
        s = &s->elems[1];
        i = j;
    } else {
        i = position(i0, "subscript");
    }
    if (!s->is_seq())
        throw Fatal{atom_error("subscript")};
    int64_t n = int64_t(s->size());
    i = from_end(i, n);
    if (i < 1 || i > n)
        throw Fatal{subscript_bound("subscript", i, n)};
    return s->elems[size_t(i - 1)];
}

Value slice(const Value &s, const Value &lo0, const Value &hi0)
{
    if (!s.is_seq())
        throw Fatal{atom_error("slice")};
    int64_t lo = position(lo0, "slice"), hi = position(hi0, "slice");
    int64_t n = int64_t(s.size());
    lo = from_end(lo, n);
    hi = from_end(hi, n);
    if (hi < lo) {
        if (hi == lo - 1)
            return seq({}, Form::words);
        throw Fatal{format("%s : slice length cannot be negative\n", "slice")};
    }
    if (lo < 1 || lo > n)
        throw Fatal{slice_lbound("slice", lo, n)};
    if (hi < 1 || hi > n)
        throw Fatal{slice_hbound("slice", hi, n)};
    return part(s, size_t(lo - 1), size_t(hi - lo + 1));
}

namespace {

Tri both(Tri a, Tri b)
{
    if (a == Tri::no || b == Tri::no)
        return Tri::no;
    return a == Tri::yes && b == Tri::yes ? Tri::yes : Tri::maybe;
}

Tri holds(bool b) { return b ? Tri::yes : Tri::no; }

}  // namespace

Value concat(const Value &a, const Value &b)
{
    std::vector<Value> e;
    Tri rule;
    if (a.is_seq() && b.is_seq()) {
        e = a.elems;
        e.insert(e.end(), b.elems.begin(), b.elems.end());
        rule = both(stored_nonpositive(a), stored_nonpositive(b));
    } else if (a.is_seq()) {
        e = a.elems;
        e.push_back(b);
        rule = both(stored_nonpositive(a), holds(b.is_byte()));
    } else if (b.is_seq()) {
        e.push_back(a);
        e.insert(e.end(), b.elems.begin(), b.elems.end());
        rule = both(stored_nonpositive(b), holds(a.is_byte()));
    } else {
        e = {a, b};
        rule = holds(a.is_byte() && b.is_byte());
    }
    return seq(std::move(e), form_of(rule, true));
}

Value insert(const Value &s, const Value &x, const Value &k0)
{
    if (k0.is_seq())
        throw Fatal{subscript_error("insert")};
    int64_t k = position(k0, "insert");
    if (!s.is_seq())
        throw Fatal{atom_error("insert")};
    int64_t n = int64_t(s.size());
    if (k < 0)
        k += n + 1;
    if (k < 0 || k > n)
        throw Fatal{subscript_bound("insert", k, n)};
    std::vector<Value> e = s.elems;
    e.insert(e.begin() + k, x);
    return seq(std::move(e), form_of(both(stored_nonpositive(s), holds(x.is_byte())), true));
}

namespace {

Value without(const Value &s, size_t k)
{
    std::vector<Value> e = s.elems;
    e.erase(e.begin() + k);
    return seq(std::move(e), s.form);
}

}  // namespace

Value removeindex(const Value &s, const Value &k0, bool *absent)
{
    *absent = false;
    if (!s.is_seq())
        throw Fatal{atom_error("remove")};
    if (k0.is_seq()) {
        if (!is_map(s))
            throw Fatal{"No valid Map construction !"};
        int32_t j = cam_key_index(key_list(s), k0);
        if (j < 0) {
            *absent = true;
            return seq({}, Form::words);
        }
        const Value &values = s.elems[1];
        if (!values.is_seq() || values.size() < size_t(j))
            throw Undefined{"a MAP whose value list is shorter than its keys"};
        return seq({without(s.elems[0], size_t(j - 1)), without(values, size_t(j - 1))}, Form::words);
    }
    int64_t k = position(k0, "remove");
    int64_t n = int64_t(s.size());
    k = from_end(k, n);
    if (k < 1 || k > n)
        throw Fatal{subscript_bound("remove", k, n)};
    return without(s, size_t(k - 1));
}

namespace {

int64_t start_of(const Value &k, bool converted, const char *op)
{
    if (!converted)
        return k.i;
    if (k.is_seq())
        throw Fatal{subscript_error(op)};
    return position(k, op);
}

bool element_matches(const Value &x, const Value &e)
{
    if (x.is_int())
        return e.is_int() && e.i == x.i;
    if (x.is_seq())
        return e.is_seq() && e.size() == x.size() && equal(x, e);
    return e.is_dbl() && e.d == x.d;
}

}  // namespace

int32_t find_from(const Value &x, const Value &s, const Value &k0, bool converted)
{
    int64_t k = start_of(k0, converted, "find_from");
    if (!s.is_seq())
        throw Fatal{atom_error("find's second argument")};
    int64_t n = int64_t(s.size());
    if (k < 0)
        throw Undefined{"a negative start"};
    if (k > n)
        throw Fatal{subscript_bound("find_from", k, n)};
    for (int64_t i = k; i < n; ++i)
        if (element_matches(x, s.elems[size_t(i)]))
            return int32_t(i + 1);
    return 0;
}

int32_t match_from(const Value &x, const Value &s, const Value &k0, bool converted)
{
    int64_t k = start_of(k0, converted, "match_from");
    if (!x.is_seq() || !s.is_seq())
        throw Fatal{atom_error("match() no arg")};
    int64_t m = int64_t(x.size()), n = int64_t(s.size());
    if (k < 0)
        throw Undefined{"a negative start"};
    if (k > n)
        throw Fatal{subscript_bound("match_from", k, n)};
    if (m > n - k)
        return 0;
    for (int64_t i = k + 1; i <= n - m + 1; ++i)
        if (compare(x, part(s, size_t(i - 1), size_t(m))) == 0)
            return int32_t(i);
    return 0;
}

// ---- the assignment forms -----------------------------------------------------

namespace {

struct Form_of_assignment {
    const char *name;
    bool slice;  // path errors use the slice bound message; absent keys are errors
    const char *absent_key;
};

const Form_of_assignment element_form{"subscript assign", false, nullptr};
const Form_of_assignment arith_form{"arth_assign", false, nullptr};
const Form_of_assignment slice_form{"slice_assign", true, "No Key found in Slice Assign !"};
const Form_of_assignment slice_arith_form{"slice_arith_assign", true,
                                          "No Key found in Slice_Arthmetic_Assign !"};

void make_unique(const Value *p)
{
    if (!p->is_seq())
        throw Fatal{atom_error("assign subscript")};
}

// One level of the path that is not the last element subscript: the
// sequence at p made unique, the position checked against the stored
// length (negative for bytes, so no byte can be walked into).
Value *descend(Value *p, int64_t idx, const Form_of_assignment &f)
{
    make_unique(p);
    if (p->unknown_form())
        throw Undefined{"walking into a sequence of unknown storage"};
    int64_t stored = p->bytes() ? -int64_t(p->size()) : int64_t(p->size());
    if (idx < 0) {
        if (p->bytes())
            throw Undefined{"a negative position walking into bytes"};
        idx += stored + 1;
    }
    if (idx < 1 || idx > stored)
        throw Fatal{f.slice ? slice_lbound(f.name, idx, stored) : subscript_bound(f.name, idx, stored)};
    return &p->elems[size_t(idx - 1)];
}

// Applies a key at p.  Returns the position to continue with in the value
// list (p moved onto it); sets `done` when an absent key was added as the
// last subscript (the store is then made).
int64_t apply_key(Value *&p, const Value &key, bool last, const Value &v, const Form_of_assignment &f, bool *done)
{
    if (!is_map(*p))
        throw Fatal{"No valid MAP construction (indexing)!\n"};
    int32_t j = cam_key_index(key_list(*p), key);
    if (j > 0) {
        p = &p->elems[1];
        return j;
    }
    if (f.slice)
        throw Fatal{f.absent_key};
    int32_t at = -j - 1;
    // A value list too short for the new key: the rules run `_insert` on it
    // (whose range report would follow), the library reports the MAP as
    // malformed instead; the case is left out.
    if (!p->elems[1].is_seq() || int64_t(p->elems[1].size()) < at)
        throw Undefined{"a key added to a MAP whose value list is too short"};
    Value keys = insert(p->elems[0], key, integer(at));
    Value values = insert(p->elems[1], last ? v : empty_map(), integer(at));
    p->elems[0] = std::move(keys);
    p->elems[1] = std::move(values);
    *done = last;
    if (last)
        return 0;
    p = &p->elems[1];
    return at + 1;
}

// Walks every subscript but the last; returns the place of the sequence the
// last subscript applies to, with that subscript's position.  `done` is set
// when a new key took the value already.
Value *walk(Value &var, const std::vector<Value> &path, size_t levels, const Value &v,
            const Form_of_assignment &f, int64_t *last_position, bool *done)
{
    Value *p = &var;
    *done = false;
    *last_position = 0;
    for (size_t t = 0; t < levels; ++t) {
        bool last = !f.slice && t + 1 == levels;
        int64_t idx = path[t].is_seq() ? apply_key(p, path[t], last, v, f, done) : position(path[t], f.name);
        if (last) {
            *last_position = idx;
            return p;
        }
        p = descend(p, idx, f);
    }
    return p;
}

// The slot of the last element subscript, after the checks of that level.
Value *element_slot(Value *p, int64_t idx, const Form_of_assignment &f)
{
    make_unique(p);
    int64_t n = int64_t(p->size());
    idx = from_end(idx, n);
    if (idx < 1 || idx > n)
        throw Fatal{subscript_bound(f.name, idx, n)};
    return &p->elems[size_t(idx - 1)];
}

// Storing `x` into a sequence widens it when x is not a byte.
void note_stored(Value &target, const Value &x)
{
    if (!x.is_byte())
        target.form = Form::words;
}

}  // namespace

void subscript_assign(Value &var, const Value &v, const std::vector<Value> &path)
{
    int64_t idx;
    bool done;
    Value *p = walk(var, path, path.size(), v, element_form, &idx, &done);
    if (done)
        return;
    Value *slot = element_slot(p, idx, element_form);
    *slot = v;
    note_stored(*p, v);
}

void arith_assign(int code, Value &var, const Value &v, const std::vector<Value> &path)
{
    int64_t idx;
    bool done;
    Value *p = walk(var, path, path.size(), v, arith_form, &idx, &done);
    if (done)
        return;
    Value *slot = element_slot(p, idx, arith_form);
    Value res = engine(code, *slot, v);
    *slot = res;
    note_stored(*p, res);
}

namespace {

// The checks of a slice at the end of a path; returns the place, with lo and
// the count of elements replaced (0: nothing to do).
Value *slice_target(Value &var, const Value &hi0, const std::vector<Value> &path,
                    const Form_of_assignment &f, int64_t *lo_out, int64_t *count)
{
    int64_t unused;
    bool done;
    Value *p = walk(var, path, path.size() - 1, var, f, &unused, &done);
    const Value &lo0 = path.back();
    if (lo0.is_seq())
        throw Fatal{subscript_error(f.name)};
    int64_t lo = position(lo0, f.name);
    make_unique(p);
    int64_t m = int64_t(p->size());
    lo = from_end(lo, m);
    if (lo < 1 || lo > m)
        throw Fatal{slice_lbound(f.name, lo, m)};
    if (hi0.is_seq())
        throw Fatal{subscript_error(f.name)};
    int64_t hi = from_end(position(hi0, f.name), m);
    if (hi < 1 || hi > m)
        throw Fatal{slice_hbound(f.name, hi, m)};
    int64_t c = hi - lo + 1;
    if (c < 0)
        throw Fatal{format("%s : slice length cannot be negative\n", f.name)};
    *lo_out = lo;
    *count = c;
    return p;
}

void check_slice_length(const Value &v, int64_t c, const Form_of_assignment &f)
{
    if (v.is_seq() && int64_t(v.size()) != c)
        throw Fatal{format("%s : sequence lengths are not the same (%d != %d)\n", f.name, int(c), int(v.size()))};
}

}  // namespace

int64_t slice_assign(Value &var, const Value &hi, const Value &v, const std::vector<Value> &path)
{
    int64_t lo, c;
    Value *p = slice_target(var, hi, path, slice_form, &lo, &c);
    if (c == 0)
        return 0;
    check_slice_length(v, c, slice_form);
    Form before = p->size() ? p->form : Form::words;
    for (int64_t t = 0; t < c; ++t)
        p->elems[size_t(lo - 1 + t)] = v.is_seq() ? v.elems[size_t(t)] : v;
    if (v.is_seq()) {
        // Bytes into bytes stay bytes; a list of handles widens the target.
        if (v.words() || before == Form::words)
            p->form = Form::words;
        else if (v.unknown_form() || before == Form::unknown)
            p->form = Form::unknown;
    } else {
        note_stored(*p, v);
    }
    return c;
}

int64_t slice_arith_assign(int code, Value &var, const Value &hi, const Value &v,
                           const std::vector<Value> &path)
{
    int64_t lo, c;
    Value *p = slice_target(var, hi, path, slice_arith_form, &lo, &c);
    if (c == 0)
        return 0;
    check_slice_length(v, c, slice_arith_form);
    if (v.words())
        p->form = Form::words;  // a list of handles widens a byte target first
    else if (v.unknown_form() && p->bytes())
        p->form = Form::unknown;
    for (int64_t t = 0; t < c; ++t) {
        Value &slot = p->elems[size_t(lo - 1 + t)];
        slot = engine(code, slot, v.is_seq() ? v.elems[size_t(t)] : v);
        note_stored(*p, slot);
    }
    return c;
}

}  // namespace model

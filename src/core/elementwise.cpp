// elementwise.cpp -- the element-wise engine: the operator in `operand`
// applied to every element of one or two sequences, through any depth of
// nesting, over byte and handle storage with one loop for each.  A temporary
// operand that owns its storage is computed into in place.
#include "core.h"

using namespace vorn::core;

namespace {

// Element readers: element k (0-based) of one storage kind, as a handle.
// Bytes read as integers 0..255.
struct word_elements {
    const handle *w;
    handle operator[](size_t k) const { return w[k]; }
};
struct byte_elements {
    const unsigned char *b;
    handle operator[](size_t k) const { return b[k]; }
};
// The atom operand of a sequence-with-atom operation: the same at every k.
struct atom_elements {
    handle x;
    handle operator[](size_t) const { return x; }
};

// Calls f with the reader that fits the storage of sequence s.
template <class F> void with_elements(handle s, F f)
{
    const record &r = rec(s);
    if (is_bytes(r))
        f(byte_elements{bytes(r)});
    else
        f(word_elements{words(r)});
}

// ---- operations on one pair of elements ------------------------------------------

// Any pair, borrowed from their sequences (or the held atom).
handle pair_op(handle a, handle b)
{
    if (is_sequence(a) || is_sequence(b))
        return elementwise_consuming(a, b);
    return atoms_op_consuming(a, b);
}

// Arithmetic code C on a pair, with the two-number cases inline; anything
// else (a sequence, an ill-typed atom) goes the general way.
template <int32_t C> handle arithmetic_pair(handle a, handle b)
{
    if (is_integer(a) && is_integer(b)) {
        int32_t x = int_value(a), y = int_value(b);
        return C == 0 ? int_add(x, y) : C == 1 ? int_subtract(x, y) : int_multiply(x, y);
    }
    if ((is_double(a) || is_integer(a)) && (is_double(b) || is_integer(b))) {
        double x = atom_number(a), y = atom_number(b);
        return double_result_consuming(a, b, C == 0 ? x + y : C == 1 ? x - y : x * y);
    }
    return pair_op(a, b);
}

struct any_pair {
    handle operator()(handle a, handle b) const { return pair_op(a, b); }
};
template <int32_t C> struct arithmetic {
    handle operator()(handle a, handle b) const { return arithmetic_pair<C>(a, b); }
};

// Calls f with the pair operation for the code in `operand`: add, subtract
// and multiply have their own loops.
template <class F> void with_pair_op(F f)
{
    switch (operand) {
    case 0:
        return f(arithmetic<0>{});
    case 1:
        return f(arithmetic<1>{});
    case 2:
        return f(arithmetic<2>{});
    default:
        return f(any_pair{});
    }
}

// One element of the sequence a unary operation walks.
struct any_single {
    handle operator()(handle e) const
    {
        if (is_sequence(e))
            return elementwise1_consuming(e);
        return atom_uop_consuming(e);
    }
};

// ---- results ---------------------------------------------------------------------

// The result of an element-wise operation while it is being filled.  A new
// result's record is made before any element is computed, as an empty
// sequence; a temporary bytesequence operand that owns its storage may be the
// result instead, its bytes read before their places are written.  A result
// that may stay compact (some operand is a bytesequence) is filled as bytes
// for as long as every element result is a byte; the first one that is not
// moves what is there into a block of handles.  Every element kept as a
// handle takes a reference.
class result_builder {
  public:
    result_builder(size_t n, bool compact) : n_(n)
    {
        result_ = make_sequence(nullptr, 0);
        if (compact)
            bytes_ = alloc_bytes(n);
        else
            words_ = alloc_words(n);
    }
    // The temporary bytesequence s (owning its storage) becomes the result.
    explicit result_builder(handle s) : result_(s), n_(static_cast<size_t>(count_of(rec(s))))
    {
        before_change(s);
        bytes_ = reused_ = bytes(rec(s));
    }

    // Stores the result v at position k, taking a reference on it.
    void put(size_t k, handle v)
    {
        if (bytes_ != nullptr) {
            if (is_byte(v)) {
                bytes_[k] = static_cast<unsigned char>(v);
                return;
            }
            widen(k);
        }
        words_[k] = v;
        take_ref(v);
    }

    // The finished result, a temporary.
    handle finish()
    {
        record &r = rec(result_);
        int32_t n = static_cast<int32_t>(n_);
        if (bytes_ != nullptr) {
            bytes_[n_] = 0;
            r.data = bytes_;
            r.length = -n;
        } else {
            std::free(reused_);  // still read until the last element
            r.data = words_;
            r.length = n;
        }
        news = &r;
        return result_;
    }

  private:
    // The bytes stored so far (positions before k) become handles.
    void widen(size_t k)
    {
        words_ = alloc_words(n_);
        for (size_t i = 0; i < k; ++i)
            words_[i] = bytes_[i];
        if (bytes_ != reused_)
            std::free(bytes_);
        bytes_ = nullptr;
    }

    handle result_;
    size_t n_;
    unsigned char *bytes_ = nullptr;
    unsigned char *reused_ = nullptr;
    handle *words_ = nullptr;
};

template <class Op, class A, class B> void fill_pairs(result_builder &out, Op op, A a, B b, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        out.put(k, op(a[k], b[k]));
}

template <class A> void fill_singles(result_builder &out, A a, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        out.put(k, any_single{}(a[k]));
}

// ---- computing into a temporary operand -------------------------------------------

// A temporary that owns its storage, stored as handles / as bytes.
inline bool owner_temporary_words(handle s)
{
    const record &r = rec(s);
    return r.count < 1 && r.base == 0 && r.length >= 0;
}
inline bool owner_temporary_bytes(handle s)
{
    const record &r = rec(s);
    return r.count < 1 && r.base == 0 && r.length < 0;
}

// Replaces the element e in `slot` of a temporary that owns its storage by
// f(e).  An element the temporary alone holds (count 1), and that is neither
// operand a nor b itself, is lent to f as a temporary, so that f may compute
// into its record; any other element keeps its other holders, and the slot
// lets go of it after f.
template <class F> void replace_element(handle *slot, handle a, handle b, F f)
{
    handle e = *slot;
    bool lent = is_object(e) && rec(e).count == 1 && e != a && e != b;
    if (lent)
        rec(e).count = 0;
    handle r = f(e);
    *slot = r;
    take_ref(r);
    if (!lent && is_object(e))
        --rec(e).count;  // still held elsewhere
}

// Every element e of the temporary s (handles, owning its storage) replaced
// by f(e, k): s becomes the result.
template <class F> handle replace_elements(handle s, handle a, handle b, F f)
{
    before_change(s);
    size_t n = static_cast<size_t>(rec(s).length);
    handle *w = words(rec(s));  // s's own block: nothing below reallocates it
    for (size_t k = 0; k < n; ++k)
        replace_element(&w[k], a, b, [&](handle e) { return f(e, k); });
    news = &rec(s);
    return s;
}

// ---- handles op a number: the loop for arithmetic on doubles -------------------------

template <int32_t C> inline double arithmetic_value(double x, double y)
{
    return C == 0 ? x + y : C == 1 ? x - y : x * y;
}

// s (stored as handles) op x, or x op s, for arithmetic code C and a number
// x held for the duration.  A double element is computed here: into its own
// record when s is a temporary owning its storage and holds the element alone,
// else into a new double; every other element goes the general way.
template <int32_t C, bool SequenceFirst> handle arithmetic_words(handle s, handle x)
{
    double xv = atom_number(x);
    auto general = [x](handle e) {
        return SequenceFirst ? arithmetic_pair<C>(e, x) : arithmetic_pair<C>(x, e);
    };
    auto value = [xv](double e) {
        return SequenceFirst ? arithmetic_value<C>(e, xv) : arithmetic_value<C>(xv, e);
    };
    size_t n = static_cast<size_t>(rec(s).length);
    if (owner_temporary_words(s)) {
        before_change(s);
        handle *w = words(rec(s));  // s's own block: nothing below reallocates it
        for (size_t k = 0; k < n; ++k) {
            handle e = w[k];
            if (is_double(e) && rec(e).count == 1) {
                record &r = rec(e);
                set_dbl(r, value(dbl_value(r)));
                continue;
            }
            replace_element(&w[k], s, x, general);
        }
        news = &rec(s);
        return s;
    }
    handle result = make_sequence(nullptr, 0);
    handle *out = alloc_words(n);
    const handle *in = words(rec(s));  // s's storage: does not move
    for (size_t k = 0; k < n; ++k) {
        handle e = in[k];
        if (is_double(e)) {
            double v = value(dbl_value(e));
            int32_t i = take_record();
            objects[i].count = 1;
            set_dbl(objects[i], v);
            out[k] = dbl_handle(i);
            continue;
        }
        handle r = general(e);
        take_ref(r);
        out[k] = r;
    }
    record &r = rec(result);
    r.data = out;
    r.length = static_cast<int32_t>(n);
    news = &r;
    return result;
}

// arithmetic_words under `operand` (0 add, 1 subtract, else multiply).
template <bool SequenceFirst>
handle arithmetic_words_by_operand(handle s, handle x)
{
    switch (operand) {
    case 0:
        return arithmetic_words<0, SequenceFirst>(s, x);
    case 1:
        return arithmetic_words<1, SequenceFirst>(s, x);
    default:
        return arithmetic_words<2, SequenceFirst>(s, x);
    }
}

// The atom of a sequence-with-atom operation is no longer held by it.
inline void finish_with_atom(handle x)
{
    if (is_object(x))
        --rec(x).count;
}

// s op x (s first) or x op s, s a sequence and x an atom; releases both (s
// by becoming the result when it is a temporary owning its storage).  A
// double x is held for the duration, so no element operation reuses it.
handle sequence_with_atom_consuming(handle a, handle b, bool sequence_first)
{
    handle s = sequence_first ? a : b;
    handle x = sequence_first ? b : a;
    take_ref(x);
    bool in_place = owner_temporary_words(s) || owner_temporary_bytes(s);
    size_t n = static_cast<size_t>(count_of(rec(s)));
    handle r;
    if (!is_bytes(rec(s)) && (is_integer(x) || is_double(x)) && operand >= 0 && operand <= 2) {
        r = sequence_first ? arithmetic_words_by_operand<true>(s, x) : arithmetic_words_by_operand<false>(s, x);
        finish_with_atom(x);
        if (r == s)
            release(x);
        else
            release_pair(a, b);
        return r;
    }
    with_pair_op([&](auto op) {
        if (owner_temporary_words(s)) {
            r = replace_elements(s, a, b,
                                 [&](handle e, size_t) { return sequence_first ? op(e, x) : op(x, e); });
            return;
        }
        result_builder out = in_place ? result_builder(s) : result_builder(n, is_bytes(rec(s)));
        atom_elements atom{x};
        with_elements(s, [&](auto elements) {
            if (sequence_first)
                fill_pairs(out, op, elements, atom, n);
            else
                fill_pairs(out, op, atom, elements, n);
        });
        r = out.finish();
    });
    finish_with_atom(x);
    if (in_place)
        release(x);
    else
        release_pair(a, b);
    return r;
}

// Two sequences of the same element count, pairwise; releases both.  The
// first temporary that owns its storage and can hold the result's form
// becomes the result: one stored as handles when both are (the result is
// then handles too), one stored as bytes in any case.
handle sequences_consuming(handle a, handle b)
{
    int32_t na = count_of(rec(a)), nb = count_of(rec(b));
    if (na != nb)
        runtime_error("Sequence lengths are not the same (%d %d)\n", na, nb);
    size_t n = static_cast<size_t>(na);
    bool compact = is_bytes(rec(a)) || is_bytes(rec(b));
    handle into = 0;
    if (!compact && owner_temporary_words(a))
        into = a;
    else if (!compact && owner_temporary_words(b))
        into = b;
    else if (owner_temporary_bytes(a))
        into = a;
    else if (owner_temporary_bytes(b))
        into = b;
    handle r;
    with_pair_op([&](auto op) {
        if (into != 0 && !compact) {
            handle other = into == a ? b : a;
            const handle *o = words(rec(other));  // read before its place is written when other is into
            r = replace_elements(into, a, b,
                                 [&](handle e, size_t k) { return into == a ? op(e, o[k]) : op(o[k], e); });
            return;
        }
        result_builder out = into != 0 ? result_builder(into) : result_builder(n, compact);
        with_elements(a,
                      [&](auto ea) { with_elements(b, [&](auto eb) { fill_pairs(out, op, ea, eb, n); }); });
        r = out.finish();
    });
    if (into == 0)
        release_pair(a, b);
    else if (a != b)
        release(into == a ? b : a);
    return r;
}

}  // namespace

namespace vorn::core {

handle elementwise_consuming(handle a, handle b)
{
    if (operand == 19)
        return concat(a, b);
    bool sa = is_sequence(a), sb = is_sequence(b);
    if (sa && sb)
        return sequences_consuming(a, b);
    if (sa || sb)
        return sequence_with_atom_consuming(a, b, sa);
    return atoms_op_consuming(a, b);
}

handle elementwise1_consuming(handle x)
{
    if (!is_sequence(x))
        return atom_uop_consuming(x);
    if (owner_temporary_words(x))
        return replace_elements(x, x, x, [](handle e, size_t) { return any_single{}(e); });
    size_t n = static_cast<size_t>(count_of(rec(x)));
    bool in_place = owner_temporary_bytes(x);
    result_builder out = in_place ? result_builder(x) : result_builder(n, is_bytes(rec(x)));
    with_elements(x, [&](auto elements) { fill_singles(out, elements, n); });
    handle r = out.finish();
    if (!in_place)
        release(x);
    return r;
}

}  // namespace vorn::core

extern "C" {

VORN_API vorn_handle autosequence(vorn_handle a, vorn_handle b) { return elementwise_consuming(a, b); }

VORN_API vorn_handle autosequence1(vorn_handle x) { return elementwise1_consuming(x); }

}  // extern "C"

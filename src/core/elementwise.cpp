// elementwise.cpp -- the element-wise engine: the operator in `operand`
// applied to every element of one or two sequences, through any depth of
// nesting, over byte and handle storage with one loop for each.
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

// The result of an element-wise operation while it is being filled.  Its
// record is made before any element is computed, as an empty sequence.  A
// result that may stay compact (some operand is a bytesequence) is filled as
// bytes for as long as every element result is a byte; the first one that is
// not moves what is there into a block of handles.  Every element kept as a
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
        std::free(bytes_);
        bytes_ = nullptr;
    }

    handle result_;
    size_t n_;
    unsigned char *bytes_ = nullptr;
    handle *words_ = nullptr;
};

// One pair of elements, borrowed from their sequences (or the held atom).
handle pair_op(handle a, handle b)
{
    if (is_sequence(a) || is_sequence(b))
        return elementwise_consuming(a, b);
    return atoms_op_consuming(a, b);
}

template <class A, class B> void fill_pairs(result_builder &out, A a, B b, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        out.put(k, pair_op(a[k], b[k]));
}

// One element of the sequence a unary operation walks, borrowed.
handle element_uop(handle e)
{
    if (is_sequence(e))
        return elementwise1_consuming(e);
    return atom_uop_consuming(e);
}

template <class A> void fill_singles(result_builder &out, A a, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        out.put(k, element_uop(a[k]));
}

// s op x (s first) or x op s, s a sequence and x an atom; releases both.  A
// double x is held for the duration, so no element operation reuses it.
handle sequence_with_atom_consuming(handle a, handle b, bool sequence_first)
{
    handle s = sequence_first ? a : b;
    handle x = sequence_first ? b : a;
    take_ref(x);
    size_t n = static_cast<size_t>(count_of(rec(s)));
    result_builder out(n, is_bytes(rec(s)));
    atom_elements atom{x};
    with_elements(s, [&](auto elements) {
        if (sequence_first)
            fill_pairs(out, elements, atom, n);
        else
            fill_pairs(out, atom, elements, n);
    });
    if (is_object(x))
        --rec(x).count;
    handle r = out.finish();
    release_pair(a, b);
    return r;
}

// Two sequences of the same element count, pairwise; releases both.
handle sequences_consuming(handle a, handle b)
{
    int32_t na = count_of(rec(a)), nb = count_of(rec(b));
    if (na != nb)
        runtime_error("Sequence lengths are not the same (%d %d)\n", na, nb);
    size_t n = static_cast<size_t>(na);
    result_builder out(n, is_bytes(rec(a)) || is_bytes(rec(b)));
    with_elements(a, [&](auto ea) { with_elements(b, [&](auto eb) { fill_pairs(out, ea, eb, n); }); });
    handle r = out.finish();
    release_pair(a, b);
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
    size_t n = static_cast<size_t>(count_of(rec(x)));
    result_builder out(n, is_bytes(rec(x)));
    with_elements(x, [&](auto elements) { fill_singles(out, elements, n); });
    handle r = out.finish();
    release(x);
    return r;
}

}  // namespace vorn::core

extern "C" {

VORN_API vorn_handle autosequence(vorn_handle a, vorn_handle b) { return elementwise_consuming(a, b); }

VORN_API vorn_handle autosequence1(vorn_handle x) { return elementwise1_consuming(x); }

}  // extern "C"

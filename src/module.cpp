// The Python binding: the module, its function table, argument binding and
// conversion, result building and guarded_call. The only file that knows Python.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "bidi/mod.h"
#include "casemap/mod.h"
#include "cursor/mod.h"
#include "error.h"
#include "linebreak/mod.h"
#include "normalize/mod.h"
#include "segment/grapheme.h"
#include "segment/sentence.h"
#include "segment/word.h"
#include "text.h"
#include "text_writer.h"
#include "truncate/mod.h"
#include "utf8.h"

namespace {

using namespace scrivlet;

// Thrown after a Python exception has been set: the call returns NULL.
struct PythonError {};
// Thrown when the interpreter fails to build a result object.
struct ApiFailure {};

// An owned reference, released on scope exit.
class Ref {
public:
    explicit Ref(PyObject* p = nullptr) noexcept : p_(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }
    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    PyObject* p_;
};

// ---------------------------------------------------------------------------
// PanicException and guarded_call

constexpr const char* PANIC_DOC =
    "\n"
    "The exception raised when the library's native code called from Python fails internally.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

constexpr const char* PANIC_DEFAULT_MESSAGE = "internal failure without a message";

PyObject* panic_type = nullptr;  // created on first use, never released

PyObject* panic_exception_type() {
    if (panic_type == nullptr) {
        panic_type = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", PANIC_DOC,
                                               PyExc_BaseException, nullptr);
    }
    return panic_type;
}

void raise_panic(const char* message) {
    PyObject* type = panic_exception_type();
    if (type == nullptr) return;  // the type's creation set its own error
    PyErr_SetString(type, (message && *message) ? message : PANIC_DEFAULT_MESSAGE);
}

// The C++ runtime keeps each thread's exception state in thread-local storage
// that the dynamic loader allocates on its first use in that thread, and
// aborts the process when that allocation fails. So the first call in a
// thread, before anything can throw, makes the runtime allocate it while
// there is memory to spare; a thread that arrives when there is none gets
// the memory failure without the call being run. The threads known to be
// ready are remembered by their interpreter thread ids, which are never
// reused (the interpreter lock guards this list).
constexpr std::size_t READY_THREADS = 8;
std::uint64_t ready_threads[READY_THREADS] = {};
std::size_t next_ready_slot = 0;
constexpr std::size_t SPARE_MEMORY_PROBE = 64 * 1024;
volatile int exception_state_probe = 0;

bool exceptions_ready() noexcept {
    const std::uint64_t id = PyThreadState_GetID(PyThreadState_Get());
    for (std::uint64_t ready : ready_threads)
        if (ready == id) return true;
    void* probe = std::malloc(SPARE_MEMORY_PROBE);
    if (probe == nullptr) return false;
    std::free(probe);
    // Touches the thread's exception state; the store keeps the compiler from
    // dropping a call it knows to be pure.
    exception_state_probe = std::uncaught_exceptions();
    ready_threads[next_ready_slot] = id;
    next_ready_slot = (next_ready_slot + 1) % READY_THREADS;
    return true;
}

// The interpreter failed to build a result object.
void api_call_failed() {
    if (PyErr_Occurred()) PyErr_PrintEx(0);
    raise_panic("Python API call failed");
}

template <typename Body>
PyObject* guarded_call(Body&& body) noexcept {
    if (!exceptions_ready()) {
        raise_panic("std::bad_alloc");
        return nullptr;
    }
    try {
        return body();
    } catch (const PythonError&) {
        return nullptr;
    } catch (const ApiFailure&) {
        api_call_failed();
    } catch (const std::exception& e) {
        raise_panic(e.what());
    } catch (...) {
        raise_panic(nullptr);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Argument binding

struct FunctionSignature {
    const char* name;
    const char* params[2];
    int count;
    int required;
};

constexpr int MAX_PARAMS = 2;

// Sets an exception of type with message, all of it: a name or keyword may hold
// a NUL, which a C-string message would cut.
void set_error(PyObject* type, std::string_view message) {
    Ref text(PyUnicode_FromStringAndSize(message.data(), Py_ssize_t(message.size())));
    if (text) PyErr_SetObject(type, text.get());  // otherwise the failure is the error
}

[[noreturn]] void fail_type(PyObject* type, const std::string& message) {
    set_error(type, message);
    throw PythonError{};
}

std::string call_name(const FunctionSignature& sig) { return std::string(sig.name) + "()"; }

// Keywords, missing or surplus arguments: out of line.
[[gnu::noinline]] void extract_arguments_slow(const FunctionSignature& sig, PyObject* const* args,
                                              Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) {
    const int P = sig.count, R = sig.required;
    for (int i = 0; i < P; ++i) slots[i] = i < nargs ? args[i] : nullptr;
    if (nargs > P) {
        std::string msg = call_name(sig) + " takes ";
        if (R == P)
            msg += std::to_string(P);
        else
            msg += "from " + std::to_string(R) + " to " + std::to_string(P);
        msg += " positional arguments but " + std::to_string(nargs) +
               (nargs == 1 ? " was given" : " were given");
        fail_type(PyExc_TypeError, msg);
    }
    if (kwnames != nullptr) {
        const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < nkw; ++k) {
            PyObject* key = PyTuple_GET_ITEM(kwnames, k);
            Py_ssize_t klen = 0;
            const char* kname = PyUnicode_AsUTF8AndSize(key, &klen);
            if (kname == nullptr) throw PythonError{};
            const std::string_view kview(kname, std::size_t(klen));
            int match = -1;
            for (int i = 0; i < P; ++i)
                if (kview == sig.params[i]) match = i;
            if (match < 0)
                fail_type(PyExc_TypeError, call_name(sig) + " got an unexpected keyword argument '" +
                                               std::string(kview) + "'");
            if (slots[match] != nullptr)
                fail_type(PyExc_TypeError, call_name(sig) + " got multiple values for argument '" +
                                               std::string(kview) + "'");
            slots[match] = args[nargs + k];
        }
    }
    if (nargs < R) {
        std::vector<const char*> missing;
        for (int i = 0; i < R; ++i)
            if (slots[i] == nullptr) missing.push_back(sig.params[i]);
        if (!missing.empty()) {
            const std::size_t k = missing.size();
            std::string list;
            for (std::size_t i = 0; i < k; ++i) {
                if (i > 0) list += (k == 2) ? " and " : (i + 1 == k ? ", and " : ", ");
                list += std::string("'") + missing[i] + "'";
            }
            fail_type(PyExc_TypeError, call_name(sig) + " missing " + std::to_string(k) +
                                           " required positional " +
                                           (k == 1 ? "argument" : "arguments") + ": " + list);
        }
    }
}

inline void extract_arguments(const FunctionSignature& sig, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames, PyObject** slots) {
    // The common call: every required argument by position, no keywords.
    if (kwnames == nullptr && nargs >= sig.required && nargs <= sig.count) [[likely]] {
        slots[0] = args[0];
        if (sig.count > 1) slots[1] = nargs > 1 ? args[1] : nullptr;
        return;
    }
    extract_arguments_slow(sig, args, nargs, kwnames, slots);
}

// ---------------------------------------------------------------------------
// Argument conversion

// Names the failing argument: an exact TypeError becomes
// "argument '{parameter}': {message}" keeping the original's cause; any other
// error passes through unchanged.
[[noreturn]] void argument_error(const char* parameter) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PythonError{};
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref type_ref(type), value_ref(value), tb_ref(traceback);
    if (type != PyExc_TypeError) {
        PyErr_Restore(type_ref.release(), value_ref.release(), tb_ref.release());
        throw PythonError{};
    }
    Ref text(value ? PyObject_Str(value) : PyUnicode_FromString(""));
    if (!text) throw PythonError{};
    Ref message(PyUnicode_FromFormat("argument '%s': %U", parameter, text.get()));
    if (!message) throw PythonError{};
    Ref replacement(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    if (!replacement) throw PythonError{};
    PyObject* cause = value ? PyException_GetCause(value) : nullptr;  // new reference
    PyException_SetCause(replacement.get(), cause);                     // steals it
    PyErr_SetObject(PyExc_TypeError, replacement.get());
    throw PythonError{};
}

std::string type_qualname(PyObject* obj) {
    Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
    if (name && PyUnicode_Check(name.get())) {
        Py_ssize_t n = 0;
        const char* s = PyUnicode_AsUTF8AndSize(name.get(), &n);
        if (s != nullptr) return std::string(s, std::size_t(n));
    }
    PyErr_Clear();
    return "<failed to extract type name>";
}

// The text argument as the interpreter stores it, read in place: ASCII (which
// is its own UTF-8), or Latin-1, UCS-2 or UCS-4 units, one per code point. A
// str holding a surrogate has no UTF-8 form: it fails here as the interpreter
// fails to encode it, with the interpreter's own UnicodeEncodeError.
class TextArg {
public:
    TextArg() = default;
    // check_surrogates false leaves the check to the caller, who must make it
    // in a scan of its own (raising surrogate_error) before anything else can
    // fail.
    TextArg(PyObject* obj, const char* parameter, bool check_surrogates = true) : object_(obj) {
        if (!PyUnicode_Check(obj)) [[unlikely]]
            not_a_str(obj, parameter);
#if PY_VERSION_HEX < 0x030C0000
        if (PyUnicode_READY(obj) < 0) argument_error(parameter);
#endif
        kind_ = PyUnicode_IS_ASCII(obj) ? 0 : PyUnicode_KIND(obj);
        data_ = PyUnicode_DATA(obj);
        size_ = std::size_t(PyUnicode_GET_LENGTH(obj));
        const bool surrogate = check_surrogates &&
            ((kind_ == PyUnicode_2BYTE_KIND && text::has_surrogate(ucs2())) ||
             (kind_ == PyUnicode_4BYTE_KIND && text::has_surrogate(ucs4())));
        if (surrogate) [[unlikely]]
            encode_error(obj, parameter);
    }

    // The error for a str holding a lone surrogate, as the constructor raises it.
    [[noreturn]] void surrogate_error(const char* parameter) const { encode_error(object_, parameter); }

    PyObject* object() const noexcept { return object_; }
    const void* data() const noexcept { return data_; }
    bool is_ascii() const noexcept { return kind_ == 0; }
    // Code points.
    std::size_t size() const noexcept { return size_; }

    // Calls f with the text in its stored form: a std::string_view for ASCII,
    // otherwise text::Latin1, text::Ucs2 or text::Ucs4.
    template <typename F>
    decltype(auto) visit(F&& f) const {
        switch (kind_) {
            case 0:
                return f(std::string_view(static_cast<const char*>(data_), size_));
            case PyUnicode_1BYTE_KIND:
                return f(text::Latin1{static_cast<const std::uint8_t*>(data_), size_});
            case PyUnicode_2BYTE_KIND:
                return f(ucs2());
            default:
                return f(ucs4());
        }
    }

    // The UTF-8 form, made by the interpreter and kept with the str.
    std::string_view utf8() const {
        if (is_ascii()) return std::string_view(static_cast<const char*>(data_), size_);
        Py_ssize_t n = 0;
        const char* s = PyUnicode_AsUTF8AndSize(object_, &n);
        if (s == nullptr) throw PythonError{};
        return std::string_view(s, std::size_t(n));
    }

private:
    [[noreturn, gnu::noinline, gnu::cold]] static void not_a_str(PyObject* obj, const char* parameter) {
        set_error(PyExc_TypeError, "'" + type_qualname(obj) + "' object cannot be converted to 'PyString'");
        argument_error(parameter);
    }
    // The interpreter's own UnicodeEncodeError.
    [[noreturn, gnu::noinline, gnu::cold]] static void encode_error(PyObject* obj, const char* parameter) {
        Py_ssize_t n = 0;
        if (PyUnicode_AsUTF8AndSize(obj, &n) == nullptr) argument_error(parameter);
        throw InvariantError("a str with a surrogate was encoded to UTF-8");
    }

    text::Ucs2 ucs2() const noexcept { return {static_cast<const char16_t*>(data_), size_}; }
    text::Ucs4 ucs4() const noexcept { return {static_cast<const char32_t*>(data_), size_}; }

    PyObject* object_ = nullptr;
    int kind_ = 0;
    const void* data_ = nullptr;
    std::size_t size_ = 0;
};

std::optional<std::string_view> to_optional_utf8_view(PyObject* obj, const char* parameter) {
    if (obj == nullptr || obj == Py_None) return std::nullopt;
    return TextArg(obj, parameter).utf8();
}

std::uint64_t to_u64(PyObject* obj, const char* parameter) {
    unsigned long long v;
    if (PyLong_Check(obj)) {
        v = PyLong_AsUnsignedLongLong(obj);
    } else {
        Ref index(PyNumber_Index(obj));
        if (!index) argument_error(parameter);
        v = PyLong_AsUnsignedLongLong(index.get());
    }
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) argument_error(parameter);
    return v;
}

std::uint32_t to_u32(PyObject* obj, const char* parameter) {
    long v;
    if (PyLong_Check(obj)) {
        v = PyLong_AsLong(obj);
    } else {
        Ref index(PyNumber_Index(obj));
        if (!index) argument_error(parameter);
        v = PyLong_AsLong(index.get());
    }
    if (v == -1 && PyErr_Occurred()) argument_error(parameter);
    if (v < 0 || static_cast<unsigned long>(v) > 0xFFFFFFFFul) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        argument_error(parameter);
    }
    return static_cast<std::uint32_t>(v);
}

// ---------------------------------------------------------------------------
// Result builders: a failure of the interpreter here is an ApiFailure.

PyObject* checked(PyObject* p) {
    if (p == nullptr) throw ApiFailure{};
    return p;
}

PyObject* str_result(std::string_view s) {
    return checked(PyUnicode_FromStringAndSize(s.data(), Py_ssize_t(s.size())));
}

// The first code_points code points of the str text as a str: a substring of
// the original object, which copies its units (and, for an exact str kept
// whole, is the object itself).
PyObject* prefix_result(PyObject* text, std::size_t code_points) {
    if (code_points == 0) return str_result({});
    return checked(PyUnicode_Substring(text, 0, Py_ssize_t(code_points)));
}

PyObject* u64_result(std::uint64_t v) { return checked(PyLong_FromUnsignedLongLong(v)); }

// An int from a count or an offset, by the interpreter's shortest path for the
// values of a machine word; nullptr when it fails.
PyObject* new_int(std::uint64_t v) {
    return v <= std::uint64_t(LONG_MAX) ? PyLong_FromLong(long(v)) : PyLong_FromUnsignedLongLong(v);
}

// The items of a list made in batches: a growing array of new references
// that becomes the list's own, with no copy of it.
class ListItems {
public:
    ListItems() = default;
    ListItems(const ListItems&) = delete;
    ListItems& operator=(const ListItems&) = delete;
    ~ListItems() {
        for (std::size_t i = 0; i < count_; ++i) Py_DECREF(items_[i]);
        PyMem_Free(items_);
    }

    // Room for count more items, grown at least twofold; or, given an
    // estimate of the final count, to that estimate where it lies between a
    // quarter more and twofold, so that the array is sized about once (a
    // twofold overshoot of a long list takes fresh pages on every call).
    void make_room(std::size_t count, std::size_t expected = 0) {
        if (capacity_ - count_ < count) {
            const std::size_t twofold = count_ + (count > capacity_ ? count : capacity_);
            const std::size_t least = std::max(count_ + count, capacity_ + capacity_ / 4);
            reserve(expected < least ? (expected == 0 ? twofold : least) : std::min(expected, twofold));
        }
    }
    // Appends a new reference (after make_room); nullptr is a failed call.
    void push(PyObject* item) {
        if (item == nullptr) throw ApiFailure{};
        items_[count_++] = item;
    }
    // Appends make(i) for i below count (after make_room), the same way. The
    // count is stored once: the calls would otherwise reload and store it
    // for every item.
    template <typename Make>
    void push_each(std::size_t count, Make&& make) {
        PyObject** const out = items_ + count_;
        for (std::size_t i = 0; i < count; ++i) {
            PyObject* const item = make(i);
            if (item == nullptr) [[unlikely]] {
                count_ += i;
                throw ApiFailure{};
            }
            out[i] = item;
        }
        count_ += count;
    }

    PyObject* list() {
        Ref list(checked(PyList_New(0)));
        if (count_ > 0) {
            reserve(count_);  // the list keeps no spare room
            auto* l = reinterpret_cast<PyListObject*>(list.get());
            l->ob_item = items_;
            l->allocated = Py_ssize_t(count_);
            Py_SET_SIZE(l, Py_ssize_t(count_));
            items_ = nullptr;
            count_ = capacity_ = 0;
        }
        return list.release();
    }

private:
    void reserve(std::size_t capacity) {
        void* p = PyMem_Realloc(items_, capacity * sizeof(PyObject*));
        if (p == nullptr) {  // the list's own array: the interpreter failed to build the result
            PyErr_NoMemory();
            throw ApiFailure{};
        }
        items_ = static_cast<PyObject**>(p);
        capacity_ = capacity;
    }

    PyObject** items_ = nullptr;
    std::size_t count_ = 0, capacity_ = 0;
};

// A list of ints made from offsets handed over in batches.
class IntListBuilder final : public segment::OffsetSink {
public:
    void take(const std::uint64_t* offsets, std::size_t count) override {
        items_.make_room(count, expected_);
        items_.push_each(count, [offsets](std::size_t i) { return new_int(offsets[i]); });
    }
    void expect(std::size_t total) noexcept override { expected_ = total; }
    PyObject* list() { return items_.list(); }

private:
    ListItems items_;
    std::size_t expected_ = 0;
};

// ASCII is Latin-1 too: the boundary scans and the truncations take it in
// that form, one code point per unit.
text::Latin1 latin1_if_ascii(std::string_view ascii) {
    return {reinterpret_cast<const std::uint8_t*>(ascii.data()), ascii.size()};
}
template <typename Unit>
text::Fixed<Unit> latin1_if_ascii(text::Fixed<Unit> text) {
    return text;
}

// Result strings and dict keys, interned once at initialisation; immutable.
PyObject* action_mandatory = nullptr;
PyObject* action_allowed = nullptr;
PyObject* key_paragraph_level = nullptr;
PyObject* key_levels = nullptr;
PyObject* key_reorder = nullptr;

// The list of (offset, action) pairs made from opportunities handed over in
// batches; the actions are the interned strings.
class OpportunityListBuilder final : public linebreak::OpportunitySink {
public:
    void take(const linebreak::Opportunity* ops, std::size_t count) override {
        items_.make_room(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (ops[i].second == linebreak::BreakAction::Prohibited)
                throw InvariantError("a prohibited break reached the result");
            Ref offset(checked(new_int(ops[i].first)));
            PyObject* action = ops[i].second == linebreak::BreakAction::Mandatory ? action_mandatory
                                                                                    : action_allowed;
            PyObject* pair = checked(PyTuple_New(2));
            PyTuple_SET_ITEM(pair, 0, offset.release());
            Py_INCREF(action);
            PyTuple_SET_ITEM(pair, 1, action);
            // An int and an interned str can never form a cycle: keep the pair out of
            // the cyclic collector, which otherwise rescans every pair of a long result.
            PyObject_GC_UnTrack(pair);
            items_.push(pair);
        }
    }
    PyObject* list() { return items_.list(); }

private:
    ListItems items_;
};

PyObject* pair_result(std::pair<std::uint64_t, std::uint64_t> p) {
    Ref first(u64_result(p.first));
    Ref second(u64_result(p.second));
    PyObject* tuple = checked(PyTuple_New(2));
    PyTuple_SET_ITEM(tuple, 0, first.release());
    PyTuple_SET_ITEM(tuple, 1, second.release());
    return tuple;
}

PyObject* bidi_result(const bidi::BidiLayout& r) {
    Ref dict(checked(PyDict_New()));
    Ref level(checked(PyLong_FromLong(r.paragraph_level)));
    const std::uint8_t* lv = r.levels.data();
    Ref levels(checked(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(lv),
                                                 Py_ssize_t(r.levels.size()))));
    // The visual order, read off the runs: the ints are made in list order,
    // straight into the list's items (its size is that of the result).
    Ref order(checked(PyList_New(Py_ssize_t(r.kept))));
    PyObject** const items = reinterpret_cast<PyListObject*>(order.get())->ob_item;
    Py_ssize_t k = 0;
    const auto add = [&](std::size_t i) {
        PyObject* const item = new_int(i);
        if (item == nullptr) [[unlikely]]
            throw ApiFailure{};
        items[k++] = item;
    };
    // Every index of [lo, hi), or those not removed, in the run's direction.
    const auto every = [&](std::size_t lo, std::size_t hi, bool reversed) {
        if (reversed)
            for (std::size_t i = hi; i-- > lo;) add(i);
        else
            for (std::size_t i = lo; i < hi; ++i) add(i);
    };
    const auto kept_one_by_one = [&](std::size_t lo, std::size_t hi, bool reversed) {
        if (reversed) {
            for (std::size_t i = hi; i-- > lo;)
                if (lv[i] != bidi::REMOVED_LEVEL) add(i);
        } else {
            for (std::size_t i = lo; i < hi; ++i)
                if (lv[i] != bidi::REMOVED_LEVEL) add(i);
        }
    };
    // Where removed code points (the ZWJs of emoji sequences) lie scattered
    // through a run, a test before each int would often be mispredicted: a
    // stretch at a time, its kept indices are listed first, with no branch
    // per code point, then made into ints.
    constexpr std::size_t STRETCH = 64;
    std::uint32_t kept[STRETCH];
    const auto kept_by_stretches = [&](std::size_t first, std::size_t end, bool reversed) {
        for (std::size_t done = 0; done < end - first;) {
            const std::size_t size = std::min(STRETCH, end - first - done);
            const std::size_t lo = reversed ? end - done - size : first + done;
            done += size;
            if (std::memchr(lv + lo, bidi::REMOVED_LEVEL, size) == nullptr) {
                every(lo, lo + size, reversed);
                continue;
            }
            std::size_t m = 0;
            if (reversed)
                for (std::size_t i = lo + size; i-- > lo;) {
                    kept[m] = std::uint32_t(i);
                    m += lv[i] != bidi::REMOVED_LEVEL;
                }
            else
                for (std::size_t i = lo; i < lo + size; ++i) {
                    kept[m] = std::uint32_t(i);
                    m += lv[i] != bidi::REMOVED_LEVEL;
                }
            for (std::size_t j = 0; j < m; ++j) add(kept[j]);
        }
    };
    const bool any_removed = r.kept != r.levels.size();
    // The bounds of each run are copied out: the calls could otherwise change them.
    for (const bidi::VisualRun& run : r.runs) {
        const std::size_t first = run.first, end = std::size_t(run.last) + 1;
        if (!any_removed)
            every(first, end, run.reversed);
        else if (end - first < STRETCH / 2)  // a word or two
            kept_one_by_one(first, end, run.reversed);
        else if (std::memchr(lv + first, bidi::REMOVED_LEVEL, end - first) == nullptr)
            every(first, end, run.reversed);
        else
            kept_by_stretches(first, end, run.reversed);
    }
    if (PyDict_SetItem(dict.get(), key_paragraph_level, level.get()) < 0 ||
        PyDict_SetItem(dict.get(), key_levels, levels.get()) < 0 ||
        PyDict_SetItem(dict.get(), key_reorder, order.get()) < 0)
        throw ApiFailure{};
    return dict.release();
}

// ---------------------------------------------------------------------------
// The 23 functions

#define SCRIVLET_ARGS PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames

// Binds the arguments of sig into slots and takes the text argument; text is
// its UTF-8 form, for the operations that read UTF-8.
struct Bound {
    PyObject* slots[MAX_PARAMS];
    TextArg arg;
    std::string_view text;
    Bound(const FunctionSignature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
          bool want_utf8 = true, bool check_surrogates = true)
        : arg((extract_arguments(sig, args, nargs, kwnames, slots), slots[0]), "text", check_surrogates) {
        if (want_utf8) text = arg.utf8();
    }
};

constexpr FunctionSignature SIG_GRAPHEME_BOUNDARIES{"grapheme_boundaries", {"text"}, 1, 1};
constexpr FunctionSignature SIG_WORD_BOUNDARIES{"word_boundaries", {"text", "locale"}, 2, 1};
constexpr FunctionSignature SIG_SENTENCE_BOUNDARIES{"sentence_boundaries", {"text", "locale"}, 2, 1};
constexpr FunctionSignature SIG_NORMALIZE_NFC{"normalize_nfc", {"text"}, 1, 1};
constexpr FunctionSignature SIG_NORMALIZE_NFD{"normalize_nfd", {"text"}, 1, 1};
constexpr FunctionSignature SIG_NORMALIZE_NFKC{"normalize_nfkc", {"text"}, 1, 1};
constexpr FunctionSignature SIG_NORMALIZE_NFKD{"normalize_nfkd", {"text"}, 1, 1};
constexpr FunctionSignature SIG_BIDI_RESOLVE{"bidi_resolve", {"text"}, 1, 1};
constexpr FunctionSignature SIG_LINE_BREAK{"line_break_opportunities", {"text"}, 1, 1};
constexpr FunctionSignature SIG_LINE_BREAK_DICT{"line_break_opportunities_with_dictionary", {"text"}, 1, 1};
constexpr FunctionSignature SIG_TO_LOWERCASE{"to_lowercase", {"text", "locale"}, 2, 1};
constexpr FunctionSignature SIG_TO_UPPERCASE{"to_uppercase", {"text", "locale"}, 2, 1};
constexpr FunctionSignature SIG_TO_TITLECASE{"to_titlecase", {"text"}, 1, 1};
constexpr FunctionSignature SIG_CASE_FOLD{"case_fold", {"text"}, 1, 1};
constexpr FunctionSignature SIG_CASE_FOLD_SIMPLE{"case_fold_simple", {"text"}, 1, 1};
constexpr FunctionSignature SIG_DISPLAY_WIDTH{"display_width", {"text"}, 1, 1};
constexpr FunctionSignature SIG_TRUNCATE_GRAPHEMES{"truncate_graphemes", {"text", "max_graphemes"}, 2, 2};
constexpr FunctionSignature SIG_TRUNCATE_WIDTH{"truncate_display_width", {"text", "max_width"}, 2, 2};
constexpr FunctionSignature SIG_MOVE_RIGHT{"move_right", {"text", "current"}, 2, 2};
constexpr FunctionSignature SIG_MOVE_LEFT{"move_left", {"text", "current"}, 2, 2};
constexpr FunctionSignature SIG_MOVE_RIGHT_VISUAL{"move_right_visual", {"text", "current"}, 2, 2};
constexpr FunctionSignature SIG_MOVE_LEFT_VISUAL{"move_left_visual", {"text", "current"}, 2, 2};
constexpr FunctionSignature SIG_SELECT_WORD{"select_word", {"text", "current"}, 2, 2};

// The result as a str: the argument itself when it is an exact str (strs are
// immutable, so this is the same value, uncopied), otherwise a new exact str
// of the same value.
PyObject* unchanged_result(PyObject* arg) {
    if (PyUnicode_CheckExact(arg)) {
        Py_INCREF(arg);
        return arg;
    }
    return checked(PyUnicode_Substring(arg, 0, PyUnicode_GET_LENGTH(arg)));
}

// A new str that an operation writes into unit by unit (text::UnitWriter):
// created at the first write with the width chosen for it, grown and trimmed
// in place. finish() hands it over in the narrowest form that holds its
// characters, as the interpreter requires of every str: one stored wider
// than it needs compares unequal to the same text stored narrow.
template <typename Unit>
class NewStr final : public text::UnitWriter<Unit>::Storage {
public:
    // For one-byte units, 0x7F makes an ASCII str and 0xFF a Latin-1 one.
    explicit NewStr(Py_UCS4 max_char) noexcept : max_char_(max_char) {}
    NewStr(const NewStr&) = delete;
    NewStr& operator=(const NewStr&) = delete;
    ~NewStr() { Py_XDECREF(str_); }

    Unit* grow(std::size_t, std::size_t capacity) override {
        if (str_ == nullptr)
            str_ = checked(PyUnicode_New(Py_ssize_t(capacity), max_char_));
        else if (PyUnicode_Resize(&str_, Py_ssize_t(capacity)) < 0)
            throw ApiFailure{};
        capacity_ = capacity;
        return static_cast<Unit*>(PyUnicode_DATA(str_));
    }

    // The finished str, or nullptr when some character did not fit the units
    // (the operation then runs again with wider ones).
    PyObject* finish(const text::UnitWriter<Unit>& out) {
        const char32_t bits = out.bits();
        const Py_UCS4 needed = bits < 0x80 ? 0x7F : bits < 0x100 ? 0xFF : bits < 0x10000 ? 0xFFFF : 0x10FFFF;
        const std::size_t n = out.size();
        if (needed == max_char_) {
            if (n != capacity_ && PyUnicode_Resize(&str_, Py_ssize_t(n)) < 0) throw ApiFailure{};
            return std::exchange(str_, nullptr);
        }
        if (needed > max_char_ && !(sizeof(Unit) == 1 && needed == 0xFF)) return nullptr;
        // narrower, or Latin-1 in ASCII's bytes: copied into a str of its own form
        PyObject* str = checked(PyUnicode_New(Py_ssize_t(n), needed));
        void* to = PyUnicode_DATA(str);
        if (needed <= 0xFF)
            convert(static_cast<std::uint8_t*>(to), out.data(), n);
        else
            convert(static_cast<char16_t*>(to), out.data(), n);
        return str;
    }

private:
    template <typename To>
    static void convert(To* to, const Unit* from, std::size_t n) noexcept {
        if constexpr (std::is_same_v<To, Unit>)
            std::memcpy(to, from, n * sizeof(Unit));
        else
            for (std::size_t k = 0; k < n; ++k) to[k] = static_cast<To>(from[k]);
    }

    Py_UCS4 max_char_;
    PyObject* str_ = nullptr;
    std::size_t capacity_ = 0;
};

// Runs op(text, writer) into units of type Out, then into wider units if a
// character needs them; the argument itself when op leaves the text as it is.
template <typename Out, typename Unit, typename Op>
PyObject* rewrite_into(PyObject* arg, text::Fixed<Unit> text, Py_UCS4 max_char, Op& op) {
    char32_t bits;
    {
        NewStr<Out> str(max_char);
        text::UnitWriter<Out> out(str);
        if (!op(text, out)) return unchanged_result(arg);
        if (PyObject* done = str.finish(out)) return done;
        bits = out.bits();
    }
    if constexpr (sizeof(Out) < 2)
        if (bits < 0x10000) return rewrite_into<char16_t>(arg, text, 0xFFFF, op);
    if constexpr (sizeof(Out) < 4) return rewrite_into<char32_t>(arg, text, 0x10FFFF, op);
    throw InvariantError("a character beyond UCS-4");
}

// op on the text in its stored form, written in the same form (ASCII as
// Latin-1 units in an ASCII str), or from Latin-1 into UCS-2 when
// `latin1_widens` (decomposition takes accented letters out of Latin-1).
template <typename Op>
PyObject* rewrite(const TextArg& arg, bool latin1_widens, Op&& op) {
    return arg.visit([&](auto text) -> PyObject* {
        using Form = decltype(text);
        if constexpr (std::is_same_v<Form, std::string_view>) {
            const text::Latin1 ascii{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
            return rewrite_into<std::uint8_t>(arg.object(), ascii, 0x7F, op);
        } else if constexpr (std::is_same_v<Form, text::Latin1>) {
            if (latin1_widens) return rewrite_into<char16_t>(arg.object(), text, 0xFFFF, op);
            return rewrite_into<std::uint8_t>(arg.object(), text, 0xFF, op);
        } else if constexpr (std::is_same_v<Form, text::Ucs2>) {
            return rewrite_into<char16_t>(arg.object(), text, 0xFFFF, op);
        } else {
            return rewrite_into<char32_t>(arg.object(), text, 0x10FFFF, op);
        }
    });
}

// ASCII under a mapping that keeps it ASCII: the argument itself, or a new
// str written at once.
template <casemap::AsciiCase To>
PyObject* map_ascii_result(const TextArg& arg) {
    const char* text = static_cast<const char*>(arg.data());
    const std::size_t n = arg.size();
    if (!casemap::ascii_changes<To>(text, n)) return unchanged_result(arg.object());
    PyObject* str = checked(PyUnicode_New(Py_ssize_t(n), 0x7F));
    // a new ASCII str's characters follow its header
    casemap::map_ascii<To>(text, n, reinterpret_cast<char*>(reinterpret_cast<PyASCIIObject*>(str) + 1));
    return str;
}

// The most common call of a case mapping: an exact ASCII str alone (or with
// locale None), by position. Short strings spend most of their time in the
// call itself, so it is answered here, before binding and before
// guarded_call: nothing on this path can throw. The result is the one
// map_ascii_result gives, and a failure to build it raises the same panic.
inline bool plain_ascii_call(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, bool takes_locale) noexcept {
    return kwnames == nullptr && (nargs == 1 || (takes_locale && nargs == 2 && args[1] == Py_None)) &&
           PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0]);
}

template <casemap::AsciiCase To>
PyObject* plain_ascii_result(PyObject* arg) noexcept {
    const char* text = reinterpret_cast<const char*>(reinterpret_cast<PyASCIIObject*>(arg) + 1);
    const std::size_t n = std::size_t(PyUnicode_GET_LENGTH(arg));
    if (!casemap::ascii_changes<To>(text, n)) {
        Py_INCREF(arg);
        return arg;
    }
    PyObject* str = PyUnicode_New(Py_ssize_t(n), 0x7F);
    if (str == nullptr) {
        api_call_failed();
        return nullptr;
    }
    casemap::map_ascii<To>(text, n, reinterpret_cast<char*>(reinterpret_cast<PyASCIIObject*>(str) + 1));
    return str;
}

// The case operations without a locale.
enum class CaseOp { Title, Fold, FoldSimple };

// text -> str
template <const FunctionSignature& Sig, CaseOp Which>
PyObject* text_function(SCRIVLET_ARGS) {
    if (Which != CaseOp::Title && plain_ascii_call(args, nargs, kwnames, false))
        return plain_ascii_result<casemap::AsciiCase::Lower>(args[0]);
    return guarded_call([&]() -> PyObject* {
        Bound b(Sig, args, nargs, kwnames, false);
        // folding maps ASCII as lowercasing does
        if (Which != CaseOp::Title && b.arg.is_ascii()) return map_ascii_result<casemap::AsciiCase::Lower>(b.arg);
        return rewrite(b.arg, false, [](auto text, auto& out) {
            if constexpr (Which == CaseOp::Title) return casemap::to_titlecase(text, out);
            if constexpr (Which == CaseOp::Fold) return casemap::case_fold(text, out);
            if constexpr (Which == CaseOp::FoldSimple) return casemap::case_fold_simple(text, out);
        });
    });
}

enum class NormalForm { NFC, NFD, NFKC, NFKD };

// text -> str for the normalization forms: ASCII is already in every form,
// and Latin-1 in NFC (nothing below U+0300 decomposes or combines under it).
template <const FunctionSignature& Sig, NormalForm Form>
PyObject* normalize_function(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(Sig, args, nargs, kwnames, false);
        const int kind = PyUnicode_KIND(b.slots[0]);
        if (b.arg.is_ascii() || (Form == NormalForm::NFC && kind == PyUnicode_1BYTE_KIND))
            return unchanged_result(b.slots[0]);
        constexpr bool decomposes = Form == NormalForm::NFD || Form == NormalForm::NFKD;
        return rewrite(b.arg, decomposes, [](auto text, auto& out) {
            if constexpr (Form == NormalForm::NFC) return normalize::normalize_nfc(text, out);
            if constexpr (Form == NormalForm::NFD) return normalize::normalize_nfd(text, out);
            if constexpr (Form == NormalForm::NFKC) return normalize::normalize_nfkc(text, out);
            if constexpr (Form == NormalForm::NFKD) return normalize::normalize_nfkd(text, out);
        });
    });
}

// (text, locale=None) -> str
template <const FunctionSignature& Sig, bool Upper>
PyObject* locale_text_function(SCRIVLET_ARGS) {
    constexpr casemap::AsciiCase to = Upper ? casemap::AsciiCase::Upper : casemap::AsciiCase::Lower;
    if (plain_ascii_call(args, nargs, kwnames, true)) return plain_ascii_result<to>(args[0]);
    return guarded_call([&]() -> PyObject* {
        Bound b(Sig, args, nargs, kwnames, false);
        auto locale = to_optional_utf8_view(b.slots[1], "locale");
        if (b.arg.is_ascii() && !casemap::is_turkic(locale))
            return map_ascii_result<to>(b.arg);
        return rewrite(b.arg, false, [&](auto text, auto& out) {
            if constexpr (Upper) return casemap::to_uppercase(text, locale, out);
            else return casemap::to_lowercase(text, locale, out);
        });
    });
}

// The UTF-8 form of a str if the interpreter has already made it (a str seen
// before): the caret operations read around one offset, at once in it.
std::optional<std::string_view> cached_utf8(PyObject* str) {
    if (PyUnicode_IS_ASCII(str))
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(str)),
                                std::size_t(PyUnicode_GET_LENGTH(str)));
    const auto* compact = reinterpret_cast<const PyCompactUnicodeObject*>(str);
    if (compact->utf8 == nullptr) return std::nullopt;
    return std::string_view(compact->utf8, std::size_t(compact->utf8_length));
}

// Calls op with the text in the form that locates a caret fastest: the UTF-8
// form when the str holds one already, otherwise its stored form, which a
// fresh str is not made to hold a UTF-8 copy of for the rest of its life.
template <typename Op>
decltype(auto) visit_for_caret(const TextArg& arg, Op&& op) {
    if (auto utf8 = cached_utf8(arg.object())) return op(*utf8);
    return arg.visit(op);
}

// current as an int that fits, or nothing (and no error set) where to_u64
// would fail or call back into Python.
std::optional<std::uint64_t> plain_u64(PyObject* obj) noexcept {
    if (!PyLong_Check(obj)) return std::nullopt;
    const unsigned long long v = PyLong_AsUnsignedLongLong(obj);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        return std::nullopt;
    }
    return v;
}

// Calls op(text, current) for the logical caret operations, bound with
// check_surrogates false. A str whose UTF-8 form the interpreter holds has no
// lone surrogate, or it could not have been encoded: it is read there, at once,
// unchecked. A fresh UCS-2 or UCS-4 str is checked in the same read that
// locates the caret (and past it), and op(text, current, at) is given the
// caret located; below LOCATE_CHECKING_FROM units, two reads from the caches
// cost less than that call. Whatever the path, an error of the text comes
// before one of current, as the argument order has it.
constexpr std::size_t LOCATE_CHECKING_FROM = 128;

template <typename Op>
decltype(auto) visit_at_caret(const TextArg& arg, PyObject* current_arg, Op&& op) {
    if (auto utf8 = cached_utf8(arg.object())) return op(*utf8, to_u64(current_arg, "current"));
    return arg.visit([&](auto text) {
        using Text = decltype(text);
        if constexpr (std::is_same_v<Text, text::Ucs2> || std::is_same_v<Text, text::Ucs4>) {
            const auto current = text.size >= LOCATE_CHECKING_FROM ? plain_u64(current_arg) : std::nullopt;
            if (current) {
                const segment::LocatedChecked at = segment::locate_offset_checking_surrogates(text, *current);
                if (at.surrogate) [[unlikely]]
                    arg.surrogate_error("text");
                return op(text, *current, at.at);
            }
            if (text::has_surrogate(text)) [[unlikely]]
                arg.surrogate_error("text");
        }
        return op(text, to_u64(current_arg, "current"));
    });
}

// The caret operations, for every form.
struct MoveLeft {
    template <typename Text, typename... Located>
    std::uint64_t operator()(Text text, std::uint64_t current, Located... at) const {
        return cursor::cursor_left(text, current, at...);
    }
};
struct MoveRight {
    template <typename Text, typename... Located>
    std::uint64_t operator()(Text text, std::uint64_t current, Located... at) const {
        return cursor::cursor_right(text, current, at...);
    }
};
struct SelectWord {
    template <typename Text, typename... Located>
    std::pair<std::uint64_t, std::uint64_t> operator()(Text text, std::uint64_t current, Located... at) const {
        return cursor::word_at(text, current, at...);
    }
};
struct MoveLeftVisual {
    template <typename Text>
    std::uint64_t operator()(Text text, std::uint64_t current, bool left_to_right) const {
        return cursor::move_left_visual(text, current, left_to_right);
    }
};
struct MoveRightVisual {
    template <typename Text>
    std::uint64_t operator()(Text text, std::uint64_t current, bool left_to_right) const {
        return cursor::move_right_visual(text, current, left_to_right);
    }
};

// (text, current) -> int
template <const FunctionSignature& Sig, typename Op>
PyObject* cursor_function(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(Sig, args, nargs, kwnames, false, /*check_surrogates=*/false);
        return u64_result(visit_at_caret(b.arg, b.slots[1], Op{}));
    });
}

// (text, current) -> int for the visual moves, which lay out the whole line:
// one pass over the stored form looks for a lone surrogate and for anything
// that leaves level 0. Without the latter, the move is a logical one and reads
// the form that locates the caret fastest; with it, the stored form is laid out.
template <const FunctionSignature& Sig, typename Op>
PyObject* visual_cursor_function(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(Sig, args, nargs, kwnames, false, /*check_surrogates=*/false);
        const bool left_to_right = b.arg.visit([&](auto text) {
            if constexpr (std::is_same_v<decltype(text), std::string_view>) {
                return true;  // ASCII
            } else {
                const bidi::LeftToRightScan scan = bidi::scan_left_to_right(text);
                if (scan.surrogate) [[unlikely]]
                    b.arg.surrogate_error("text");
                return scan.left_to_right;
            }
        });
        const std::uint64_t current = to_u64(b.slots[1], "current");
        auto op = [&](auto text) { return Op{}(text, current, left_to_right); };
        return u64_result(left_to_right ? visit_for_caret(b.arg, op) : b.arg.visit(op));
    });
}

PyObject* grapheme_boundaries(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_GRAPHEME_BOUNDARIES, args, nargs, kwnames, false);
        IntListBuilder list;
        b.arg.visit([&](auto text) { segment::grapheme_cluster_starts(latin1_if_ascii(text), list); });
        return list.list();
    });
}

PyObject* word_boundaries(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_WORD_BOUNDARIES, args, nargs, kwnames, false);
        (void)to_optional_utf8_view(b.slots[1], "locale");  // accepted, not used
        IntListBuilder list;
        b.arg.visit([&](auto text) { segment::word_boundary_offsets(latin1_if_ascii(text), list); });
        return list.list();
    });
}

PyObject* sentence_boundaries(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_SENTENCE_BOUNDARIES, args, nargs, kwnames, false);
        (void)to_optional_utf8_view(b.slots[1], "locale");  // accepted, not used
        IntListBuilder list;
        b.arg.visit([&](auto text) { segment::sentence_boundaries(latin1_if_ascii(text), list); });
        return list.list();
    });
}

PyObject* bidi_resolve(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_BIDI_RESOLVE, args, nargs, kwnames, false);
        return bidi_result(b.arg.visit([](auto text) { return bidi::bidi_layout(latin1_if_ascii(text)); }));
    });
}

PyObject* line_break_opportunities(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_LINE_BREAK, args, nargs, kwnames, false);
        OpportunityListBuilder list;
        b.arg.visit([&](auto text) { linebreak::line_break_opportunities(text, list); });
        return list.list();
    });
}

PyObject* line_break_opportunities_with_dictionary(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_LINE_BREAK_DICT, args, nargs, kwnames, false);
        OpportunityListBuilder list;
        b.arg.visit([&](auto text) { linebreak::line_break_opportunities_with_dictionary(text, list); });
        return list.list();
    });
}

PyObject* display_width(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_DISPLAY_WIDTH, args, nargs, kwnames, false);
        return u64_result(b.arg.visit([](auto text) { return truncate::text_width(text); }));
    });
}

PyObject* truncate_graphemes(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_TRUNCATE_GRAPHEMES, args, nargs, kwnames, false);
        const std::uint64_t limit = to_u64(b.slots[1], "max_graphemes");
        return prefix_result(b.slots[0], b.arg.visit([&](auto text) {
            return truncate::truncate_to_clusters(latin1_if_ascii(text), limit);
        }));
    });
}

PyObject* truncate_display_width(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_TRUNCATE_WIDTH, args, nargs, kwnames, false);
        const std::uint32_t limit = to_u32(b.slots[1], "max_width");
        return prefix_result(b.slots[0], b.arg.visit([&](auto text) {
            return truncate::truncate_to_width(latin1_if_ascii(text), limit);
        }));
    });
}

PyObject* select_word(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_SELECT_WORD, args, nargs, kwnames, false, /*check_surrogates=*/false);
        return pair_result(visit_at_caret(b.arg, b.slots[1], SelectWord{}));
    });
}

#ifdef SCRIVLET_TEST_HOOKS
// Test-only builds: fail inside guarded_call the way a broken invariant would.
constexpr FunctionSignature SIG_FAIL{"_fail_internally", {"text"}, 1, 1};

PyObject* fail_internally(SCRIVLET_ARGS) {
    return guarded_call([&]() -> PyObject* {
        Bound b(SIG_FAIL, args, nargs, kwnames);
        if (b.text == "invariant") throw InvariantError("index 7 out of range for length 3");
        if (b.text == "silent") throw InvariantError("");
        if (b.text == "std") throw std::out_of_range("vector::at");
        if (b.text == "foreign") throw 42;
        return str_result(b.text);
    });
}
#endif

#define FN(name, impl, doc) \
    {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(impl)), METH_FASTCALL | METH_KEYWORDS, doc}

PyMethodDef FUNCTIONS[] = {
    FN("grapheme_boundaries", grapheme_boundaries,
       "grapheme_boundaries(text)\n--\n\nReturn grapheme cluster boundary byte offsets for a string."),
    FN("word_boundaries", word_boundaries,
       "word_boundaries(text, locale=None)\n--\n\nReturn word boundary byte offsets for a string.\n\n"
       "Args:\n    text: Input string.\n    locale: Optional locale string (currently unused, reserved for future)."),
    FN("sentence_boundaries", sentence_boundaries,
       "sentence_boundaries(text, locale=None)\n--\n\nReturn sentence boundary byte offsets for a string."),
    FN("normalize_nfc", (normalize_function<SIG_NORMALIZE_NFC, NormalForm::NFC>),
       "normalize_nfc(text)\n--\n\nNormalize a string to NFC (Canonical Decomposition, followed by Canonical Composition)."),
    FN("normalize_nfd", (normalize_function<SIG_NORMALIZE_NFD, NormalForm::NFD>),
       "normalize_nfd(text)\n--\n\nNormalize a string to NFD (Canonical Decomposition)."),
    FN("normalize_nfkc", (normalize_function<SIG_NORMALIZE_NFKC, NormalForm::NFKC>),
       "normalize_nfkc(text)\n--\n\nNormalize a string to NFKC (Compatibility Decomposition, followed by Canonical Composition)."),
    FN("normalize_nfkd", (normalize_function<SIG_NORMALIZE_NFKD, NormalForm::NFKD>),
       "normalize_nfkd(text)\n--\n\nNormalize a string to NFKD (Compatibility Decomposition)."),
    FN("bidi_resolve", bidi_resolve,
       "bidi_resolve(text)\n--\n\nResolve bidi levels for a paragraph string.\n\nReturns a dict with:\n"
       "    paragraph_level: int (0=LTR, 1=RTL)\n    levels: list[int] (embedding level per character)\n"
       "    reorder: list[int] (visual order indices)"),
    FN("line_break_opportunities", line_break_opportunities,
       "line_break_opportunities(text)\n--\n\nReturn line break opportunities for a string.\n\n"
       "Returns a list of (byte_offset, action) tuples where action is:\n"
       "  \"mandatory\" - hard line break\n  \"allowed\" - break opportunity\n"
       "  \"prohibited\" - no break permitted\n\n"
       "Only returns entries where the action is \"mandatory\" or \"allowed\"."),
    FN("line_break_opportunities_with_dictionary", line_break_opportunities_with_dictionary,
       "line_break_opportunities_with_dictionary(text)\n--\n\nReturn line break opportunity byte offsets "
       "(allowed or mandatory) for a string,\nwith dictionary segmentation for Southeast Asian scripts."),
    FN("to_lowercase", (locale_text_function<SIG_TO_LOWERCASE, false>),
       "to_lowercase(text, locale=None)\n--\n\nConvert string to lowercase (full Unicode mapping)."),
    FN("to_uppercase", (locale_text_function<SIG_TO_UPPERCASE, true>),
       "to_uppercase(text, locale=None)\n--\n\nConvert string to uppercase (full Unicode mapping)."),
    FN("to_titlecase", (text_function<SIG_TO_TITLECASE, CaseOp::Title>),
       "to_titlecase(text)\n--\n\nConvert string to title case."),
    FN("case_fold", (text_function<SIG_CASE_FOLD, CaseOp::Fold>),
       "case_fold(text)\n--\n\nCase fold for case-insensitive comparison (full mapping, strings may grow)."),
    FN("case_fold_simple", (text_function<SIG_CASE_FOLD_SIMPLE, CaseOp::FoldSimple>),
       "case_fold_simple(text)\n--\n\nSimple case fold (single-char, length-preserving)."),
    FN("display_width", display_width,
       "display_width(text)\n--\n\nCompute display width of a string in column cells.\n\n"
       "CJK/fullwidth chars = 2, combining marks = 0, most others = 1."),
    FN("truncate_graphemes", truncate_graphemes,
       "truncate_graphemes(text, max_graphemes)\n--\n\nTruncate a string to at most max_graphemes grapheme clusters.\n\n"
       "Never splits a grapheme cluster."),
    FN("truncate_display_width", truncate_display_width,
       "truncate_display_width(text, max_width)\n--\n\nTruncate a string so its display width does not exceed max_width.\n\n"
       "Never splits a grapheme cluster."),
    FN("move_right", (cursor_function<SIG_MOVE_RIGHT, MoveRight>),
       "move_right(text, current)\n--\n\nMove cursor one grapheme cluster right (logical order)."),
    FN("move_left", (cursor_function<SIG_MOVE_LEFT, MoveLeft>),
       "move_left(text, current)\n--\n\nMove cursor one grapheme cluster left (logical order)."),
    FN("move_right_visual", (visual_cursor_function<SIG_MOVE_RIGHT_VISUAL, MoveRightVisual>),
       "move_right_visual(text, current)\n--\n\nMove cursor one grapheme cluster right (visual/bidi order)."),
    FN("move_left_visual", (visual_cursor_function<SIG_MOVE_LEFT_VISUAL, MoveLeftVisual>),
       "move_left_visual(text, current)\n--\n\nMove cursor one grapheme cluster left (visual/bidi order)."),
    FN("select_word", select_word,
       "select_word(text, current)\n--\n\nSelect the word at the given byte offset (double-click semantics).\n\n"
       "Returns (start, end) byte offsets."),
#ifdef SCRIVLET_TEST_HOOKS
    FN("_fail_internally", fail_internally, "_fail_internally(text)\n--\n\nTest hook."),
#endif
};

#undef FN

PyModuleDef MODULE_DEF = {
    PyModuleDef_HEAD_INIT,
    "scrivlet",
    "Scrivlet: correct Unicode text handling for every script.\n\n"
    "This module provides Python bindings to the scrivlet library, written in C++,\n"
    "implementing UAX #9 (bidi), UAX #14 (line breaking), UAX #15 (normalization),\n"
    "UAX #29 (segmentation), plus case mapping, display width, cursor navigation,\n"
    "and safe truncation.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool module_initialised = false;

bool add_function(PyObject* module, PyObject* module_name, PyMethodDef* def) {
    Ref fn(PyCFunction_NewEx(def, module, module_name));
    if (!fn) return false;
    Ref name(PyObject_GetAttrString(fn.get(), "__name__"));
    if (!name) return false;
    PyObject* all_raw = PyObject_GetAttrString(module, "__all__");
    if (all_raw == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all_raw = PyList_New(0);
        if (all_raw == nullptr) return false;
        if (PyObject_SetAttrString(module, "__all__", all_raw) < 0) {
            Py_DECREF(all_raw);
            return false;
        }
    }
    Ref all(all_raw);
    if (!PyList_Check(all.get())) {
        PyErr_SetString(PyExc_TypeError, "__all__ must be a list");
        return false;
    }
    if (PyList_Append(all.get(), name.get()) < 0) return false;
    return PyObject_SetAttr(module, name.get(), fn.get()) == 0;
}

}  // namespace

PyMODINIT_FUNC PyInit_scrivlet() {
    if (module_initialised) {
        PyErr_SetString(PyExc_ImportError,
                        "PyO3 modules compiled for CPython 3.8 or older may only be initialized "
                        "once per interpreter process");
        return nullptr;
    }
    if (action_mandatory == nullptr) {
        action_mandatory = PyUnicode_InternFromString("mandatory");
        action_allowed = PyUnicode_InternFromString("allowed");
        key_paragraph_level = PyUnicode_InternFromString("paragraph_level");
        key_levels = PyUnicode_InternFromString("levels");
        key_reorder = PyUnicode_InternFromString("reorder");
        if (action_mandatory == nullptr || action_allowed == nullptr ||
            key_paragraph_level == nullptr || key_levels == nullptr || key_reorder == nullptr)
            return nullptr;
    }
    Ref module(PyModule_Create2(&MODULE_DEF, 1013));
    if (!module) return nullptr;
    Ref module_name(PyUnicode_FromString(MODULE_DEF.m_name));
    if (!module_name) return nullptr;
    for (PyMethodDef& def : FUNCTIONS)
        if (!add_function(module.get(), module_name.get(), &def)) return nullptr;
    module_initialised = true;
    return module.release();
}

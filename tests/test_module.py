"""The module frame: function table, docstrings, argument binding and conversion
errors, result building failures, PanicException and the one-time import."""

import inspect

import pytest

import scrivlet
from conftest import run_python

# (name, parameters, required) in registration order.
SIGNATURES = [
    ("grapheme_boundaries", ("text",), 1),
    ("word_boundaries", ("text", "locale"), 1),
    ("sentence_boundaries", ("text", "locale"), 1),
    ("normalize_nfc", ("text",), 1),
    ("normalize_nfd", ("text",), 1),
    ("normalize_nfkc", ("text",), 1),
    ("normalize_nfkd", ("text",), 1),
    ("bidi_resolve", ("text",), 1),
    ("line_break_opportunities", ("text",), 1),
    ("line_break_opportunities_with_dictionary", ("text",), 1),
    ("to_lowercase", ("text", "locale"), 1),
    ("to_uppercase", ("text", "locale"), 1),
    ("to_titlecase", ("text",), 1),
    ("case_fold", ("text",), 1),
    ("case_fold_simple", ("text",), 1),
    ("display_width", ("text",), 1),
    ("truncate_graphemes", ("text", "max_graphemes"), 2),
    ("truncate_display_width", ("text", "max_width"), 2),
    ("move_right", ("text", "current"), 2),
    ("move_left", ("text", "current"), 2),
    ("move_right_visual", ("text", "current"), 2),
    ("move_left_visual", ("text", "current"), 2),
    ("select_word", ("text", "current"), 2),
]
NAMES = [s[0] for s in SIGNATURES]
INTEGER_PARAMS = {"max_graphemes", "current", "max_width"}

DOCS = {
    "grapheme_boundaries": "Return grapheme cluster boundary byte offsets for a string.",
    "word_boundaries": "Return word boundary byte offsets for a string.\n\nArgs:\n    text: Input string.\n"
    "    locale: Optional locale string (currently unused, reserved for future).",
    "sentence_boundaries": "Return sentence boundary byte offsets for a string.",
    "normalize_nfc": "Normalize a string to NFC (Canonical Decomposition, followed by Canonical Composition).",
    "normalize_nfd": "Normalize a string to NFD (Canonical Decomposition).",
    "normalize_nfkc": "Normalize a string to NFKC (Compatibility Decomposition, followed by Canonical Composition).",
    "normalize_nfkd": "Normalize a string to NFKD (Compatibility Decomposition).",
    "bidi_resolve": "Resolve bidi levels for a paragraph string.\n\nReturns a dict with:\n"
    "    paragraph_level: int (0=LTR, 1=RTL)\n    levels: list[int] (embedding level per character)\n"
    "    reorder: list[int] (visual order indices)",
    "line_break_opportunities": "Return line break opportunities for a string.\n\n"
    "Returns a list of (byte_offset, action) tuples where action is:\n"
    '  "mandatory" - hard line break\n  "allowed" - break opportunity\n  "prohibited" - no break permitted\n\n'
    'Only returns entries where the action is "mandatory" or "allowed".',
    "line_break_opportunities_with_dictionary": "Return line break opportunity byte offsets (allowed or mandatory) "
    "for a string,\nwith dictionary segmentation for Southeast Asian scripts.",
    "to_lowercase": "Convert string to lowercase (full Unicode mapping).",
    "to_uppercase": "Convert string to uppercase (full Unicode mapping).",
    "to_titlecase": "Convert string to title case.",
    "case_fold": "Case fold for case-insensitive comparison (full mapping, strings may grow).",
    "case_fold_simple": "Simple case fold (single-char, length-preserving).",
    "display_width": "Compute display width of a string in column cells.\n\n"
    "CJK/fullwidth chars = 2, combining marks = 0, most others = 1.",
    "truncate_graphemes": "Truncate a string to at most max_graphemes grapheme clusters.\n\nNever splits a grapheme cluster.",
    "truncate_display_width": "Truncate a string so its display width does not exceed max_width.\n\n"
    "Never splits a grapheme cluster.",
    "move_right": "Move cursor one grapheme cluster right (logical order).",
    "move_left": "Move cursor one grapheme cluster left (logical order).",
    "move_right_visual": "Move cursor one grapheme cluster right (visual/bidi order).",
    "move_left_visual": "Move cursor one grapheme cluster left (visual/bidi order).",
    "select_word": "Select the word at the given byte offset (double-click semantics).\n\nReturns (start, end) byte offsets.",
}

by_name = pytest.mark.parametrize("name,params,required", SIGNATURES, ids=NAMES)


def good_args(params):
    return ["text" if p == "text" else (None if p == "locale" else 1) for p in params]


# --- the function table ---

def test_all_lists_the_functions_in_registration_order():
    assert scrivlet.__all__ == NAMES


@by_name
def test_function_is_a_builtin_bound_to_the_module(name, params, required):
    fn = getattr(scrivlet, name)
    assert fn.__name__ == name
    assert fn.__module__ == "scrivlet"
    assert fn.__self__ is scrivlet


@by_name
def test_docstring_and_text_signature(name, params, required):
    fn = getattr(scrivlet, name)
    assert fn.__doc__ == DOCS[name]
    shown = ", ".join(p if i < required else f"{p}=None" for i, p in enumerate(params))
    assert fn.__text_signature__ == f"({shown})"


def test_module_docstring_names_the_algorithms():
    doc = scrivlet.__doc__
    assert doc.startswith("Scrivlet: correct Unicode text handling for every script.\n\n")
    assert doc.endswith(
        "implementing UAX #9 (bidi), UAX #14 (line breaking), UAX #15 (normalization),\n"
        "UAX #29 (segmentation), plus case mapping, display width, cursor navigation,\n"
        "and safe truncation."
    )


def test_derived_signature_of_to_lowercase():
    assert str(inspect.signature(scrivlet.to_lowercase)) == "(text, locale=None)"


def test_panic_exception_is_not_in_the_namespace():
    assert not hasattr(scrivlet, "PanicException")


# --- binding errors, for every function ---

@by_name
def test_too_many_positional_arguments(name, params, required):
    fn = getattr(scrivlet, name)
    n = len(params) + 1
    if required == len(params):
        expected = f"{name}() takes {len(params)} positional arguments but {n} were given"
    else:
        expected = f"{name}() takes from {required} to {len(params)} positional arguments but {n} were given"
    with pytest.raises(TypeError) as info:
        fn(*good_args(params), "extra")
    assert str(info.value) == expected


@by_name
def test_too_many_positional_comes_before_keywords(name, params, required):
    with pytest.raises(TypeError, match="positional arguments but"):
        getattr(scrivlet, name)(*good_args(params), "extra", bogus=1)


@by_name
def test_unexpected_keyword(name, params, required):
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)(*good_args(params), foo=1)
    assert str(info.value) == f"{name}() got an unexpected keyword argument 'foo'"


@by_name
def test_parameter_given_twice(name, params, required):
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)("a", text="b")
    assert str(info.value) == f"{name}() got multiple values for argument 'text'"


@by_name
def test_no_arguments_names_every_missing_one(name, params, required):
    missing = params[:required]
    listed = " and ".join(f"'{p}'" for p in missing)
    word = "argument" if len(missing) == 1 else "arguments"
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)()
    assert str(info.value) == f"{name}() missing {len(missing)} required positional {word}: {listed}"


@pytest.mark.parametrize("name", [n for n, p, r in SIGNATURES if r == 2])
def test_text_alone_names_only_the_second_parameter(name):
    param = dict((n, p) for n, p, _ in SIGNATURES)[name][1]
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)("abc")
    assert str(info.value) == f"{name}() missing 1 required positional argument: '{param}'"
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)(**{param: 1})
    assert str(info.value) == f"{name}() missing 1 required positional argument: 'text'"


@by_name
def test_every_parameter_binds_by_keyword_in_any_order(name, params, required):
    fn = getattr(scrivlet, name)
    kwargs = dict(zip(params, good_args(params)))
    forward = fn(**kwargs)
    backward = fn(**dict(reversed(list(kwargs.items()))))
    assert forward == backward == fn(*good_args(params))


# --- conversion errors ---

@pytest.mark.parametrize(
    "value,type_name",
    [(b"abc", "bytes"), (5, "int"), (None, "NoneType"), (["a"], "list"), (3.5, "float")],
    ids=["bytes", "int", "None", "list", "float"],
)
@by_name
def test_text_must_be_a_str(name, params, required, value, type_name):
    args = good_args(params)
    args[0] = value
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)(*args)
    assert str(info.value) == f"argument 'text': '{type_name}' object cannot be converted to 'PyString'"
    assert type(info.value) is TypeError


@pytest.mark.parametrize("call, message", [
    (lambda: scrivlet.case_fold(type("A", (), {"__qualname__": "A\x00B"})()),
     "argument 'text': 'A\x00B' object cannot be converted to 'PyString'"),
    (lambda: scrivlet.move_left("a", 0, **{"text\x00x": 1}),
     "move_left() got an unexpected keyword argument 'text\x00x'"),
], ids=["type-name", "unknown-keyword"])
def test_messages_keep_an_embedded_nul(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


def test_unreadable_type_name_has_a_fallback_text():
    class Meta(type):
        def __getattribute__(cls, attr):
            if attr == "__qualname__":
                raise RuntimeError("no name")
            return super().__getattribute__(attr)

    class Odd(metaclass=Meta):
        pass

    with pytest.raises(TypeError) as info:
        scrivlet.case_fold(Odd())
    assert str(info.value) == "argument 'text': '<failed to extract type name>' object cannot be converted to 'PyString'"


@by_name
def test_lone_surrogate_raises_unicode_encode_error(name, params, required):
    args = good_args(params)
    args[0] = "a\ud800b"
    with pytest.raises(UnicodeEncodeError):
        getattr(scrivlet, name)(*args)


TWO_PARAMETERS = [s for s in SIGNATURES if len(s[1]) == 2]


@pytest.mark.parametrize("name,params,required", TWO_PARAMETERS, ids=[s[0] for s in TWO_PARAMETERS])
def test_text_error_is_reported_before_the_second_argument(name, params, required):
    with pytest.raises(TypeError, match="^argument 'text': "):
        getattr(scrivlet, name)(b"x", 3.5 if params[1] in INTEGER_PARAMS else 5)


@by_name
def test_str_subclass_is_accepted_by_its_value(name, params, required):
    class Sub(str):
        pass

    args = good_args(params)
    assert getattr(scrivlet, name)(Sub("text"), *args[1:]) == getattr(scrivlet, name)("text", *args[1:])


LOCALE_FUNCTIONS = [n for n, p, _ in SIGNATURES if "locale" in p]


@pytest.mark.parametrize("name", LOCALE_FUNCTIONS)
def test_locale_must_be_str_or_none(name):
    fn = getattr(scrivlet, name)
    with pytest.raises(TypeError) as info:
        fn("abc", 5)
    assert str(info.value) == "argument 'locale': 'int' object cannot be converted to 'PyString'"
    with pytest.raises(UnicodeEncodeError):
        fn("abc", "\udc80")
    assert fn("abc", None) == fn("abc", locale=None) == fn("abc")


INT_FUNCTIONS = [(n, p[1]) for n, p, _ in SIGNATURES if len(p) == 2 and p[1] in INTEGER_PARAMS]
int_params = pytest.mark.parametrize("name,param", INT_FUNCTIONS, ids=[n for n, _ in INT_FUNCTIONS])


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class BadIndex:
    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


@int_params
@pytest.mark.parametrize("value", [3.0, "3", None, [3]], ids=["float", "str", "None", "list"])
def test_integer_argument_of_wrong_type(name, param, value):
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)("abc", value)
    assert type(info.value) is TypeError
    assert str(info.value).startswith(f"argument '{param}': ")
    assert "cannot be interpreted as an integer" in str(info.value)


@int_params
def test_integer_argument_accepts_bool_and_index_objects(name, param):
    fn = getattr(scrivlet, name)
    assert fn("abcdef", True) == fn("abcdef", 1)
    assert fn("abcdef", Index(2)) == fn("abcdef", 2)


@int_params
def test_index_raising_type_error_keeps_its_cause(name, param):
    cause = KeyError("inner")
    error = TypeError("refused")
    error.__cause__ = cause
    with pytest.raises(TypeError) as info:
        getattr(scrivlet, name)("abc", BadIndex(error))
    assert str(info.value) == f"argument '{param}': refused"
    assert info.value.__cause__ is cause


@int_params
def test_index_raising_other_errors_pass_through(name, param):
    with pytest.raises(ValueError, match="^nope$"):
        getattr(scrivlet, name)("abc", BadIndex(ValueError("nope")))


@pytest.mark.parametrize("name,param", [x for x in INT_FUNCTIONS if x[1] != "max_width"])
@pytest.mark.parametrize("value", [-1, 2**64, -(2**70)], ids=["-1", "2**64", "-2**70"])
def test_u64_out_of_range_is_the_interpreters_overflow(name, param, value):
    with pytest.raises(OverflowError) as info:
        getattr(scrivlet, name)("abc", value)
    assert not str(info.value).startswith("argument")


@pytest.mark.parametrize("name,param", [x for x in INT_FUNCTIONS if x[1] != "max_width"])
def test_u64_accepts_the_full_range(name, param):
    fn = getattr(scrivlet, name)
    fn("abc", 2**64 - 1)
    fn("abc", Index(2**64 - 1))
    fn("abc", 0)


@pytest.mark.parametrize("value", [-1, 2**32, Index(-5), Index(2**32)], ids=["-1", "2**32", "index-5", "index2**32"])
def test_max_width_out_of_u32_range(value):
    with pytest.raises(OverflowError) as info:
        scrivlet.truncate_display_width("abc", value)
    assert str(info.value) == "out of range integral type conversion attempted"


def test_max_width_beyond_i64_is_the_interpreters_overflow():
    with pytest.raises(OverflowError) as info:
        scrivlet.truncate_display_width("abc", 2**64)
    assert str(info.value) != "out of range integral type conversion attempted"


def test_max_width_accepts_u32_max():
    assert scrivlet.truncate_display_width("abc", 4294967295) == "abc"


# --- failures inside a call ---

PANIC_CHECK = """
import scrivlet
try:
    scrivlet._fail_internally({arg!r})
except Exception:
    print("caught as Exception")
except BaseException as e:
    t = type(e)
    print(t.__module__ + "." + t.__qualname__, t.__bases__ == (BaseException,), repr(e.args), repr(t.__doc__), sep="\t")
"""


@pytest.mark.parametrize(
    "arg,message",
    [
        ("invariant", "index 7 out of range for length 3"),
        ("std", "vector::at"),
        ("silent", "internal failure without a message"),
        ("foreign", "internal failure without a message"),
    ],
    ids=["invariant", "std-exception", "no-message", "non-std-exception"],
)
def test_internal_failure_raises_panic_exception(native_build, arg, message):
    done = run_python(PANIC_CHECK.format(arg=arg), native_build / "testhooks")
    assert done.returncode == 0, done.stderr
    name, direct_base, args, doc = done.stdout.strip().split("\t")
    assert name == "pyo3_runtime.PanicException"
    assert direct_base == "True"
    assert eval(args) == (message,)
    doc = eval(doc)
    assert doc.startswith("\n") and doc.endswith("\n")
    assert doc.split("\n\n")[1] == (
        "Like SystemExit, this exception is derived from BaseException so that\n"
        "it will typically propagate all the way through the stack and cause the\n"
        "Python interpreter to exit.\n"
    )


def test_panic_exception_type_is_created_once(native_build):
    code = """
import scrivlet
types = set()
for _ in range(3):
    try:
        scrivlet._fail_internally("invariant")
    except BaseException as e:
        types.add(id(type(e)))
print(len(types), hasattr(scrivlet, "PanicException"))
"""
    done = run_python(code, native_build / "testhooks")
    assert done.stdout.split() == ["1", "False"], done.stderr


API_FAILURE = """
import _testcapi, scrivlet
scrivlet.grapheme_boundaries("warm up")
_testcapi.set_nomemory(0, 1)   # the next allocation, the result list, fails
try:
    scrivlet.grapheme_boundaries("abc")
except Exception:
    _testcapi.remove_mem_hooks()
    print("caught as Exception")
except BaseException as e:
    _testcapi.remove_mem_hooks()
    print(type(e).__qualname__, e.args[0])
"""


def test_failing_result_builder_raises_python_api_call_failed():
    pytest.importorskip("_testcapi")
    done = run_python(API_FAILURE)
    assert done.stdout.strip() == "PanicException Python API call failed"
    assert "MemoryError" in done.stderr  # the interpreter's error is printed first


def test_second_initialisation_raises_import_error():
    code = """
import sys, scrivlet
del sys.modules["scrivlet"]
try:
    import scrivlet
except ImportError as e:
    print(e)
"""
    done = run_python(code)
    assert done.stdout.strip() == (
        "PyO3 modules compiled for CPython 3.8 or older may only be initialized once per interpreter process"
    )


def test_only_the_init_function_is_exported():
    import subprocess

    nm = subprocess.run(["nm", "-D", "--defined-only", scrivlet.__file__], capture_output=True, text=True)
    if nm.returncode != 0:
        pytest.skip("nm is not available")
    exported = [line.split()[-1] for line in nm.stdout.splitlines() if line.split()[1] in "TtWwDdBbRrVi"]
    assert [s for s in exported if not s.startswith("_")] == ["PyInit_scrivlet"]

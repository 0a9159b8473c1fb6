/* The floor of a call: what building its result objects costs, and nothing else.
 *
 * plan = prepare(result) copies a result's values into C arrays once;
 * plan(text, *args) then makes the same objects again from those values, the way
 * an extension function would (a list of ints through PyLong_FromUnsignedLongLong,
 * (int, str) tuples sharing the result's own interned strings, untracked by the
 * cyclic collector where the result's are, a dict with its
 * bytes and list, a str by one copy of its code units), and returns them for the
 * caller to release. Its arguments are ignored: they keep the call shape of the
 * function measured. Compiled by bench/floors.py; not part of the package.
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

enum Kind { INT, INT_LIST, PAIR_LIST, STR, BYTES, SHARED, LIST, TUPLE, DICT };

typedef struct Node {
    enum Kind kind;
    Py_ssize_t n;          /* items, code units or bytes */
    uint64_t value;        /* INT */
    uint64_t *values;      /* INT_LIST, PAIR_LIST: the ints */
    PyObject **shared;     /* PAIR_LIST: the strs; SHARED: one; DICT: the keys */
    void *data;            /* STR, BYTES */
    int str_kind;          /* STR */
    int untracked;         /* PAIR_LIST: the result's pairs are not tracked by the GC */
    Py_UCS4 max_char;      /* STR */
    struct Node *children; /* LIST, TUPLE, DICT */
} Node;

static void node_clear(Node *node) {
    free(node->values);
    free(node->data);
    if (node->shared) {
        Py_ssize_t count = node->kind == SHARED ? 1 : node->n;
        for (Py_ssize_t i = 0; i < count; i++) Py_XDECREF(node->shared[i]);
        free(node->shared);
    }
    if (node->children) {
        for (Py_ssize_t i = 0; i < node->n; i++) node_clear(&node->children[i]);
        free(node->children);
    }
    memset(node, 0, sizeof *node);
}

static int is_pair(PyObject *item) {
    return PyTuple_CheckExact(item) && PyTuple_GET_SIZE(item) == 2 &&
           PyLong_CheckExact(PyTuple_GET_ITEM(item, 0)) &&
           PyUnicode_CheckExact(PyTuple_GET_ITEM(item, 1));
}

static int node_prepare(Node *node, PyObject *obj, int top);

static int prepare_items(Node *node, PyObject *const *items, Py_ssize_t n) {
    node->n = n;
    node->children = calloc(n ? n : 1, sizeof(Node));
    if (!node->children) return -1;
    for (Py_ssize_t i = 0; i < n; i++)
        if (node_prepare(&node->children[i], items[i], 0) < 0) return -1;
    return 0;
}

static int node_prepare(Node *node, PyObject *obj, int top) {
    memset(node, 0, sizeof *node);
    if (PyLong_CheckExact(obj)) {
        node->kind = INT;
        node->value = PyLong_AsUnsignedLongLong(obj);
        return PyErr_Occurred() ? -1 : 0;
    }
    if (PyUnicode_CheckExact(obj) && !top) {
        node->kind = SHARED;
        node->shared = malloc(sizeof(PyObject *));
        if (!node->shared) return -1;
        Py_INCREF(obj);
        node->shared[0] = obj;
        return 0;
    }
    if (PyUnicode_CheckExact(obj)) {
        node->kind = STR;
        node->n = PyUnicode_GET_LENGTH(obj);
        node->str_kind = PyUnicode_KIND(obj);
        node->max_char = PyUnicode_MAX_CHAR_VALUE(obj);
        size_t size = (size_t)node->n * node->str_kind;
        node->data = malloc(size ? size : 1);
        if (!node->data) return -1;
        memcpy(node->data, PyUnicode_DATA(obj), size);
        return 0;
    }
    if (PyBytes_CheckExact(obj)) {
        node->kind = BYTES;
        node->n = PyBytes_GET_SIZE(obj);
        node->data = malloc(node->n ? node->n : 1);
        if (!node->data) return -1;
        memcpy(node->data, PyBytes_AS_STRING(obj), node->n);
        return 0;
    }
    if (PyList_CheckExact(obj)) {
        Py_ssize_t n = PyList_GET_SIZE(obj);
        int ints = 1, pairs = 1;
        for (Py_ssize_t i = 0; i < n && (ints || pairs); i++) {
            PyObject *item = PyList_GET_ITEM(obj, i);
            ints = ints && PyLong_CheckExact(item);
            pairs = pairs && is_pair(item);
        }
        if (ints || pairs) {
            node->kind = ints ? INT_LIST : PAIR_LIST;
            node->n = n;
            node->values = malloc(sizeof(uint64_t) * (n ? n : 1));
            if (!node->values) return -1;
            if (pairs && n) {
                node->shared = calloc(n, sizeof(PyObject *));
                if (!node->shared) return -1;
                node->untracked = 1;
            }
            for (Py_ssize_t i = 0; i < n; i++) {
                PyObject *item = PyList_GET_ITEM(obj, i);
                PyObject *number = ints ? item : PyTuple_GET_ITEM(item, 0);
                node->values[i] = PyLong_AsUnsignedLongLong(number);
                if (PyErr_Occurred()) return -1;
                if (!ints) {
                    node->shared[i] = PyTuple_GET_ITEM(item, 1);
                    Py_INCREF(node->shared[i]);
                    if (PyObject_GC_IsTracked(item)) node->untracked = 0;
                }
            }
            return 0;
        }
        node->kind = LIST;
        return prepare_items(node, PySequence_Fast_ITEMS(obj), n);
    }
    if (PyTuple_CheckExact(obj)) {
        node->kind = TUPLE;
        return prepare_items(node, PySequence_Fast_ITEMS(obj), PyTuple_GET_SIZE(obj));
    }
    if (PyDict_CheckExact(obj)) {
        node->kind = DICT;
        Py_ssize_t n = PyDict_GET_SIZE(obj), pos = 0, i = 0;
        PyObject *key, *value;
        node->n = n;
        node->children = calloc(n ? n : 1, sizeof(Node));
        node->shared = calloc(n ? n : 1, sizeof(PyObject *));
        if (!node->children || !node->shared) return -1;
        while (PyDict_Next(obj, &pos, &key, &value)) {
            Py_INCREF(key);
            node->shared[i] = key;
            if (node_prepare(&node->children[i], value, 0) < 0) return -1;
            i++;
        }
        return 0;
    }
    PyErr_Format(PyExc_TypeError, "no floor for a result of type %s", Py_TYPE(obj)->tp_name);
    return -1;
}

static PyObject *node_build(const Node *node) {
    switch (node->kind) {
    case INT:
        return PyLong_FromUnsignedLongLong(node->value);
    case SHARED:
        Py_INCREF(node->shared[0]);
        return node->shared[0];
    case STR: {
        PyObject *s = PyUnicode_New(node->n, node->max_char);
        if (s) memcpy(PyUnicode_DATA(s), node->data, (size_t)node->n * node->str_kind);
        return s;
    }
    case BYTES:
        return PyBytes_FromStringAndSize(node->data, node->n);
    case INT_LIST:
    case PAIR_LIST: {
        PyObject *list = PyList_New(node->n);
        if (!list) return NULL;
        for (Py_ssize_t i = 0; i < node->n; i++) {
            PyObject *number = PyLong_FromUnsignedLongLong(node->values[i]);
            if (!number) goto fail;
            if (node->kind == INT_LIST) {
                PyList_SET_ITEM(list, i, number);
                continue;
            }
            PyObject *pair = PyTuple_New(2);
            if (!pair) {
                Py_DECREF(number);
                goto fail;
            }
            Py_INCREF(node->shared[i]);
            PyTuple_SET_ITEM(pair, 0, number);
            PyTuple_SET_ITEM(pair, 1, node->shared[i]);
            if (node->untracked) PyObject_GC_UnTrack(pair);
            PyList_SET_ITEM(list, i, pair);
        }
        return list;
    fail:
        Py_DECREF(list);
        return NULL;
    }
    case LIST:
    case TUPLE: {
        PyObject *seq = node->kind == LIST ? PyList_New(node->n) : PyTuple_New(node->n);
        if (!seq) return NULL;
        for (Py_ssize_t i = 0; i < node->n; i++) {
            PyObject *item = node_build(&node->children[i]);
            if (!item) {
                Py_DECREF(seq);
                return NULL;
            }
            if (node->kind == LIST)
                PyList_SET_ITEM(seq, i, item);
            else
                PyTuple_SET_ITEM(seq, i, item);
        }
        return seq;
    }
    case DICT: {
        PyObject *dict = PyDict_New();
        if (!dict) return NULL;
        for (Py_ssize_t i = 0; i < node->n; i++) {
            PyObject *value = node_build(&node->children[i]);
            if (!value || PyDict_SetItem(dict, node->shared[i], value) < 0) {
                Py_XDECREF(value);
                Py_DECREF(dict);
                return NULL;
            }
            Py_DECREF(value);
        }
        return dict;
    }
    }
    return NULL;
}

/* A plan is called like the function it stands for, plan(text, *args), through
 * vectorcall: its call costs what a call of an extension function costs. */
typedef struct {
    PyObject_HEAD
    vectorcallfunc vectorcall;
    Node node;
} Plan;

static PyObject *plan_call(PyObject *self, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    return node_build(&((Plan *)self)->node);
}

static void plan_dealloc(PyObject *self) {
    node_clear(&((Plan *)self)->node);
    PyObject_Free(self);
}

static PyTypeObject PLAN_TYPE = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "_floor.Plan",
    .tp_basicsize = sizeof(Plan),
    .tp_dealloc = plan_dealloc,
    .tp_vectorcall_offset = offsetof(Plan, vectorcall),
    .tp_call = PyVectorcall_Call,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL,
    .tp_doc = "The values of one result; calling it builds the result again.",
};

static PyObject *prepare(PyObject *self, PyObject *result) {
    Plan *plan = PyObject_New(Plan, &PLAN_TYPE);
    if (!plan) return NULL;
    memset(&plan->node, 0, sizeof plan->node);
    plan->vectorcall = plan_call;
    if (node_prepare(&plan->node, result, 1) < 0) {
        Py_DECREF(plan);
        if (!PyErr_Occurred()) PyErr_NoMemory();
        return NULL;
    }
    return (PyObject *)plan;
}

/* The scan: one pass reading every byte of the str's own code units, called like
 * the function measured; what "at memory speed" means for that text. */
static PyObject *scan_call(PyObject *self, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    if (PyVectorcall_NARGS(nargsf) < 1 || !PyUnicode_Check(args[0])) {
        PyErr_SetString(PyExc_TypeError, "scan(text, *args)");
        return NULL;
    }
    const unsigned char *data = PyUnicode_DATA(args[0]);
    size_t size = (size_t)PyUnicode_GET_LENGTH(args[0]) * PyUnicode_KIND(args[0]);
    uint64_t seen = 0, word;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        memcpy(&word, data + i, 8);
        seen |= word;
    }
    for (; i < size; i++) seen |= data[i];
    return PyBool_FromLong(seen != 0);
}

typedef struct {
    PyObject_HEAD
    vectorcallfunc vectorcall;
} Scan;

static PyTypeObject SCAN_TYPE = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "_floor.Scan",
    .tp_basicsize = sizeof(Scan),
    .tp_vectorcall_offset = offsetof(Scan, vectorcall),
    .tp_call = PyVectorcall_Call,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL,
    .tp_doc = "scan(text, *args): reads every code unit of text once.",
};

static PyObject *scanner(PyObject *self, PyObject *unused) {
    Scan *scan = PyObject_New(Scan, &SCAN_TYPE);
    if (scan) scan->vectorcall = scan_call;
    return (PyObject *)scan;
}

static PyMethodDef METHODS[] = {
    {"scanner", scanner, METH_NOARGS, "scanner() -> scan; scan(text, *args) reads text once."},
    {"prepare", prepare, METH_O,
     "prepare(result) -> plan; plan(text, *args) -> a new result made from its values."},
    {NULL, NULL, 0, NULL},
};

static struct PyModuleDef MODULE = {PyModuleDef_HEAD_INIT, "_floor", NULL, -1, METHODS};

PyMODINIT_FUNC PyInit__floor(void) {
    if (PyType_Ready(&PLAN_TYPE) < 0 || PyType_Ready(&SCAN_TYPE) < 0) return NULL;
    return PyModule_Create(&MODULE);
}

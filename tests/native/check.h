// A minimal test harness for the core: TEST(name) { CHECK(...); } registers a
// test; main runs each one in a child process of its own, so tests that watch
// the process-wide dictionaries start from a fresh process.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace scrivlet::testing {

struct TestCase {
    const char* name;
    void (*fn)();
};

inline std::vector<TestCase>& registry() {
    static std::vector<TestCase> tests;
    return tests;
}

struct Register {
    Register(const char* name, void (*fn)()) { registry().push_back({name, fn}); }
};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <typename A, typename B>
void check_equal(const A& a, const B& b, const char* expr, const char* file, int line) {
    if (!(a == b)) {
        std::ostringstream out;
        out << file << ":" << line << ": " << expr << ": " << a << " != " << b;
        throw Failure(out.str());
    }
}

}  // namespace scrivlet::testing

#define TEST(name)                                                               \
    static void name();                                                          \
    static const ::scrivlet::testing::Register register_##name(#name, &name);    \
    static void name()

#define CHECK(cond)                                                                     \
    do {                                                                                \
        if (!(cond))                                                                    \
            throw ::scrivlet::testing::Failure(std::string(__FILE__) + ":" +            \
                                               std::to_string(__LINE__) + ": " #cond); \
    } while (0)

#define CHECK_EQ(a, b) ::scrivlet::testing::check_equal((a), (b), #a " == " #b, __FILE__, __LINE__)

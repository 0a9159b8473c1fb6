// Runs every registered test, each in a child process of its own.
// Usage: scrivlet_core_tests [substring]   (only tests whose name contains it)

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "check.h"

namespace {

int run_in_child(const scrivlet::testing::TestCase& test) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    if (pid == 0) {
        int code = 0;
        try {
            test.fn();
        } catch (const scrivlet::testing::Failure& f) {
            std::fprintf(stderr, "  %s\n", f.what());
            code = 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "  unexpected exception: %s\n", e.what());
            code = 1;
        }
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : "";
    int failed = 0, run = 0;
    for (const auto& test : scrivlet::testing::registry()) {
        if (std::strstr(test.name, filter) == nullptr) continue;
        ++run;
        int code = run_in_child(test);
        std::printf("%s %s\n", code == 0 ? "PASS" : "FAIL", test.name);
        failed += code != 0;
    }
    std::printf("%d tests, %d failed\n", run, failed);
    return failed == 0 && run > 0 ? 0 : 1;
}

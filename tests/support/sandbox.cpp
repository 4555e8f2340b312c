// Linked into each test binary: started outside support/test-env (by hand, say), it starts
// itself again through test-env, whose HOME, XDG and temporary folders are private.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool InSandbox() {
    const char* root = std::getenv("LOOMWAY_TEST_ENV");
    const std::string prefix = std::string(root != nullptr ? root : "") + "/";
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "LOOMWAY_TEST_TMP"}) {
        const char* value = std::getenv(name);
        if (prefix == "/" || value == nullptr || std::string(value).rfind(prefix, 0) != 0) {
            return false;
        }
    }
    return true;
}

// glibc hands constructors the program's arguments.
[[gnu::constructor]] void RestartOutsideSandbox(int argc, char** argv, char**) {
    if (InSandbox()) {
        return;
    }
    std::vector<char*> args{const_cast<char*>(LOOMWAY_TEST_ENV_SCRIPT),
                            const_cast<char*>(LOOMWAY_TEST_LABEL)};
    args.insert(args.end(), argv, argv + argc + 1); // with the closing nullptr
    ::execv(args[0], args.data());
    std::fprintf(stderr, "test: refusing to run outside %s, which could not start\n", args[0]);
    std::_Exit(2);
}

} // namespace

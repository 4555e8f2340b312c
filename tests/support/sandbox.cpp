// Every test binary runs in a sandbox. Started outside support/test-env (by
// hand from a shell, say), it starts itself again through test-env, so that
// HOME, the XDG folders and the temporary folder it may change are private
// ones that test-env removes afterwards. Linked into each test executable.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool InSandbox() {
    const char* root = std::getenv("LOOMWAY_TEST_ENV");
    if (root == nullptr || *root == '\0') {
        return false;
    }
    const std::string prefix = std::string(root) + "/";
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "LOOMWAY_TEST_TMP"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || std::string(value).rfind(prefix, 0) != 0) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void RestartInSandbox() {
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(cmdline)), {});
    std::vector<std::string> args{LOOMWAY_TEST_ENV_SCRIPT, LOOMWAY_TEST_LABEL};
    char self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::fputs("test: cannot find my own binary to restart in a sandbox\n", stderr);
        std::_Exit(2);
    }
    args.emplace_back(self);
    for (std::size_t at = all.find('\0') + 1; at < all.size(); at = all.find('\0', at) + 1) {
        args.emplace_back(all.c_str() + at);
    }
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::fprintf(stderr, "test: refusing to run outside %s, which could not start\n", argv[0]);
    std::_Exit(2);
}

[[maybe_unused]] const bool kSandboxed = InSandbox() || (RestartInSandbox(), false);

} // namespace

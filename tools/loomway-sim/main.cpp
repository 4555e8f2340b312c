// loomway-sim: the handheld or the modem at the far end of a serial line.
#include "tools/loomway-sim/commands.h"
#include "tools/loomway-sim/options.h"
#include "tools/loomway-sim/serialline.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    using namespace loomway::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        const Options options = ParseOptions(args);
        if (options.help) {
            std::cout << HelpText();
            return kExitOk;
        }
        const std::string input =
            options.role == Role::Handheld ? PrepareHandheldInput(options) : std::string();
        SerialLine line(options.device, options.speed);
        if (options.role == Role::Modem) {
            return RunModem(options, line, std::cout, std::cerr);
        }
        int code = kExitUsage;
        try {
            code = RunHandheld(options, input, line, std::cout, std::cerr);
        } catch (const LineError& e) {
            std::cerr << "loomway-sim: " << e.what() << "\n";
            code = kExitNoReply;
        }
        std::cout.flush();
        // The tally, for scripts that compare it with the program's counters.
        std::cerr << "loomway-sim: " << line.bytesWritten() << " bytes sent, " << line.bytesRead()
                  << " bytes received on " << line.path() << "\n";
        return code;
    } catch (const UsageError& e) {
        std::cerr << "loomway-sim: " << e.what() << "\nTry 'loomway-sim --help'.\n";
        return kExitUsage;
    } catch (const DeviceError& e) {
        std::cerr << "loomway-sim: " << e.what() << "\n";
        return kExitUsage;
    } catch (const LineError& e) {
        std::cerr << "loomway-sim: " << e.what() << "\n";
        return kExitNoReply;
    }
}

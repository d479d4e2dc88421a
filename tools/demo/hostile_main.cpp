// kl-hostile-data: writes a hostile variant of the demo data (HostileData.h)
// for kl-demo-service --data, to see what the program does with a service
// that means it harm.
//
//   kl-hostile-data DIR [--from DATA]
//
// --from  the demo data to start from (default: demo-data beside the
//         program, else the source tree's tools/demo-data)
#include <iostream>
#include <string>

#include "demo/DemoService.h"
#include "demo/HostileData.h"

int main(int argc, char** argv) {
    std::string folder, from;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--from" && i + 1 < argc) {
            from = argv[++i];
        } else if (folder.empty() && !arg.empty() && arg[0] != '-') {
            folder = arg;
        } else {
            std::cerr << "usage: kl-hostile-data DIR [--from DATA]\n";
            return 2;
        }
    }
    if (folder.empty()) {
        std::cerr << "usage: kl-hostile-data DIR [--from DATA]\n";
        return 2;
    }
    if (from.empty()) from = demo::DemoService::defaultDataFolder(argv[0]);
    try {
        demo::writeHostileData(from, folder);
    } catch (const std::exception& e) {
        std::cerr << "kl-hostile-data: " << e.what() << "\n";
        return 1;
    }
    std::cout << folder << "\n";
    return 0;
}

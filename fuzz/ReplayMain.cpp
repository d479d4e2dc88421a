// The replay driver: runs a fuzz target once over every input given (files,
// or folders read recursively, in name order) without fuzzing, so the tests
// check the harnesses and every input kept in the corpus with the default
// compiler and its sanitizers.
//
//   fuzz-replay-json fuzz/corpus/json [more files or folders]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg, ec))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg, ec)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "replay: no such input: %s\n", argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    double slowest = 0;
    fs::path slowestInput;
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Printed before the run, so a crash names its input.
        std::fprintf(stderr, "replay: %s\n", path.c_str());
        auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(data.data(), data.size());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > slowest) {
            slowest = seconds;
            slowestInput = path;
        }
    }
    std::printf("replay: %zu inputs, slowest %.3f s (%s)\n", inputs.size(), slowest, slowestInput.c_str());
    return 0;
}

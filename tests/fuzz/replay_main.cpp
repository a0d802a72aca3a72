// Runs the fuzz target over files and folders of inputs, without libFuzzer,
// in the ordinary (and the sanitizer) test builds. A path that does not
// exist, or holds no input, fails the replay: it would test nothing.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> files;
        if (!fs::exists(argv[i])) {
            std::printf("no such file or folder: %s\n", argv[i]);
            return 1;
        }
        if (fs::is_directory(argv[i])) {
            for (const auto& e : fs::directory_iterator(argv[i]))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.push_back(argv[i]);
        }
        for (const fs::path& p : files) {
            std::ifstream f(p, std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        }
        if (files.empty()) {
            std::printf("no inputs in %s\n", argv[i]);
            return 1;
        }
        runs += files.size();
    }
    std::printf("replayed %zu inputs\n", runs);
    return runs > 0 ? 0 : 1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target's LLVMFuzzerTestOneInput over files, without libFuzzer: the ordinary GCC
// build (and its sanitizer builds) replays every committed corpus as a plain test, so a fault
// the fuzzer once found stays found without a clang tree.
//
//   fuzz_replay_NAME PATH...   each PATH a file, or a folder whose files are replayed in name
//                              order (not recursing)
//
// Exit status 0 when every input ran; 1 with a message when a path cannot be read or holds no
// input at all. A broken rule aborts inside the target, as it does under libFuzzer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool readAll(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The files a path names: itself, or a folder's regular files sorted by name so a failing run
// repeats in the same order.
bool inputsOf(const fs::path& path, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        if (!fs::is_regular_file(path, error)) {
            std::fprintf(stderr, "fuzz replay: %s is neither a file nor a folder\n", path.c_str());
            return false;
        }
        inputs.push_back(path);
        return true;
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            files.push_back(it->path());
        }
    }
    if (error) {
        std::fprintf(stderr, "fuzz replay: cannot list %s: %s\n", path.c_str(),
                     error.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!inputsOf(argv[i], inputs)) {
            return 1;
        }
    }
    if (inputs.empty()) {
        // An empty corpus would pass while testing nothing.
        std::fprintf(stderr, "fuzz replay: no input in the paths given\n");
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    for (const fs::path& input : inputs) {
        if (!readAll(input, bytes)) {
            std::fprintf(stderr, "fuzz replay: cannot read %s\n", input.c_str());
            return 1;
        }
        std::fprintf(stderr, "fuzz replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
        // A heap block of exactly the input's size, as libFuzzer gives, so that AddressSanitizer
        // reports a read past its end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    }
    std::fprintf(stderr, "fuzz replay: %zu inputs ran\n", inputs.size());
    return 0;
}

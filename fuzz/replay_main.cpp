// Replays a fuzz target's corpus without libFuzzer: every file under the directory given, in
// sorted order, goes once through LLVMFuzzerTestOneInput. Built into the host build's tests, so
// an input that once found a fault keeps being checked under that build's sanitizers.
// Fails when the directory cannot be read or holds no input, so a missing corpus never passes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool list_inputs(const fs::path& directory, std::vector<fs::path>& inputs) {
  std::error_code error;
  fs::recursive_directory_iterator entry(directory, error);
  for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->is_regular_file(error)) {
      inputs.push_back(entry->path());
    }
  }
  if (error) {
    std::cerr << "replay: " << directory.native() << ": " << error.message() << '\n';
    return false;
  }
  std::sort(inputs.begin(), inputs.end());
  return true;
}

// Runs one input from a buffer of exactly its size, as libFuzzer does, so that AddressSanitizer
// sees a read past its end.
bool replay(const fs::path& input) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(input, error);
  std::ifstream file(input, std::ios::binary);
  if (error || !file) {
    std::cerr << "replay: cannot open " << input.native() << '\n';
    return false;
  }
  const auto data = std::make_unique<std::uint8_t[]>(size);
  if (!file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
    std::cerr << "replay: cannot read " << input.native() << '\n';
    return false;
  }
  const int result = LLVMFuzzerTestOneInput(data.get(), size);
  // 0 takes the input, -1 rejects it; libFuzzer reserves every other value.
  if (result != 0 && result != -1) {
    std::cerr << "replay: " << input.native() << ": the target returned " << result << '\n';
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_DIRECTORY\n";
    return 2;
  }
  const fs::path directory = argv[1];
  std::vector<fs::path> inputs;
  if (!list_inputs(directory, inputs)) {
    return 1;
  }
  if (inputs.empty()) {
    std::cerr << "replay: no inputs in " << directory.native() << '\n';
    return 1;
  }
  for (const fs::path& input : inputs) {
    // A failed property aborts inside the target; name the input first.
    std::cerr << "replay: " << input.native() << '\n';
    if (!replay(input)) {
      return 1;
    }
  }
  std::cout << "replayed " << inputs.size() << " inputs from " << directory.native() << '\n';
  return 0;
}

// oscimo-gen: writes a generated recording, valid or damaged, for tests, benchmarks and demos.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RecordingGenerator.h"

namespace {

int Usage() {
    std::fputs(
        "Usage: oscimo-gen [--type T] [--samples N] [--version V] [--family F] [--variant V]\n"
        "                  [--signature S] [--label L] [--tail BYTES] [--seed N]\n"
        "                  [--gap-every N] [--back-every N] OUT\n"
        "  --gap-every N   every Nth step between stamps lasts ten steps\n"
        "  --back-every N  every Nth sample is stamped three steps early: its stamp goes back\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    RecordingSpec spec;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option.rfind("--", 0) != 0) {
            out = argv[i];
            continue;
        }
        if (i + 1 == argc) return Usage();
        const char* value = argv[++i];
        if (option == "--type")
            spec.sensorType = value;
        else if (option == "--samples")
            spec.samples = std::strtoull(value, nullptr, 10);
        else if (option == "--version")
            spec.version = value;
        else if (option == "--family")
            spec.family = value;
        else if (option == "--variant")
            spec.variant = value;
        else if (option == "--signature")
            spec.signature = value;
        else if (option == "--label")
            spec.label = value;
        else if (option == "--tail")
            spec.tailBytes = std::strtoull(value, nullptr, 10);
        else if (option == "--seed")
            spec.seed = std::strtoull(value, nullptr, 10);
        else if (option == "--gap-every")
            spec.gapEvery = std::strtoull(value, nullptr, 10);
        else if (option == "--back-every")
            spec.backEvery = std::strtoull(value, nullptr, 10);
        else
            return Usage();
    }
    if (!out) return Usage();
    std::FILE* file = std::fopen(out, "wb");
    if (!file) {
        std::perror(out);
        return 1;
    }
    bool ok = true;
    GenerateRecording(spec, [&](const char* data, std::size_t size) {
        ok = ok && std::fwrite(data, 1, size, file) == size;
    });
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::perror(out);
    return ok ? 0 : 1;
}

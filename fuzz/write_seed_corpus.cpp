// Writes one small valid file of every kind the image decoders read into
// the folder named on the command line, as a starting corpus for fuzzing.
#include <cstdio>
#include <string>

#include "images/image_fixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : allFixtureFiles()) {
        const std::string path = std::string(argv[1]) + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            if (file) std::fclose(file);
            return 1;
        }
        std::fclose(file);
    }
    return 0;
}

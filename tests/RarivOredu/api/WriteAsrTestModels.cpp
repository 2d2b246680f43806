// Writes a recognition model set that any process can load, and that hears the one word "hello"
// in every recording, into the folder given: for the programs the installed-library test builds.
#include <iostream>

#include "tests/support/asr/AsrFixtureModels.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_asr_test_models VERSION_FOLDER\n";
        return 2;
    }
    const testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript{});
    models.writeTorchScriptBundles(argv[1], 7, "\u2581hello");
    return 0;
}

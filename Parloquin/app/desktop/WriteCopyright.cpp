// Writes the package's copyright file (Debian's machine-readable format):
//   parloquin-write-copyright OUTPUT-FILE
// Parloquin's own licence, then the notices of the components the program rests on, the same
// list as the open-source sheet of the page "Sonstiges" shows.
#include <cstdio>
#include <fstream>
#include <string>

#include "Parloquin/views/License.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FILE\n", argv[0]);
        return 2;
    }
    std::string text =
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        "Upstream-Name: Parloquin\n"
        "Comment: Parloquin rests on these components, each installed by its own Debian package\n"
        " (or, for the speech model, downloaded on first use), under these licences:\n";
    for (const auto& component : parloquin::License::components()) {
        text += " " + std::string(component.name) + ": " + component.license;
        if (*component.url != '\0') text += " <" + std::string(component.url) + ">";
        text += "\n";
    }
    text +=
        "\n"
        "Files: *\n"
        "Copyright: 2026 The Parloquin developers\n"
        "License: GPL-3+\n"
        "\n"
        "License: GPL-3+\n"
        " This program is free software: you can redistribute it and/or modify it under the terms\n"
        " of the GNU General Public License as published by the Free Software Foundation, either\n"
        " version 3 of the License, or (at your option) any later version.\n"
        " .\n"
        " This program is distributed in the hope that it will be useful, but WITHOUT ANY\n"
        " WARRANTY; without even the implied warranty of MERCHANTABILITY or FITNESS FOR A\n"
        " PARTICULAR PURPOSE. See the GNU General Public License for more details.\n"
        " .\n"
        " On Debian systems, the complete text of the GNU General Public License version 3\n"
        " can be found in \"/usr/share/common-licenses/GPL-3\"; the file COPYING of the source\n"
        " tree holds it too.\n";
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}

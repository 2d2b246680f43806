// Turns a program's --help text into a manual page (roff, man macros), so that the page says what
// --help says:
//   parloquin-help-to-man HELP-FILE VERSION-FILE NAME SUMMARY OUTPUT-FILE
// HELP-FILE holds the --help text, VERSION-FILE the --version text (its first line heads the page).
// The help text is read as: usage lines ("Usage: …", continued by indented lines) → SYNOPSIS;
// plain paragraphs → DESCRIPTION; a short line "Heading:" after a blank line starts a section of
// that name; an indented line starting with "-" is an option, and an indented word followed by two
// or more spaces an entry of a table (each with its text after those spaces, continued by lines
// indented further); other indented lines are an example, kept line by line and indented.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const char* path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return text.str();
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Text in roff: backslashes escaped, a leading dot or quote made literal.
std::string roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";  // a minus, as typed: "--toggle" must copy as it reads
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

// An option's names in bold, their hyphens real minus signs, the values they take in italics.
std::string optionNames(const std::string& names) {
    std::string out = "\\fB";
    bool inValue = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char c = names[i];
        if (c == '<' || (c == '=' && !inValue)) {
            out += c == '=' ? "=\\fI" : "\\fI<";
            inValue = true;
            continue;
        }
        if (c == '>' && inValue) {
            out += ">\\fB";
            inValue = false;
            continue;
        }
        if (c == ',' || c == ' ') {
            if (inValue) out += "\\fB";
            inValue = false;
            out += c;
            continue;
        }
        if (c == '-') {
            out += "\\-";
        } else if (c == '\\') {
            out += "\\e";
        } else {
            out += c;
        }
    }
    return out + "\\fR";
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s HELP-FILE VERSION-FILE NAME SUMMARY OUTPUT-FILE\n", argv[0]);
        return 2;
    }
    bool helpRead = false;
    bool versionRead = false;
    const std::string help = readFile(argv[1], helpRead);
    const std::string version = readFile(argv[2], versionRead);
    if (!helpRead || !versionRead || trimmed(help).empty()) {
        std::fprintf(stderr, "%s: no help text to turn into a manual page\n", argv[1]);
        return 1;
    }
    const std::string name = argv[3];
    const std::string versionLine = trimmed(version.substr(0, version.find('\n')));

    std::vector<std::string> lines;
    {
        std::istringstream in(help);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
    }

    std::ostringstream page;
    page << ".TH " << upper(name) << " 1 \"\" \"" << roff(versionLine) << "\" \"User Commands\"\n";
    page << ".SH NAME\n" << roff(name) << " \\- " << roff(argv[4]) << "\n";

    static const std::regex usage(R"(^\s*(Usage|Aufruf):\s*(.*)$)", std::regex::icase);
    static const std::regex heading(R"(^([A-Z][A-Za-z ]{0,30}):\s*$)");
    static const std::regex option(R"(^(\s+)(-\S(?:[^ ]| (?! ))*)(?:\s{2,}(.*))?$)");
    // An indented entry of a table: a word, two or more spaces, its meaning ("  2  bad option").
    static const std::regex term(R"(^(\s+)(\S+)\s{2,}(\S.*)$)");
    enum class Block { none, synopsis, description, section };
    Block block = Block::none;
    bool paragraphOpen = false;
    std::size_t optionIndent = 0;
    bool inOption = false;
    std::smatch match;
    bool inExample = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string text = trimmed(line);
        const std::size_t indent = line.find_first_not_of(" \t");
        if (inExample && (text.empty() || indent == 0)) {
            page << ".fi\n.RE\n";
            inExample = false;
        }
        if (text.empty()) {
            paragraphOpen = false;
            inOption = false;
            if (block == Block::synopsis) block = Block::none;
            continue;
        }
        if (std::regex_match(line, match, usage)) {
            if (block != Block::synopsis) page << ".SH SYNOPSIS\n";
            page << (block == Block::synopsis ? ".br\n" : "") << "\\fB" << roff(name) << "\\fR";
            const std::string rest = match[2].str();
            const std::string program = rest.substr(0, rest.find(' '));
            if (rest.size() > program.size()) page << " " << roff(trimmed(rest.substr(program.size())));
            page << "\n";
            block = Block::synopsis;
            continue;
        }
        if (block == Block::synopsis) {
            if (std::isspace(static_cast<unsigned char>(line[0]))) {
                page << ".br\n";
                if (text == name || text.rfind(name + " ", 0) == 0)
                    page << "\\fB" << roff(name) << "\\fR" << roff(text.substr(name.size())) << "\n";
                else
                    page << roff(text) << "\n";
                continue;
            }
            block = Block::none;  // the description follows at once
        }
        const bool afterBlankLine = i == 0 || trimmed(lines[i - 1]).empty();
        if (afterBlankLine && std::regex_match(line, match, heading)) {
            page << ".SH " << roff(upper(match[1].str())) << "\n";
            block = Block::section;
            paragraphOpen = false;
            inOption = false;
            continue;
        }
        if (std::regex_match(line, match, option) || std::regex_match(line, match, term)) {
            optionIndent = match[1].length();
            page << ".TP\n" << optionNames(match[2].str()) << "\n";
            if (match[3].matched) page << roff(trimmed(match[3].str())) << "\n";
            inOption = true;
            continue;
        }
        if (inOption && indent > optionIndent) {
            page << roff(text) << "\n";
            continue;
        }
        inOption = false;
        if (block == Block::none) {
            page << ".SH DESCRIPTION\n";
            block = Block::description;
            paragraphOpen = true;
        } else if (!paragraphOpen) {
            page << ".PP\n";
            paragraphOpen = true;
        }
        if (indent > 0 && !inExample) {
            page << ".RS 4\n.nf\n";
            inExample = true;
        }
        page << roff(text) << "\n";
    }
    if (inExample) page << ".fi\n.RE\n";

    std::ofstream out(argv[5], std::ios::binary | std::ios::trunc);
    out << page.str();
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: could not be written\n", argv[5]);
        return 1;
    }
    return 0;
}

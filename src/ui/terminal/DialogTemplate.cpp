// Reading DIALOGEX templates out of a resource script.
#include "ui/terminal/DialogTemplate.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace dornel {

namespace {

/// The resource script the Windows build compiles, embedded at build time.
constexpr const char* kResourceScript =
#include "ui/terminal/DialogResources.inc"
    ;

/// Reads the fields of one line: quoted strings (with "" for a quote) and bare words,
/// separated by commas and blanks.
std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        std::string field;
        if (c == '"') {
            for (++i; i < line.size(); ++i) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i];
            }
        } else {
            while (i < line.size() && line[i] != ',' &&
                   !std::isspace(static_cast<unsigned char>(line[i])))
                field += line[i++];
        }
        fields.push_back(field);
    }
    return fields;
}

long Number(const std::string& text, std::string_view line) {
    char* end = nullptr;
    // Hexadecimal with 0x, else decimal: a leading zero is no octal mark in a resource script.
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (text.empty() || *end != '\0')
        throw std::runtime_error("dialog template line does not parse: " + std::string(line));
    return value;
}

}  // namespace

std::vector<DialogTemplate> ParseDialogTemplates(std::string_view script) {
    std::vector<DialogTemplate> templates;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string_view::npos)
            end = script.size();
        const std::string_view line = script.substr(start, end - start);
        start = end + 1;
        const std::vector<std::string> f = Fields(line);
        if (f.size() >= 6 && f[1] == "DIALOGEX") {
            DialogTemplate t;
            t.id = static_cast<int>(Number(f[0], line));
            t.width = static_cast<int>(Number(f[4], line));
            t.height = static_cast<int>(Number(f[5], line));
            templates.push_back(t);
        } else if (templates.empty()) {
            continue;
        } else if (f.size() >= 2 && f[0] == "CAPTION") {
            templates.back().caption = f[1];
        } else if (!f.empty() && f[0] == "CONTROL") {
            if (f.size() != 9)
                throw std::runtime_error("dialog template line does not parse: " +
                                         std::string(line));
            DialogItem item;
            item.text = f[1];
            item.id = static_cast<int>(Number(f[2], line));
            item.className = f[3];
            item.style = static_cast<uint32_t>(Number(f[4], line));
            item.x = static_cast<int>(Number(f[5], line));
            item.y = static_cast<int>(Number(f[6], line));
            item.width = static_cast<int>(Number(f[7], line));
            item.height = static_cast<int>(Number(f[8], line));
            templates.back().items.push_back(item);
        }
    }
    return templates;
}

const DialogTemplate& BuiltInDialogTemplate(int id) {
    static const std::vector<DialogTemplate> templates = ParseDialogTemplates(kResourceScript);
    for (const DialogTemplate& t : templates)
        if (t.id == id)
            return t;
    throw std::runtime_error("no dialog template " + std::to_string(id));
}

}  // namespace dornel

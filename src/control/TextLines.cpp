#include "control/TextLines.h"

#include <charconv>
#include <cstdio>

#include "base/Platform.h"

namespace kavelo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view line, std::string_view separators) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t begin = line.find_first_not_of(separators, i);
        if (begin == std::string_view::npos) break;
        std::size_t end = line.find_first_of(separators, begin);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(begin, end - begin));
        i = end;
    }
    return words;
}

std::optional<double> ReadDecimal(std::string_view text, std::string_view* rest) {
    std::string spelled;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') spelled += '-';
        ++i;
    }
    bool digits = false, separator = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            digits = true;
            spelled += c;
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            spelled += '.';
        } else {
            break;
        }
    }
    // "1,000.5" or "1.000,5": a thousands separator, which these files never
    // hold; refusing beats guessing.
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) return std::nullopt;
    if (!digits) return std::nullopt;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (text[j] == '+' || text[j] == '-') exponent += text[j++];
        const std::size_t first = j;
        while (j < text.size() && IsDigit(text[j])) exponent += text[j++];
        if (j > first) {
            spelled += exponent;
            i = j;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(spelled.data(), spelled.data() + spelled.size(), value);
    if (ec != std::errc() || end != spelled.data() + spelled.size()) return std::nullopt;
    if (rest) *rest = text.substr(i);
    return value;
}

bool ReadFileCapped(const std::string& path, std::size_t maxBytes, std::string& out) {
    std::FILE* f = OpenFile(path, "rb");
    if (f == nullptr) return false;
    out.clear();
    char buf[65536];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n > 0) {
            if (out.size() + n > maxBytes) {
                ok = false;
                break;
            }
            out.append(buf, n);
        }
        if (n < sizeof buf) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

}  // namespace kavelo

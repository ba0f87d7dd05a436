// Tables of cases kept as fixture files: one case a line, fields split at "|".
#ifndef TAV_TESTS_FIXTURE_ROWS_H
#define TAV_TESTS_FIXTURE_ROWS_H

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace tavtest {

// The text split at every separator; an empty text has no parts.
inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; end != std::string::npos && !text.empty(); start = end + 1) {
        end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
    }
    return parts;
}

// The rows of tests/fixtures/<name>, without "#" lines and blank lines. In a field "\n" stands
// for a line end and "\xHH" for a byte ("|", bytes above 127); other backslashes are themselves.
inline std::vector<std::vector<std::string>> Rows(const std::string& name) {
    std::ifstream in(std::string(TAV_TEST_DATA) + "/fixtures/" + name, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        rows.push_back(Split(line, '|'));
        for (std::string& field : rows.back()) {
            field = std::regex_replace(field, std::regex("\\\\n"), "\n");
            for (size_t at = 0; (at = field.find("\\x", at)) != std::string::npos; ++at)
                if (at + 3 < field.size() && std::isxdigit(field[at + 2] & 0xFF) && std::isxdigit(field[at + 3] & 0xFF))
                    field.replace(at, 4, 1, static_cast<char>(std::stoi(field.substr(at + 2, 2), nullptr, 16)));
        }
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

// "~" in a field stands for a null pointer.
inline const char* OrNull(const std::string& field) { return field == "~" ? nullptr : field.c_str(); }

// Records as the tables spell them: the six time digits of a header as "(hhmmss)", the
// line in the runtime's and the password encoding's own source as "(n)".
inline std::string Normalized(const std::string& records) {
    return std::regex_replace(std::regex_replace(records, std::regex("\\(\\d{6}\\) "), "(hhmmss) "),
                              std::regex("(TAVUTIL|TAVENCRY)\\(\\d+\\)"), "$1(n)");
}

}  // namespace tavtest

#endif

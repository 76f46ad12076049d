#pragma once

#include <optional>
#include <string>
#include <vector>

// The text of a mimeapps.list (or any desktop-style key file), edited line by line: lines that
// are not touched stay byte for byte as they were, comments and other programs' entries included.
class CMimeAppsList {
public:
    explicit CMimeAppsList(const std::string& text = {});

    bool HasSection(const std::string& section) const;
    // The whole line "key=value" of the key in the section, as it is written.
    std::optional<std::string> Line(const std::string& section, const std::string& key) const;
    // The value of the key split at ";" (empty entries left out).
    std::vector<std::string> Entries(const std::string& section, const std::string& key) const;
    // Replaces the key's line, or adds it at the end of the section (the section is added at the
    // end of the file when it is missing).
    void SetLine(const std::string& section, const std::string& key, const std::string& line);
    void RemoveKey(const std::string& section, const std::string& key);
    // Adds the section at the end of the file; true when a blank line was put before it.
    bool AddSection(const std::string& section);
    // Removes the section's header when nothing but blank lines is left in it, and the blank
    // line before it when AddSection put one there.
    void RemoveSectionIfEmpty(const std::string& section, bool blankBefore);
    bool EndsWithNewline() const { return m_finalNewline; }
    void SetEndsWithNewline(bool newline) { m_finalNewline = newline; }
    bool IsBlank() const;

    std::string Text() const;

    static std::string JoinEntries(const std::string& key, const std::vector<std::string>& entries);

private:
    // [first, end) of the section's lines after its header; npos when it is missing.
    size_t SectionHeader(const std::string& section) const;
    size_t SectionEnd(size_t header) const;
    size_t KeyLine(const std::string& section, const std::string& key) const;

    std::vector<std::string> m_lines;
    bool m_finalNewline = true;
};

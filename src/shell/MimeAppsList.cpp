#include "shell/MimeAppsList.h"

namespace {

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool IsHeader(const std::string& line) {
    const std::string t = Trim(line);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

std::string KeyOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#')
        return {};
    const size_t eq = t.find('=');
    return eq == std::string::npos ? std::string() : Trim(t.substr(0, eq));
}

} // namespace

CMimeAppsList::CMimeAppsList(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            m_lines.push_back(text.substr(pos));
            m_finalNewline = false;
            break;
        }
        m_lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
}

size_t CMimeAppsList::SectionHeader(const std::string& section) const {
    const std::string wanted = "[" + section + "]";
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (Trim(m_lines[i]) == wanted)
            return i;
    }
    return std::string::npos;
}

size_t CMimeAppsList::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < m_lines.size() && !IsHeader(m_lines[i]))
        ++i;
    return i;
}

size_t CMimeAppsList::KeyLine(const std::string& section, const std::string& key) const {
    const size_t header = SectionHeader(section);
    if (header == std::string::npos)
        return std::string::npos;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (KeyOf(m_lines[i]) == key)
            return i;
    }
    return std::string::npos;
}

bool CMimeAppsList::HasSection(const std::string& section) const {
    return SectionHeader(section) != std::string::npos;
}

std::optional<std::string> CMimeAppsList::Line(const std::string& section,
                                               const std::string& key) const {
    const size_t at = KeyLine(section, key);
    if (at == std::string::npos)
        return std::nullopt;
    return m_lines[at];
}

std::vector<std::string> CMimeAppsList::Entries(const std::string& section,
                                                const std::string& key) const {
    std::vector<std::string> entries;
    const std::optional<std::string> line = Line(section, key);
    if (!line)
        return entries;
    const std::string value = line->substr(line->find('=') + 1);
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(';', pos);
        if (end == std::string::npos)
            end = value.size();
        std::string entry = Trim(value.substr(pos, end - pos));
        if (!entry.empty())
            entries.push_back(entry);
        pos = end + 1;
    }
    return entries;
}

std::string CMimeAppsList::JoinEntries(const std::string& key,
                                       const std::vector<std::string>& entries) {
    std::string line = key + "=";
    for (const std::string& entry : entries)
        line += entry + ";";
    return line;
}

void CMimeAppsList::SetLine(const std::string& section, const std::string& key,
                            const std::string& line) {
    if (const size_t at = KeyLine(section, key); at != std::string::npos) {
        m_lines[at] = line;
        return;
    }
    size_t header = SectionHeader(section);
    if (header == std::string::npos) {
        AddSection(section);
        m_lines.push_back(line);
        return;
    }
    // After the section's last non-blank line, so that a blank line before the next section stays.
    size_t end = SectionEnd(header);
    while (end > header + 1 && Trim(m_lines[end - 1]).empty())
        --end;
    m_lines.insert(m_lines.begin() + static_cast<long>(end), line);
    if (end + 1 == m_lines.size())
        m_finalNewline = true;
}

bool CMimeAppsList::AddSection(const std::string& section) {
    // A new section after a blank line, unless the file is empty or ends with one.
    const bool blank = !m_lines.empty() && !Trim(m_lines.back()).empty();
    if (blank)
        m_lines.emplace_back();
    m_lines.push_back("[" + section + "]");
    m_finalNewline = true;
    return blank;
}

void CMimeAppsList::RemoveKey(const std::string& section, const std::string& key) {
    if (const size_t at = KeyLine(section, key); at != std::string::npos)
        m_lines.erase(m_lines.begin() + static_cast<long>(at));
}

void CMimeAppsList::RemoveSectionIfEmpty(const std::string& section, bool blankBefore) {
    const size_t header = SectionHeader(section);
    if (header == std::string::npos)
        return;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (!Trim(m_lines[i]).empty())
            return;
    }
    size_t begin = header;
    if (blankBefore && begin > 0 && Trim(m_lines[begin - 1]).empty())
        --begin;
    m_lines.erase(m_lines.begin() + static_cast<long>(begin),
                  m_lines.begin() + static_cast<long>(end));
}

bool CMimeAppsList::IsBlank() const {
    for (const std::string& line : m_lines) {
        if (!Trim(line).empty())
            return false;
    }
    return true;
}

std::string CMimeAppsList::Text() const {
    std::string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalNewline)
            text += '\n';
    }
    return text;
}

#include "workspace/SpellChecker.h"

#include <hunspell.hxx>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Part of a run that is no plain word: digits, the signs of addresses, the letters of Latin
// with accents, Greek and Cyrillic (two-byte UTF-8, lead and continuation bytes). Chinese
// characters and the punctuation (three bytes and more) separate words as spaces do.
bool IsWordBreaker(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (c >= '0' && c <= '9') || c == '_' || c == '@' || c == '/' || c == '\\' ||
           (byte >= 0x80 && byte < 0xE0);
}

// The bytes of the character at pos.
size_t CharLength(std::string_view text, size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return std::min(length, text.size() - pos);
}

// The typographic apostrophe (U+2019) as UTF-8.
constexpr std::string_view kApostrophe = "\xE2\x80\x99";

} // namespace

CSpellChecker::CSpellChecker() = default;
CSpellChecker::~CSpellChecker() = default;

bool CSpellChecker::Load(const std::string& folder, const std::string& language,
                         std::string& reason) {
    const std::string aff = folder + "/" + language + ".aff";
    const std::string dic = folder + "/" + language + ".dic";
    std::error_code error;
    if (!std::filesystem::is_regular_file(aff, error) ||
        !std::filesystem::is_regular_file(dic, error)) {
        reason = "找不到拼写词典 " + dic + " (Debian 软件包 hunspell-en-us)";
        return false;
    }
    auto hunspell = std::make_unique<Hunspell>(aff.c_str(), dic.c_str());
    std::lock_guard guard(m_lock);
    m_hunspell = std::move(hunspell);
    m_loaded = true;
    return true;
}

bool CSpellChecker::LoadDefault(std::string& reason) {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("DICPATH")) {
        std::string list = path;
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(':', start), list.size());
            if (end > start)
                folders.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    folders.push_back("/usr/share/hunspell");
    folders.push_back("/usr/share/myspell/dicts");
    for (const std::string& folder : folders) {
        std::string ignored;
        if (Load(folder, kDefaultLanguage, ignored))
            return true;
    }
    return Load(folders.front(), kDefaultLanguage, reason);
}

bool CSpellChecker::IsCorrect(std::string_view word) const {
    std::lock_guard guard(m_lock);
    if (!m_hunspell || m_ignored.count(word))
        return true;
    return m_hunspell->spell(std::string(word));
}

std::vector<std::string> CSpellChecker::Suggest(std::string_view word) const {
    std::lock_guard guard(m_lock);
    if (!m_hunspell)
        return {};
    return m_hunspell->suggest(std::string(word));
}

void CSpellChecker::Ignore(std::string_view word) {
    std::lock_guard guard(m_lock);
    m_ignored.emplace(word);
}

std::vector<SpellingMistake> CSpellChecker::Check(std::string_view text) const {
    std::vector<SpellingMistake> mistakes;
    size_t pos = 0;
    while (pos < text.size()) {
        if (!IsLetter(text[pos]) && !IsWordBreaker(text[pos])) {
            pos += CharLength(text, pos);
            continue;
        }
        // A run of letters, digits and the signs inside words; only a run of Latin letters
        // (with apostrophes between them) is a word to check: "e-mail", "example.com" and
        // "R2D2" are left alone.
        size_t end = pos;
        bool plain = true;
        while (end < text.size()) {
            const char c = text[end];
            if (IsLetter(c)) {
                ++end;
                continue;
            }
            if (IsWordBreaker(c)) {
                plain = false;
                end += CharLength(text, end);
                continue;
            }
            const size_t joiner = c == '\'' ? 1 : text.substr(end).starts_with(kApostrophe) ? 3 : 0;
            if (joiner && end + joiner < text.size() && IsLetter(text[end + joiner])) {
                end += joiner;
                continue;
            }
            const bool inner = c == '.' || c == '-' || c == ':';
            if (inner && end + 1 < text.size() &&
                (IsLetter(text[end + 1]) || IsWordBreaker(text[end + 1]))) {
                plain = false;
                end += 2;
                continue;
            }
            break;
        }
        if (plain) {
            std::string word(text.substr(pos, end - pos));
            for (size_t at; (at = word.find(kApostrophe)) != std::string::npos;)
                word.replace(at, kApostrophe.size(), "'");
            if (!IsCorrect(word))
                mistakes.push_back({.offset = pos, .length = end - pos});
        }
        pos = end;
    }
    return mistakes;
}

#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class Hunspell;

// A word of a text that the dictionary does not know: where it lies, in bytes of the UTF-8 text.
struct SpellingMistake {
    size_t offset = 0;
    size_t length = 0;

    bool operator==(const SpellingMistake&) const = default;
};

// English spelling by hunspell. Only words of Latin letters are checked: Chinese text, numbers,
// addresses and words with digits are never flagged. Load the dictionary on a worker (it
// takes a moment); after that the checks may come from any thread.
class CSpellChecker {
public:
    CSpellChecker();
    ~CSpellChecker();
    CSpellChecker(const CSpellChecker&) = delete;
    CSpellChecker& operator=(const CSpellChecker&) = delete;

    // Reads <folder>/<language>.aff and .dic; false with the reason when they are missing.
    bool Load(const std::string& folder, const std::string& language, std::string& reason);
    // The dictionary of hunspell-en-us, or the first folder of $DICPATH that has it.
    bool LoadDefault(std::string& reason);
    bool IsLoaded() const { return m_loaded; }

    bool IsCorrect(std::string_view word) const;
    std::vector<std::string> Suggest(std::string_view word) const;
    // The words of text the dictionary does not know (or that were never ignored).
    std::vector<SpellingMistake> Check(std::string_view text) const;
    // Takes the word as correct from now on, in this run.
    void Ignore(std::string_view word);

    static constexpr const char* kDefaultLanguage = "en_US";

private:
    std::unique_ptr<Hunspell> m_hunspell;
    std::atomic<bool> m_loaded = false; // read without the lock by the interface thread
    std::set<std::string, std::less<>> m_ignored;
    mutable std::mutex m_lock; // hunspell's own state is not for two threads at once
};

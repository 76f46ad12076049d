#pragma once

#include <string>

class CAppContext;
class CArticleDatabase;

// What the account windows and quillmark-cli do with a whole account.
class CAccountOperations {
public:
    // Removes the account with its articles. The articles go first and the entry in
    // config/userConfig.xml only when they are gone, so that a store that cannot be changed
    // (unreadable, locked, damaged) leaves the account whole: entry and articles. Reports the
    // failure ("删除账户失败!" with the reason) and returns false.
    static bool RemoveAccount(const CAppContext& context, const std::string& name,
                              CArticleDatabase& store);

    static constexpr const char* kRemoveFailedText = "删除账户失败!";
};

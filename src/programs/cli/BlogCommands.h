#pragma once

#include "cli/CliArguments.h"

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

class CArticleDatabase;
struct ArticleRecord;

// The weblog commands of quillmark-cli: accounts, fetching and publishing articles, categories
// and media. Results go to the output stream; failures are reported on stderr (through the
// reporter) and give exit code 1.
class CBlogCommands {
public:
    CBlogCommands(std::ostream& out, std::ostream& err, bool json);

    // True for the command words handled here.
    static bool Handles(const std::string& command);
    // The command word and the arguments after it; returns the exit code.
    int Run(const std::string& command, const std::vector<std::string>& args);

    static const char* UsageText();

private:
    // Positional arguments and "--name value" options.
    using Arguments = CCliArguments;
    bool Parse(const std::vector<std::string>& args, const std::vector<std::string>& known,
               Arguments& parsed);

    int AccountAdd(const Arguments& a);
    int AccountList();
    int AccountRemove(const std::string& name);
    int AccountTest(const std::string& name);
    int PostsFetch(const Arguments& a);
    int Articles(const Arguments& a);
    int ArticleNew(const Arguments& a);
    int ArticlePublish(const std::string& idText);
    int ArticleDeleteRemote(const std::string& idText);
    int Categories(const std::string& account);
    int MediaUpload(const std::string& account, const std::string& file);

    int Usage();
    bool OpenStore(CArticleDatabase& store);
    // The article with its account and folder; reports when there is none.
    bool LoadArticle(CArticleDatabase& store, const std::string& idText, ArticleRecord& article,
                     std::string& account, int& folder);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json;
};

#pragma once

#include "cli/CliArguments.h"
#include "workspace/ArticleOperations.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// The weblog commands of quillmark-cli: accounts, fetching and publishing articles, categories
// and media. Results go to the output stream; failures are reported on stderr (through the
// reporter) and give exit code 1.
class CBlogCommands {
public:
    // Works on the context's program directory and accounts.
    CBlogCommands(const CAppContext& context, std::ostream& out, std::ostream& err, bool json);

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
    int AccountDiscover(const std::string& address);
    int PostsFetch(const Arguments& a);
    int Articles(const Arguments& a);
    int ArticleNew(const Arguments& a);
    int ArticlePublish(const std::string& idText);
    int ArticlePublishTo(const std::string& idText, const std::string& to);
    int ArticleTransfer(const std::string& how, const Arguments& a);
    int ArticleRemove(const std::string& idText);
    int ArticleDeleteRemote(const std::string& idText);
    int ArticleEdit(const std::string& idText);
    int Categories(const std::string& account);
    int MediaUpload(const std::string& account, const std::string& file);

    int Usage();
    bool FindArticle(const std::string& idText, int& id, ArticlePlace& place);

    // Starts one weblog operation, waits for it and gives its result (a refused start comes
    // back as a failure with the refusal as its reason).
    class CCollector;
    OperationResult RunOperation(const std::function<OperationStart(CArticleOperations&)>& start);

    CAppContext m_context;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json;
};

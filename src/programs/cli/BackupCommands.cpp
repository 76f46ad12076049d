#include "cli/BackupCommands.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/Reporter.h"
#include "cli/CliArguments.h"
#include "export/ArticleBackup.h"
#include "export/EbookMaker.h"
#include "reader/ChannelTree.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedDatabase.h"

#include <climits>
#include <ostream>

namespace {

const char* kBackupUsage =
    "用法: backup export 账户 --folder 1|2|3|4 文件 | backup import 账户 文件";
const char* kEbookUsage =
    "用法: ebook (--account 账户 --folder 1|2|3|4 | --channel 路径 | "
    "--favorites 收藏夹编号) --title 标题 [--pictures] [--by-category] 输出.chm";

bool ParseFolder(const std::string& text, int& folder) {
    return CCliArguments::ParseNumber(text, kFolderReceived, kFolderTrash, folder);
}

bool AccountExists(const CAppContext& context, const std::string& name) {
    AccountRecord account;
    return context.Accounts().GetAccount(name, account) != 0;
}

// Prints the lines of the downloads and of the build as they come.
class CPrintingProgress : public CEbookObserver {
public:
    explicit CPrintingProgress(std::ostream& out) : m_out(out) {}

    void OnLogLine(const std::string& line) override { m_out << line << "\n" << std::flush; }
    void OnDownloadProgress(int done, int total) override {
        OnLogLine("图片 " + std::to_string(done) + "/" + std::to_string(total));
    }
    void OnStage(EbookStage) override {}

private:
    std::ostream& m_out;
};

} // namespace

CBackupCommands::CBackupCommands(const CAppContext& context, std::ostream& out, std::ostream& err)
    : m_context(context), m_out(out), m_err(err) {}

bool CBackupCommands::Handles(const std::string& command) {
    return command == "backup" || command == "ebook";
}

const char* CBackupCommands::UsageText() {
    return R"(备份与电子书:
  backup export 账户 --folder 1|2|3|4 文件   把文件夹中的日志导出为 RSS 备份文件
  backup import 账户 文件                     把备份文件 (或博客程序的 RSS/Atom) 导入草稿箱
  ebook (--account 账户 --folder N | --channel 路径 | --favorites 收藏夹编号)
        --title 标题 [--pictures] [--by-category] 输出.chm
                                              生成 CHM 电子书 (--channel 指定目录时包括其下
                                              全部频道, --pictures 下载文章中的图片,
                                              --by-category 根据日志分类建立目录)
)";
}

int CBackupCommands::Error(const std::string& text) {
    GetReporter().ReportMessage(text);
    return 1;
}

int CBackupCommands::Run(const std::string& command, const std::vector<std::string>& args) {
    if (command == "ebook")
        return Ebook(args);
    if (!args.empty() && args[0] == "export")
        return Export({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "import")
        return Import({args.begin() + 1, args.end()});
    return Error(kBackupUsage);
}

int CBackupCommands::Export(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"folder"}))
        return Error(args.Error());
    int folder = 0;
    if (args.positional.size() != 2 || !ParseFolder(args.Get("folder"), folder))
        return Error(kBackupUsage);
    const std::string& account = args.positional[0];
    if (!AccountExists(m_context, account))
        return 1;
    CArticleDatabase store(m_context);
    if (const StoreResult opened = store.OpenStore(); !opened)
        return Error(opened.reason);
    int count = 0;
    if (!CArticleBackup::ExportFolder(store, account, folder, args.positional[1], count))
        return 1;
    m_out << CArticleBackup::ExportedText(count) << "\n";
    return 0;
}

int CBackupCommands::Import(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {}))
        return Error(args.Error());
    if (args.positional.size() != 2)
        return Error(kBackupUsage);
    const std::string& account = args.positional[0];
    if (!AccountExists(m_context, account))
        return 1;
    CArticleDatabase store(m_context);
    if (const StoreResult opened = store.OpenStore(); !opened)
        return Error(opened.reason);
    int count = 0;
    if (!CArticleBackup::ImportToDrafts(store, account, args.positional[1], count))
        return 1;
    m_out << CArticleBackup::ImportedText(count) << "\n";
    return 0;
}

int CBackupCommands::Ebook(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"account", "folder", "channel", "favorites", "title"},
                    {"pictures", "by-category"}))
        return Error(args.Error());
    const int sources =
        int(args.Has("account")) + int(args.Has("channel")) + int(args.Has("favorites"));
    if (args.positional.size() != 1 || sources != 1)
        return Error(kEbookUsage);
    const std::string title = args.Get("title");
    if (title.empty())
        return Error("请输入标题!");

    EbookSourceResult chosen;
    if (args.Has("account")) {
        int folder = 0;
        if (!ParseFolder(args.Get("folder"), folder))
            return Error(kEbookUsage);
        if (!AccountExists(m_context, args.Get("account")))
            return 1;
        CArticleDatabase store(m_context);
        if (const StoreResult opened = store.OpenStore(); !opened)
            return Error(opened.reason);
        chosen = CEbookMaker::FromFolder(store, args.Get("account"), folder);
    } else {
        CFeedDatabase store(m_context);
        if (const StoreResult opened = store.OpenStore(); !opened)
            return Error(opened.reason);
        if (args.Has("channel")) {
            CChannelTree tree(m_context);
            if (!tree.Build())
                return 1;
            // A directory binds every channel below it, as in the window.
            const int index = tree.FindByPath(args.Get("channel"));
            if (index < 0)
                return Error("找不到频道: " + args.Get("channel"));
            chosen = CEbookMaker::FromChannel(tree, store, index, ItemFilter::kAll);
        } else {
            const std::string boxText = args.Get("favorites");
            int box = 0;
            if (!CCliArguments::ParseNumber(boxText, 0, INT_MAX, box))
                return Error("收藏夹编号无效: " + boxText);
            chosen = CEbookMaker::FromFavoriteBox(store, box);
        }
    }
    if (!chosen.ok) {
        chosen.reason.erase(chosen.reason.find_last_not_of("\r\n") + 1);
        return Error(chosen.reason);
    }
    if (const int count = CEbookMaker::ItemsOverLimit(chosen.source)) {
        // The window asks; here the answer is the window's Yes: the first ones are kept.
        m_out << CEbookMaker::KeptFirstText(count) << "\n";
        CEbookMaker::KeepLimit(chosen.source);
    }
    CPrintingProgress progress(m_out);
    const EbookResult result = CEbookMaker::Make(
        m_context, std::move(chosen.source),
        {.build = {.outputPath = args.positional[0],
                   .title = title,
                   .contents =
                       args.Has("by-category") ? EbookContents::kByCategory : EbookContents::kFlat},
         .pictures = args.Has("pictures") ? EbookPictures::kDownload : EbookPictures::kLeaveOnline},
        progress);
    if (!result.made) {
        m_err << "编译失败! " << result.reason << "\n";
        return 1;
    }
    m_out << "制作完成! " << result.articleCount << " 篇文章\n";
    return 0;
}

#include "app/AppContext.h"
#include "export/EbookMaker.h"
#include "platform/fs/FileUtil.h"
#include "platform/process/ProgramRunner.h"
#include "platform/text/TextCodec.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "support/TextSupport.h"

#include "platform/LoopbackServer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using Pictures = std::vector<EbookPicture>;

TEST(EbookPictures, TagsAreFoundWhateverTheirCaseAndQuotes) {
    Pictures pictures;
    std::string content =
        "<P>看图<IMG SRC='http://a.cn/p/one.png' ALT=x>和"
        "<img alt=y src=\"http://a.cn/show?id=7\"/>还有<img src=http://a.cn/p/one.png>"
        "<img alt=none>尾</P>";
    CEbookBuilder::RewritePictures(content, pictures);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].source, "http://a.cn/p/one.png");
    EXPECT_EQ(pictures[0].localName, "images/0.png");
    // No dot after the last "/": ".jpg".
    EXPECT_EQ(pictures[1].source, "http://a.cn/show?id=7");
    EXPECT_EQ(pictures[1].localName, "images/1.jpg");
    EXPECT_EQ(content,
              "<P>看图<IMG SRC='images/0.png' ALT=x>和<img alt=y src=\"images/1.jpg\"/>还有"
              "<img src=images/0.png><img alt=none>尾</P>");

    // A later article keeps the numbers of pictures already listed.
    std::string second = "<img src=\"http://a.cn/show?id=7\"><img src=\"/local/two.gif\">";
    CEbookBuilder::RewritePictures(second, pictures);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(second, "<img src=\"images/1.jpg\"><img src=\"images/2.gif\">");
    EXPECT_EQ(CEbookBuilder::PictureFilePath(CAppContext("/home/q"), pictures[2]),
              "/home/q/Temp/CHMTemp/images/2.gif");
}

TEST(EbookContents, GroupedFlatAndTitles) {
    const std::vector<EbookArticle> articles{{.title = "一 <b>粗</b> \"引\"", .category = "A"},
                                             {.title = "二", .category = "C"},
                                             {.title = "三", .category = "B"}};
    const std::string grouped =
        CEbookBuilder::BuildContents(articles, {"A", "B"}, EbookContents::kByCategory);
    EXPECT_TRUE(
        grouped.starts_with("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n<HTML>\r\n"));
    EXPECT_NE(grouped.find(" <LI> <OBJECT type=\"text/sitemap\">\r\n <param name=\"Name\" "
                           "value=\"A\">\r\n <param name=\"ImageNumber\" value=\"1\">\r\n "
                           "</OBJECT>\r\n  <UL>\r\n    <LI> <OBJECT type=\"text/sitemap\">\r\n"),
              std::string::npos);
    EXPECT_NE(grouped.find("    <param name=\"Name\" value=\"一  b 粗 /b  '引'\">\r\n"
                           "    <param name=\"Local\" value=\"0.html\">\r\n    </OBJECT>\r\n"
                           "  </UL>\r\n"),
              std::string::npos);
    EXPECT_NE(grouped.find("value=\"2.html\""), std::string::npos);
    // "C" is in no group: its article is not listed.
    EXPECT_EQ(grouped.find("1.html"), std::string::npos);
    EXPECT_TRUE(grouped.ends_with("</UL>\r\n</BODY></HTML>\r\n"));

    // Flat, and grouped without categories, list every article in order.
    for (const std::string& flat :
         {CEbookBuilder::BuildContents(articles, {"A", "B"}, EbookContents::kFlat),
          CEbookBuilder::BuildContents(articles, {}, EbookContents::kByCategory)}) {
        EXPECT_LT(flat.find("0.html"), flat.find("1.html"));
        EXPECT_LT(flat.find("1.html"), flat.find("2.html"));
        EXPECT_EQ(flat.find("ImageNumber"), std::string::npos);
    }
}

TEST(EbookProject, TheProjectFileLines) {
    const std::string text =
        CEbookBuilder::BuildProject({.outputPath = "/tmp/书.chm", .title = "我的日志"}, 2);
    EXPECT_EQ(text, "[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=/tmp/书.chm\r\n"
                    "Contents file=MyLogCHM.hhc\r\nDefault Window=default\r\n"
                    "Default topic=index.html\r\nDisplay compile progress=No\r\n"
                    "Full-text search=Yes\r\nLanguage=0x804 中文(中国)\r\nTitle=我的日志\r\n"
                    "[WINDOWS]\r\ndefault=\"我的日志\",\"MyLogCHM.hhc\",,\"index.html\","
                    "\"index.html\",,,,,0x60420,,0x300c,[0,0,850,600],,,,,,,0\r\n[FILES]\r\n"
                    "0.html\r\n1.html\r\n[INFOTYPES]\r\n");
}

// Records what making a book reports, from whichever thread.
class CRecordingDownloads : public CEbookObserver {
public:
    void OnLogLine(const std::string& line) override {
        std::lock_guard lock(m_lock);
        lines.push_back(line);
    }
    void OnDownloadProgress(int done, int total) override {
        std::lock_guard lock(m_lock);
        progress.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    void OnStage(EbookStage stage) override {
        std::lock_guard lock(m_lock);
        stages.push_back(stage);
    }
    size_t LineCount() {
        std::lock_guard lock(m_lock);
        return lines.size();
    }

    std::vector<std::string> lines;
    std::vector<std::string> progress;
    std::vector<EbookStage> stages;

private:
    std::mutex m_lock;
};

class CBookLog : public CEbookLog {
public:
    void OnLogLine(const std::string& line) override { lines.push_back(line); }
    std::string All() const {
        std::string text;
        for (const auto& l : lines)
            text += l + "\n";
        return text;
    }
    std::vector<std::string> lines;
};

class EbookBuildTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.Server().Get("/pics/red.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("\x89PNG red picture", 16), "image/png");
        });
        m_server.Server().Get("/pics/photo", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("JPEG photo bytes", "image/jpeg");
        });
        m_server.Start();
        ASSERT_FALSE(CProgramRunner::FindInPath("chmcmd").empty()) << "chmcmd (fp-utils) missing";
        ASSERT_FALSE(CProgramRunner::FindInPath("extract_chmLib").empty())
            << "extract_chmLib (libchm-bin) missing";
    }

    // The files of the book, unpacked with libchm's extract_chmLib.
    std::string Unpack(const std::string& chm) {
        const std::string folder = m_home.File("unpacked");
        const ProgramResult result = CProgramRunner::Run("extract_chmLib", {chm, folder});
        EXPECT_TRUE(result.Succeeded()) << result.output;
        return folder;
    }

    CTempHome m_home;
    loopback::CHttpServer m_server;
};

TEST_F(EbookBuildTest, AWeblogFolderWithPicturesBecomesABookThatReadsBack) {
    std::vector<EbookArticle> articles{
        {.title = "春节见闻 <b>一</b>",
         .date = "2026-02-17 08:30:00",
         .author = "我的博客",
         .category = "生活",
         .content = "<p>鞭炮声声，𠮷野家。</p><IMG SRC='" + m_server.Url("/pics/red.png") + "'>"},
        {.title = "Second & last",
         .date = "2026-02-18 09:00:00",
         .author = "我的博客",
         .category = "技术",
         .content = "<p>第二篇 <img src=\"" + m_server.Url("/pics/photo") + "\"> <img src=\"" +
                    m_server.Url("/pics/missing.gif") + "\"></p>"}};
    const Pictures pictures = CEbookBuilder::RewriteAllPictures(articles);
    ASSERT_EQ(pictures.size(), 3u);

    CRecordingDownloads downloads;
    CPictureDownloader downloader(m_home.Context(), downloads);
    downloader.SetProxy({.mode = HttpProxy::Mode::kDirect});
    downloader.SetPause(std::chrono::milliseconds(0));
    EXPECT_TRUE(downloader.Download(pictures, nullptr));
    EXPECT_EQ(downloader.Downloaded(), 2);
    EXPECT_EQ(downloader.FailedCount(), 1);
    EXPECT_EQ(downloads.lines.front(), ">>下载图片 " + m_server.Url("/pics/red.png") + " 中...");
    EXPECT_EQ(downloads.lines[1], ">>download complete.");
    EXPECT_EQ(downloads.lines.back(), ">>下载失败!");
    EXPECT_EQ(downloads.progress, (std::vector<std::string>{"1/3", "2/3", "3/3"}));

    const std::string output = m_home.File("书 本.chm");
    CBookLog log;
    CEbookBuilder builder(m_home.Context());
    const ExportResult built = builder.Build(
        articles, {"生活", "技术"},
        {.outputPath = output, .title = "我的日志 & 随笔", .contents = EbookContents::kByCategory},
        &log);
    ASSERT_TRUE(built) << built.reason << "\n" << log.All();
    const std::string folder = Unpack(output);
    const std::string page0 = DecodeReferences(ReadAll(folder + "/0.html"));
    EXPECT_NE(page0.find("<title>春节见闻 &lt;b&gt;一&lt;/b&gt;</title>"), std::string::npos)
        << page0;
    EXPECT_NE(page0.find("鞭炮声声，𠮷野家。"), std::string::npos);
    EXPECT_NE(page0.find("<IMG SRC='images/0.png'>"), std::string::npos);
    EXPECT_NE(page0.find("href=\"#\""), std::string::npos);
    EXPECT_NE(page0.find("生活"), std::string::npos);
    const std::string page1 = DecodeReferences(ReadAll(folder + "/1.html"));
    EXPECT_NE(page1.find("Second &amp; last"), std::string::npos);
    EXPECT_NE(page1.find("src=\"images/1.jpg\""), std::string::npos);
    EXPECT_EQ(ReadAll(folder + "/images/0.png"), std::string("\x89PNG red picture", 16));
    EXPECT_EQ(ReadAll(folder + "/images/1.jpg"), "JPEG photo bytes");
    const std::string index = DecodeReferences(ReadAll(folder + "/index.html"));
    EXPECT_NE(index.find("<strong>2</strong>"), std::string::npos) << index;
    EXPECT_NE(index.find("妙笔 Quillmark"), std::string::npos);
    EXPECT_NE(index.find("<h1>我的日志 &amp; 随笔</h1>"), std::string::npos)
        << "the cover has the title";
    EXPECT_EQ(log.All().find("chmcmd, a CHM compiler"), std::string::npos) << log.All();

    // The compiler's English: warnings and errors under Chinese labels, the rest only when it
    // failed.
    std::vector<std::string> said;
    const auto say = [&](const std::string& line) { said.push_back(line); };
    const std::string printed = "chmcmd, a CHM compiler.\r\nWarning: no title in 3.html\nError: x\n";
    CEbookBuilder::SayCompilerOutput(printed, false, say);
    EXPECT_EQ(said, (std::vector<std::string>{"编译警告: no title in 3.html", "编译错误: x"}));
    said.clear();
    CEbookBuilder::SayCompilerOutput(printed, true, say);
    EXPECT_EQ(said.front(), "编译程序: chmcmd, a CHM compiler.");
    const std::string contents = CTextCodec::GbkToUtf8(ReadAll(folder + "/MyLogCHM.hhc"));
    EXPECT_NE(contents.find("value=\"春节见闻  b 一 /b \""), std::string::npos) << contents;
    EXPECT_NE(contents.find("<param name=\"Name\" value=\"技术\">"), std::string::npos);
    EXPECT_NE(contents.find("value=\"1.html\""), std::string::npos);
}

TEST_F(EbookBuildTest, FailuresSayWhy) {
    const std::vector<EbookArticle> articles{{.title = "一", .content = "x"}};
    CEbookBuilder builder(m_home.Context());
    CBookLog log;
    // No folder to write the book into: the compiler fails and its words reach the log.
    const ExportResult nowhere = builder.Build(
        articles, {}, {.outputPath = m_home.File("no/such/folder/x.chm"), .title = "T"}, &log);
    EXPECT_FALSE(nowhere);
    EXPECT_FALSE(nowhere.reason.empty());
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("no/such/folder/x.chm")));
    // A missing template.
    CFileUtil::RemoveFile(m_home.File("Data/CHMSkin/article.html"));
    const ExportResult noTemplate =
        builder.Build(articles, {}, {.outputPath = m_home.File("x.chm"), .title = "T"}, &log);
    EXPECT_FALSE(noTemplate);
    EXPECT_EQ(noTemplate.reason, "找不到模板 Data/CHMSkin/article.html");
}

TEST_F(EbookBuildTest, ACompilerThatHangsIsStopped) {
    const std::string compiler = m_home.File("hang");
    WriteAll(compiler, "#!/bin/sh\necho compiling\nexec sleep 1000\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    const std::vector<EbookArticle> articles{{.title = "一", .content = "x"}};
    const std::string output = m_home.File("hang.chm");
    CEbookBuilder builder(m_home.Context());
    CBookLog log;
    const ExportResult hung = builder.Build(articles, {},
                                            {.outputPath = output,
                                             .title = "T",
                                             .compiler = compiler,
                                             .compileTimeout = std::chrono::seconds(1)},
                                            &log);
    EXPECT_FALSE(hung);
    EXPECT_EQ(hung.reason, compiler + " 超过 1 秒没有结束");
    EXPECT_NE(log.All().find("编译程序: compiling\n>>" + compiler + " 超过 1 秒没有结束"),
              std::string::npos)
        << log.All();
    // A cancelled build stops before its compiler.
    CCancelToken cancel;
    cancel.Cancel();
    const ExportResult cancelled = builder.Build(
        articles, {}, {.outputPath = output, .title = "T", .compiler = compiler, .cancel = &cancel},
        &log);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(cancelled.reason, "已取消");
    EXPECT_FALSE(CFileUtil::Exists(output));
}

TEST_F(EbookBuildTest, ShortChinesePagesCompile) {
    // chmcmd's full-text indexer crashed on pages like these, from a plain template of a user's
    // own, while they held multibyte text.
    WriteAll(m_home.File("Data/CHMSkin/article.html"),
             "<html><head><title>$show_title$</title></head><body>$show_content$</body></html>");
    const std::vector<EbookArticle> articles{
        {.title = "第一篇", .content = "中"},
        {.title = "中", .content = "中"},
        {.title = "春节见闻 随想", .content = "中文正文，很多字。"}};
    CEbookBuilder builder(m_home.Context());
    CBookLog log;
    const ExportResult built =
        builder.Build(articles, {}, {.outputPath = m_home.File("短.chm"), .title = "短"}, &log);
    ASSERT_TRUE(built) << built.reason << "\n" << log.All();
    const std::string folder = Unpack(m_home.File("短.chm"));
    EXPECT_NE(DecodeReferences(ReadAll(folder + "/2.html")).find("中文正文，很多字。"),
              std::string::npos);
}

TEST(EbookSources, EmptySourcesAndTheFeedLimit) {
    const EbookSourceResult none = CEbookMaker::FromFeedItems({}, "频道");
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.empty);
    EXPECT_EQ(none.reason, CEbookMaker::kNoItemsText);

    EbookSourceResult many = CEbookMaker::FromFeedItems(std::vector<FeedItem>(1001), "多");
    ASSERT_TRUE(many.ok);
    EXPECT_EQ(CEbookMaker::ItemsOverLimit(many.source), 1001);
    CEbookMaker::KeepLimit(many.source);
    EXPECT_EQ(many.source.articles.size(), 1000u);
    EXPECT_EQ(CEbookMaker::ItemsOverLimit(many.source), 0);
    // A weblog folder hands over what its load gave; it is not cut again.
    EbookSource folder{.articles = std::vector<EbookArticle>(1001), .weblog = true};
    EXPECT_EQ(CEbookMaker::ItemsOverLimit(folder), 0);
}

// A directory's items are counted when it is chosen and read while the book is made: the
// channels in tree order, each newest first, the first 1,000 of them all.
TEST_F(EbookBuildTest, ADirectorysItemsAreReadWhileItsBookIsMade) {
    CFeedDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    CChannelTree tree(m_home.Context());
    ASSERT_TRUE(tree.Build());
    int directory = -1;
    ASSERT_TRUE(tree.AddDirectory(-1, "资讯", &directory));
    for (const auto& [name, count] : {std::pair{"a", 600}, std::pair{"b", 500}}) {
        int channel = -1;
        int feedId = 0;
        ASSERT_TRUE(tree.AddSubscription(directory, std::string("http://") + name + ".example/rss",
                                         name, "", &channel));
        ASSERT_TRUE(tree.GetFeedId(channel, feedId, store));
        std::vector<FeedItem> items; // newest first
        for (int n = count; n > 0; --n) {
            const std::string id = name + std::to_string(n);
            items.push_back({.title = id, .link = "http://x.example/" + id});
        }
        ASSERT_TRUE(store.SaveReceivedItems(feedId, items, StorageRule::kKeepAll, 0));
    }
    EbookSourceResult chosen = CEbookMaker::FromChannel(tree, store, directory, ItemFilter::kAll);
    ASSERT_TRUE(chosen.ok) << chosen.reason;
    EXPECT_EQ(chosen.source.suggestedTitle, "资讯");
    EXPECT_EQ(CEbookMaker::ItemsOverLimit(chosen.source), 1100);
    CEbookMaker::KeepLimit(chosen.source);

    // A compiler that only writes the file the project names (chmcmd takes long for 1,000).
    const std::string compiler = m_home.File("fake-chmcmd");
    WriteAll(compiler, "#!/bin/sh\nout=$(sed -n 's/^Compiled file=//p' \"$1\" | tr -d '\\r')\n"
                       "echo book > \"$out\"\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    CRecordingDownloads log;
    const EbookResult made = CEbookMaker::Make(
        m_home.Context(), std::move(chosen.source),
        {.build = {.outputPath = m_home.File("资讯.chm"), .title = "资讯", .compiler = compiler}},
        log);
    ASSERT_TRUE(made.made) << made.reason;
    EXPECT_EQ(made.articleCount, 1000);
    const std::string work = m_home.File("Temp/CHMTemp/");
    for (const auto& [page, title] : {std::pair{"0", "a600"}, std::pair{"599", "a1"},
                                      std::pair{"600", "b500"}, std::pair{"999", "b101"}})
        EXPECT_NE(ReadAll(work + page + ".html").find(std::string("<title>") + title + "</title>"),
                  std::string::npos)
            << page;
    EXPECT_FALSE(CFileUtil::Exists(work + "1000.html"));
}

TEST_F(EbookBuildTest, MakingABookStopsWhenCancelled) {
    // The downloads: a picture server that never answers, and a token raised while the first
    // picture is under way.
    loopback::CSilentServer silent;
    const std::string output = m_home.File("cancelled.chm");
    EbookSource source{.articles = {{.title = "一",
                                     .content = "<img src=\"" + silent.Url("/a.png") +
                                                "\"><img src=\"" + silent.Url("/b.png") + "\">"}}};
    CCancelToken cancel;
    CRecordingDownloads downloads;
    std::thread canceller([&] {
        for (int i = 0; i < 1000 && downloads.LineCount() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        cancel.Cancel();
    });
    const EbookResult stopped =
        CEbookMaker::Make(m_home.Context(), source,
                          {.build = {.outputPath = output, .title = "T", .cancel = &cancel},
                           .pictures = EbookPictures::kDownload},
                          downloads);
    canceller.join();
    EXPECT_FALSE(stopped.made);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.reason, "已取消");
    EXPECT_EQ(stopped.picturesFetched, 0);
    EXPECT_EQ(downloads.lines,
              std::vector<std::string>{">>下载图片 " + silent.Url("/a.png") + " 中..."});
    EXPECT_EQ(downloads.stages, std::vector<EbookStage>{EbookStage::kDownloading});
    EXPECT_FALSE(CFileUtil::Exists(output));

    // The compiler: one that hangs is stopped by the token, and what it left is no book.
    const std::string compiler = m_home.File("hang");
    WriteAll(compiler, "#!/bin/sh\necho started > \"" + output + "\"\nexec sleep 1000\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    CCancelToken later;
    std::thread compiling([&] {
        for (int i = 0; i < 1000 && !CFileUtil::Exists(output); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        later.Cancel();
    });
    const EbookResult killed = CEbookMaker::Make(
        m_home.Context(), source,
        {.build = {.outputPath = output, .title = "T", .compiler = compiler, .cancel = &later}},
        downloads);
    compiling.join();
    EXPECT_TRUE(killed.cancelled);
    EXPECT_EQ(killed.reason, compiler + " 已取消");
    EXPECT_FALSE(CFileUtil::Exists(output));
}

} // namespace

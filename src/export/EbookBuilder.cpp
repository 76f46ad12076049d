#include "export/EbookBuilder.h"

#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"
#include "platform/process/ProgramRunner.h"
#include "platform/text/ReasonText.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifndef QUILL_VERSION
#define QUILL_VERSION "0"
#endif

namespace {

constexpr const char* kProgramName = "妙笔 Quillmark";
constexpr const char* kProductAddress = "https://quillmark.org";
constexpr const char* kProjectName = "MyLogCHM.hhp";
constexpr const char* kContentsName = "MyLogCHM.hhc";

std::string LocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

// The extension of a picture's file: from the first "." after the address's last "/" to its
// end, ".jpg" when there is none.
std::string PictureExtension(const std::string& source) {
    const size_t slash = source.rfind('/');
    const size_t dot = source.find('.', slash == std::string::npos ? 0 : slash);
    return dot == std::string::npos ? ".jpg" : source.substr(dot);
}

std::string HtmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// The byte form of the working files: GBK, with a character GBK lacks as a reference.
std::string Gbk(const std::string& utf8) {
    return CTextCodec::Utf8ToGbk(utf8, true);
}

} // namespace

void CEbookBuilder::RewritePictures(std::string& content, std::vector<EbookPicture>& pictures) {
    std::string lower = content;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<size_t> found; // positions in the list of this article's pictures
    size_t from = 0;
    for (;;) {
        const size_t tag = lower.find("<img", from);
        if (tag == std::string::npos)
            break;
        const size_t end = lower.find('>', tag);
        if (end == std::string::npos)
            break;
        const size_t src = lower.find(" src=", tag);
        if (src != std::string::npos && src < end) {
            const size_t valueStart = src + 5;
            const size_t space = lower.find(' ', valueStart);
            const size_t valueEnd = space != std::string::npos && space < end ? space : end;
            std::string value = content.substr(valueStart, valueEnd - valueStart);
            std::erase(value, '"');
            std::erase(value, '\'');
            if (!value.empty() && value.back() == '/')
                value.pop_back();
            if (!value.empty()) {
                auto it = std::find_if(pictures.begin(), pictures.end(),
                                       [&](const EbookPicture& p) { return p.source == value; });
                size_t k = static_cast<size_t>(it - pictures.begin());
                if (it == pictures.end()) {
                    pictures.push_back(
                        {.source = value,
                         .localName = "images/" + std::to_string(k) + PictureExtension(value)});
                }
                if (std::find(found.begin(), found.end(), k) == found.end())
                    found.push_back(k);
            }
        }
        from = end + 1;
    }
    for (size_t k : found)
        ReplaceAll(content, pictures[k].source, pictures[k].localName);
}

std::vector<EbookPicture> CEbookBuilder::RewriteAllPictures(std::vector<EbookArticle>& articles) {
    std::vector<EbookPicture> pictures;
    for (EbookArticle& article : articles)
        RewritePictures(article.content, pictures);
    return pictures;
}

std::string CEbookBuilder::PictureFilePath(const CAppContext& context,
                                           const EbookPicture& picture) {
    std::string name = picture.localName;
    std::replace(name.begin(), name.end(), '/', '\\');
    return context.FilePath("Temp\\CHMTemp\\" + name);
}

std::string CEbookBuilder::ContentsTitle(const std::string& title) {
    std::string out = title;
    std::replace(out.begin(), out.end(), '"', '\'');
    std::replace(out.begin(), out.end(), '<', ' ');
    std::replace(out.begin(), out.end(), '>', ' ');
    return out;
}

std::string CEbookBuilder::BuildContents(const std::vector<EbookArticle>& articles,
                                         const std::vector<std::string>& categories,
                                         EbookContents contents) {
    std::string text;
    const auto line = [&](const std::string& l) { text += l + "\r\n"; };
    for (const char* l :
         {"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">", "<HTML>", "<HEAD>",
          "<meta name=\"GENERATOR\" content=\"Microsoft HTML Help Workshop 4.1\">",
          "<!-- Sitemap 1.0 -->", "</HEAD><BODY>", "<OBJECT type=\"text/site properties\">",
          "<param name=\"ImageType\" value=\"Folder\">", "</OBJECT>", "<UL>"})
        line(l);
    const auto entry = [&](size_t i) {
        line("    <LI> <OBJECT type=\"text/sitemap\">");
        line("    <param name=\"Name\" value=\"" + ContentsTitle(articles[i].title) + "\">");
        line("    <param name=\"Local\" value=\"" + std::to_string(i) + ".html\">");
        line("    </OBJECT>");
    };
    if (contents == EbookContents::kByCategory && !categories.empty()) {
        for (const std::string& category : categories) {
            line(" <LI> <OBJECT type=\"text/sitemap\">");
            line(" <param name=\"Name\" value=\"" + category + "\">");
            line(" <param name=\"ImageNumber\" value=\"1\">");
            line(" </OBJECT>");
            line("  <UL>");
            for (size_t i = 0; i < articles.size(); ++i) {
                if (articles[i].category == category)
                    entry(i);
            }
            line("  </UL>");
        }
    } else {
        for (size_t i = 0; i < articles.size(); ++i)
            entry(i);
    }
    line("</UL>");
    line("</BODY></HTML>");
    return text;
}

std::string CEbookBuilder::BuildProject(const EbookOptions& options, int articleCount) {
    std::string text;
    const auto line = [&](const std::string& l) { text += l + "\r\n"; };
    line("[OPTIONS]");
    line("Compatibility=1.1 or later");
    line("Compiled file=" + options.outputPath);
    line(std::string("Contents file=") + kContentsName);
    line("Default Window=default");
    line("Default topic=index.html");
    line("Display compile progress=No");
    line("Full-text search=Yes");
    line("Language=0x804 中文(中国)");
    line("Title=" + options.title);
    line("[WINDOWS]");
    line("default=\"" + options.title + "\",\"" + kContentsName +
         "\",,\"index.html\",\"index.html\",,,,,0x60420,,0x300c,[0,0,850,600],,,,,,,0");
    line("[FILES]");
    for (int i = 0; i < articleCount; ++i)
        line(std::to_string(i) + ".html");
    line("[INFOTYPES]");
    return text;
}

std::string CEbookBuilder::AsciiHtml(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 2);
    size_t pos = 0;
    while (pos < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        const char32_t cp = CTextCodec::NextCodePoint(utf8, pos);
        out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
    }
    return out;
}

std::string CEbookBuilder::DefaultFileName() {
    return "我的日志 " + LocalTime("%Y-%m-%d %H%M%S");
}

std::string CEbookBuilder::WorkFolder(const CAppContext& context) {
    return context.FilePath("Temp\\CHMTemp");
}

std::chrono::seconds CEbookBuilder::CompileTimeLimit(int articleCount) {
    return std::chrono::seconds(600 + 60 * (std::max(articleCount, 0) / 1000));
}

ExportResult CEbookBuilder::Build(const std::vector<EbookArticle>& articles,
                                  const std::vector<std::string>& categories,
                                  const EbookOptions& options, CEbookLog* log) {
    const auto say = [&](const std::string& text) {
        if (log)
            log->OnLogLine(text);
    };
    // The reason ends the log too.
    const auto fail = [&](std::string reason) {
        say(">>" + reason);
        return ExportResult::Failed(std::move(reason));
    };
    std::error_code ec;
    const std::string output = std::filesystem::absolute(options.outputPath, ec).string();
    const std::string folder = WorkFolder(m_context);
    // 1. The working folders; files of earlier books stay.
    if (!CFileUtil::CreateDirectories(folder + "/images"))
        return fail(folder + "/images: " + CFileUtil::LastErrorText());
    // 2. The contents, 3. the project.
    say(">>生成目录文件 " + std::string(kContentsName));
    if (!CFileUtil::WriteFile(folder + "/" + kContentsName,
                              Gbk(BuildContents(articles, categories, options.contents))))
        return fail(std::string(kContentsName) + ": " + CFileUtil::LastErrorText());
    EbookOptions project = options;
    // The path in the bytes the file system knows (the rest of the project is GBK).
    const std::string marker = "\x01output\x01";
    project.outputPath = marker;
    std::string projectText = CTextCodec::Utf8ToGbk(BuildProject(project, int(articles.size())));
    ReplaceAll(projectText, marker, output);
    if (!CFileUtil::WriteFile(folder + "/" + kProjectName, projectText))
        return fail(std::string(kProjectName) + ": " + CFileUtil::LastErrorText());
    // 4. The index page.
    std::string index;
    if (!CFileUtil::ReadFile(m_context.FilePath("Data\\CHMSkin\\index.html"), index))
        return fail("找不到模板 Data/CHMSkin/index.html");
    // The cover carries the title the user gave the book; templates made before it existed name
    // the program instead.
    ReplaceAll(index, "$show_booktitle$", HtmlText(options.title));
    ReplaceAll(index, "$show_appname$", kProgramName);
    ReplaceAll(index, "$show_description$",
               std::string("<a href=\"") + kProductAddress + "/\" target=\"_blank\">" +
                   kProgramName + " " + QUILL_VERSION + "</a>");
    ReplaceAll(index, "$show_totalarticlenum$", std::to_string(articles.size()));
    ReplaceAll(index, "$show_builddate$", LocalTime("%Y-%m-%d %H:%M:00"));
    if (!CFileUtil::WriteFile(folder + "/index.html", AsciiHtml(index)))
        return fail("index.html: " + CFileUtil::LastErrorText());
    std::string css;
    if (!CFileUtil::ReadFile(m_context.FilePath("Data\\CHMSkin\\index.css"), css) ||
        !CFileUtil::WriteFile(folder + "/index.css", css))
        return fail("Data/CHMSkin/index.css: " + CFileUtil::LastErrorText());
    // 5. The article pages.
    std::string page;
    if (!CFileUtil::ReadFile(m_context.FilePath("Data\\CHMSkin\\article.html"), page))
        return fail("找不到模板 Data/CHMSkin/article.html");
    say(">>生成 " + std::to_string(articles.size()) + " 篇文章的页面");
    for (size_t i = 0; i < articles.size(); ++i) {
        if (options.cancel && options.cancel->IsCancelled())
            return fail(CReasonText::Text(Reason::kCancelled));
        const EbookArticle& article = articles[i];
        std::string text = page;
        ReplaceAll(text, "$show_title$", HtmlText(article.title));
        ReplaceAll(text, "$show_link$", article.link.empty() ? "#" : HtmlText(article.link));
        ReplaceAll(text, "$show_date$", HtmlText(article.date));
        ReplaceAll(text, "$show_author$", HtmlText(article.author));
        ReplaceAll(text, "$show_category$", HtmlText(article.category));
        ReplaceAll(text, "$show_content$", article.content);
        const std::string name = std::to_string(i) + ".html";
        if (!CFileUtil::WriteFile(folder + "/" + name, AsciiHtml(text)))
            return fail(name + ": " + CFileUtil::LastErrorText());
    }
    if (!CFileUtil::ReadFile(m_context.FilePath("Data\\CHMSkin\\article.css"), css) ||
        !CFileUtil::WriteFile(folder + "/article.css", css))
        return fail("Data/CHMSkin/article.css: " + CFileUtil::LastErrorText());
    // 6., 7. Compile, in the working folder (the compiler finds the pages beside the project).
    say(">>编译 " + std::string(kProjectName));
    const std::chrono::seconds limit = options.compileTimeout.count() > 0
                                           ? options.compileTimeout
                                           : CompileTimeLimit(static_cast<int>(articles.size()));
    const ProgramResult result = CProgramRunner::Run(options.compiler, {kProjectName}, folder,
                                                     {.cancel = options.cancel, .timeout = limit});
    SayCompilerOutput(result.output, !result.Succeeded(), say);
    if (result.stopped != ProgramStop::kNone) {
        // What a killed compiler left is no book.
        if (result.started)
            std::filesystem::remove(output, ec);
        return fail(result.error);
    }
    if (!result.started)
        return fail(result.error + " (请安装 fp-utils)");
    std::uintmax_t size = std::filesystem::file_size(output, ec);
    if (!result.Succeeded() || ec || size == 0) {
        if (!ec && size == 0)
            std::filesystem::remove(output, ec);
        std::string why = result.signal
                              ? "编译程序异常退出 (信号 " + std::to_string(result.signal) + ")"
                              : "编译程序退出码 " + std::to_string(result.exitCode);
        if (result.Succeeded())
            why = "没有生成文件 " + output;
        return fail(why);
    }
    say(">>" + output + " (" + std::to_string(size) + " 字节)");
    return ExportResult::Done();
}

void CEbookBuilder::SayCompilerOutput(const std::string& output, bool failed,
                                      const std::function<void(const std::string&)>& say) {
    // chmcmd speaks English: its banner and its progress tell nothing the log does not, so only
    // its warnings and errors are passed on, under Chinese labels; when it failed, every line
    // is, as the detail of the failure.
    static constexpr std::pair<const char*, const char*> kLabels[] = {
        {"Error", "编译错误: "}, {"Warning", "编译警告: "}, {"Hint", "编译提示: "}};
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        line = CTextCodec::ToUtf8Lenient(line);
        bool labelled = false;
        for (const auto& [word, label] : kLabels) {
            if (line.rfind(word, 0) == 0) {
                size_t text = line.find_first_not_of(": ", std::strlen(word));
                say(label + (text == std::string::npos ? std::string() : line.substr(text)));
                labelled = true;
                break;
            }
        }
        if (!labelled && failed)
            say("编译程序: " + line);
    }
}

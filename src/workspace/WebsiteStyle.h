#pragma once

#include "platform/http/CancelToken.h"
#include "platform/http/HttpClient.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A weblog's own page made into a template for the editor's preview, or why it could not be.
struct SiteTemplate {
    bool ok = false;
    std::string reason;  // why there is no template ("" when ok)
    std::string html;    // the template (see CWebsiteStyle), UTF-8
    std::string pageUrl; // the page it was made of, after redirects
};

class CAppContext;

// What CWebsiteStyle works with; every field has a default from the program directory.
struct WebsiteStyleSetup {
    std::string cacheFolder;        // FolderOf(the program directory) unless given
    std::optional<HttpProxy> proxy; // the program's proxy settings unless given
    std::string caFile;             // certificates to trust instead of the system's (tests)
};

// The 网站样式 preview of the editor: the article shown inside the weblog's own home page.
//
// The home page is read once (on a worker: Fetch blocks) and turned into a template:
//  - the head keeps only the page's style sheets (<link rel="stylesheet"> with its address made
//    absolute, and <style>), its title, a <meta charset> and a <base> of the page's address, so
//    that the relative addresses of the body still lead to the site;
//  - the body stays as the site wrote it, less everything that could run: <script>, <noscript>,
//    frames, plug-ins, <meta>, <base>, comments, on* attributes and script addresses
//    (javascript:, vbscript:, data: other than pictures, file:);
//  - the first post's content element is emptied and holds the article's placeholder, its title
//    element the title's. The content element is the first element, in page order, of the first
//    of these rules that finds one:
//      1. class "entry-content"      (WordPress, and the themes that follow its markup; Blogger)
//      2. class "post-content"       (Ghost, Jekyll, Hugo themes)
//      3. class "post-body"          (Blogger's classic templates)
//      4. class "article-content"
//      5. itemprop "articleBody"     (schema.org markup)
//      6. class "content" inside an <article>
//      7. the first <article> itself: what follows its title (or all of it, without a title) is
//         replaced, and a title without a title element goes in an <h2> at its start.
//    The title element is searched in the post around the content (the nearest <article>, or
//    element of class "post", "hentry", "type-post" or "blog-post"; else the content's parent),
//    before the content: class "entry-title", "post-title", "article-title", itemprop
//    "headline", then the first <h1>, <h2> or <h3>. A link in it keeps its look and loses its
//    address.
// The template is kept per account in the cache folder (written atomically) with the address it
// was read from, so that the next editor shows it without reading the site again; Fetch reads
// the site again on demand.
//
// The article itself is put in as it is (the editor shows the writer's own HTML, as the main
// window's preview does); the window shows the page with scripts off.
class CWebsiteStyle {
public:
    // The defaults of the setup come from the context's program directory.
    explicit CWebsiteStyle(const CAppContext& context, WebsiteStyleSetup setup = {});

    // The weblog address of the account (its blogurl) when it is an http or https address;
    // "" when the account has none.
    static std::string HomeAddressOf(const CAppContext& context, const std::string& account);

    // The template kept for the account, when it was made from this address.
    bool LoadCached(const std::string& account, const std::string& homeUrl,
                    std::string& templateHtml) const;
    // Reads the home page, makes its template and keeps it for the account. Blocks; the cancel
    // token ends the transfer. Fails with the reason when the page cannot be read (no network,
    // an HTTP error, too large, not HTML), has no post, or the template cannot be kept.
    SiteTemplate Fetch(const std::string& account, const std::string& homeUrl,
                       const CCancelToken* cancel);

    // The template of a page (UTF-8 text) read from pageUrl; sourceUrl is the address asked for
    // (kept in the template to recognise it later).
    static SiteTemplate MakeTemplate(std::string_view pageUtf8, const std::string& pageUrl,
                                     const std::string& sourceUrl);
    // The template with the article in it: the title (plain text) and the content (HTML).
    static std::string Fill(std::string_view templateHtml, std::string_view title,
                            std::string_view contentHtml);
    // The address a template was made for ("" when it names none).
    static std::string SourceOf(std::string_view templateHtml);

    // The cache folder of a program directory: Storage/SiteStyle.
    static std::string FolderOf(const CAppContext& context);

    static constexpr std::size_t kMaxPageBytes = 2u << 20;
    static constexpr long kTimeoutMs = 20000;
    static constexpr const char* kTitleMark = "<!--quillmark:title-->";
    static constexpr const char* kArticleMark = "<!--quillmark:article-->";
    static constexpr const char* kNoPostText =
        "首页中找不到文章的正文 (没有 entry-content、post-content、post-body 或 <article> 元素)";

private:
    std::string FileFor(const std::string& account) const;

    std::string m_folder;
    HttpProxy m_proxy;
    std::string m_caFile;
};

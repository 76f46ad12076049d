#pragma once

#include <string>
#include <string_view>
#include <vector>

// Markdown as the editor writes it: GitHub's dialect (cmark-gfm with tables, strike-through and
// autolinks). HTML written inside the Markdown passes through, as Markdown means it to: the
// article is the writer's own.
class CMarkdownHtml {
public:
    // The HTML a post of this Markdown holds. A link or picture to a script address (see
    // IsScriptAddress) gets an empty address.
    static std::string ToHtml(std::string_view markdown);
    // javascript:, vbscript:, file: and data: other than a picture.
    static bool IsScriptAddress(std::string_view url);
    // The HTML the editor's preview shows: as ToHtml, but pictures kept with the draft
    // (file:// addresses, uploaded when it is published) are shown.
    static std::string PreviewHtml(std::string_view markdown);
    // The addresses of the Markdown's pictures, as written, in order.
    static std::vector<std::string> PictureAddresses(std::string_view markdown);

    // The Markdown that gives the same HTML as a post's HTML (the rich text's), when there is
    // one: false with the reason, naming what would be lost, when the HTML holds markup that
    // Markdown cannot write (underline, colours, alignment, a table without a header row...),
    // or when the Markdown would not give it back as it was.
    static bool FromHtml(std::string_view html, std::string& markdown, std::string& reason);
};

#pragma once

// How an article is written: in the rich text editor, or in Markdown (its source is kept
// beside the article, and the HTML is made from it).
enum class EditorFormat { kRich, kMarkdown };

// The RSS backup import (a backup file of ours, or an engine's RSS 2.0 or Atom export): the
// file is read, and whatever it gives is written as a backup again and read back, which must
// give as many articles (an exported file can always be imported).

#include "FuzzSupport.h"
#include "export/ArticleBackup.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string g_input;
std::string g_output;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string home = SetUpFuzzProcess();
    g_input = home + "/input.xml";
    g_output = home + "/backup.xml";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(g_input.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CArticleBackup backup;
    std::vector<ArticleRecord> articles;
    if (!backup.ImportBackup(g_input, articles))
        return 0;
    if (!backup.ExportBackup(g_output, articles))
        std::abort(); // what was read can always be written
    std::vector<ArticleRecord> again;
    if (!backup.ImportBackup(g_output, again) || again.size() != articles.size())
        std::abort();
    return 0;
}

// The editor's hand-off reader: any bytes as Temp/subprocess.xml. What it accepts, written out
// again, must read back with the same task, numbers and accounts.

#include "FuzzSupport.h"
#include "workspace/EditorHandOff.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string home = SetUpFuzzProcess();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string reason;
    const std::optional<EditorHandOff> read = CEditorHandOff::Parse(text, &reason);
    if (!read) {
        if (reason.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const std::optional<EditorHandOff> again =
        CEditorHandOff::Parse(CEditorHandOff::Format(*read), &reason);
    if (!again || again->task != read->task || again->index != read->index ||
        again->publishFolderTreeId != read->publishFolderTreeId ||
        again->draftFolderTreeId != read->draftFolderTreeId ||
        again->accounts.size() != read->accounts.size())
        std::abort();
    for (size_t i = 0; i < read->accounts.size(); ++i) {
        if (again->accounts[i].treeId != read->accounts[i].treeId)
            std::abort();
    }
    return 0;
}

#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

class CAppContext;

// The pictures of drafts. A picture put into an article is checked and copied into the program
// directory (Storage/Pictures, named by its content, so the same picture is kept once) and the
// article points at the copy with a file:// address: the draft shows it and survives the
// original file being moved or deleted. Publishing uploads each local picture once and puts the
// server's addresses in their place.
class CDraftPictures {
public:
    // folder: where the copies are kept (FolderOf a program directory).
    explicit CDraftPictures(std::string folder);

    // Checks the picture file and keeps a copy; gives the copy's file:// address. False with a
    // reason naming the file when it cannot be read, is not a picture (by its first bytes, see
    // CMediaFile) or is larger than an upload may be.
    bool KeepFile(const std::string& path, std::string& address, std::string& reason) const;
    // The same for a picture's bytes (pasted or dropped); name names it in a reason.
    bool KeepBytes(std::string_view bytes, const std::string& name, std::string& address,
                   std::string& reason) const;

    // Whether the file:// address names a picture kept here (not a file elsewhere, also not
    // through "..", a link or a folder).
    bool Holds(const std::string& address) const;

    // The file:// addresses of the pictures (img src) of the HTML, each once, in order.
    static std::vector<std::string> LocalPictures(const std::string& html);
    // The HTML with each address of the map in an img src replaced by its server address.
    static std::string ReplaceAddresses(const std::string& html,
                                        const std::map<std::string, std::string>& urls);
    // The local path of a file:// address ("" when it is not one) and the reverse.
    static std::string FilePath(const std::string& address);
    static std::string FileAddress(const std::string& path);

    // The folder of a program directory: Storage/Pictures.
    static std::string FolderOf(const CAppContext& context);
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
};

#pragma once
// The folder trees the librarian menus show: top nodes, second and third levels. Nodes only
// arrange banks for display; they never own a PatchFile.
#include <string>
#include <vector>

struct PatchFile;

struct SubFolderFiles2 {
    std::string name;
    std::vector<PatchFile*> files;
};

struct SubFolderFiles {
    std::string name;
    std::vector<SubFolderFiles2> subFolders;
    std::vector<PatchFile*> files;
};

struct FolderFiles {
    std::string name;
    std::vector<SubFolderFiles> subFolders;
    std::vector<PatchFile*> files;

    FolderFiles() = default;
    // A top node holding one second-level node, as the category tree makes them.
    FolderFiles(const std::string& topName, const SubFolderFiles& first) : name(topName), subFolders{first} {}
};

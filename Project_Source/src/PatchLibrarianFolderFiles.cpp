// Files each loaded bank into the folder tree of its kind, by the folder that holds it.
#include "PatchLibrarian.h"

namespace {

void fileIntoTree(std::vector<FolderFiles*>& tree, PatchFile* file)
{
    if (!file) return;
    const std::vector<std::string>& names = file->folderNames;
    const size_t n = names.size();
    const std::string& key = file->folderName;

    FolderFiles* chain = new FolderFiles;
    if (n == 1) {
        chain->name = names[0];
        chain->files.push_back(file);
    } else if (n == 2 || n == 3) {
        SubFolderFiles second;
        second.name = names[1];
        if (n == 2) {
            second.files.push_back(file);
        } else {
            SubFolderFiles2 third;
            third.name = names[2];
            third.files.push_back(file);
            second.subFolders.push_back(third);
        }
        chain->subFolders.push_back(second);
    }
    if (tree.empty()) {
        tree.push_back(chain);
        return;
    }

    // Every node of the holding folder's name at its level receives the bank.
    bool found = false;
    for (FolderFiles* top : tree) {
        if (n == 1 && top->name == key) {
            top->files.push_back(file);
            found = true;
        }
        if (n != 2 && n != 3) continue;
        for (SubFolderFiles& second : top->subFolders) {
            if (n == 2 && second.name == key) {
                second.files.push_back(file);
                found = true;
            }
            if (n != 3) continue;
            for (SubFolderFiles2& third : second.subFolders) {
                if (third.name == key) {
                    third.files.push_back(file);
                    found = true;
                }
            }
        }
    }
    if (found) delete chain;
    else tree.push_back(chain);
}

} // namespace

void PatchLibrarian::createSingleFolderFilesStructure(PatchFile* file) { fileIntoTree(singleFolders, file); }
void PatchLibrarian::createMultiFolderFilesStructure(PatchFile* file) { fileIntoTree(multiFolders, file); }
void PatchLibrarian::createPatternFolderFilesStructure(PatchFile* file) { fileIntoTree(patternFolders, file); }

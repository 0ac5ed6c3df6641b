#pragma once

#include <functional>
#include <string>
#include <vector>

// Where the game's pictures and sample level are looked for. A folder is "" for the working
// folder, so a file found there is opened by its bare name, exactly as when the game read
// only from the working folder.

// The working folder, then dataFromBin taken from exeFolder (the installed data folder),
// then exeFolder itself (the build folder, which holds copies). An empty exeFolder leaves
// only the working folder.
std::vector<std::string> SearchFolders(const std::string& exeFolder, const std::string& dataFromBin);

// The folders of this run: SearchFolders for the running executable and the data folder the
// build was told about.
const std::vector<std::string>& GameFolders();

// True when something named path is there, whatever it is: a file there that cannot be
// read must be reported, not passed over for a copy further down the list.
bool IsPresent(const std::string& path);

// Path of name in the first folder that has it, or "" when none does.
std::string FindInFolders(const std::string& name, const std::vector<std::string>& folders,
                          const std::function<bool(const std::string&)>& present = IsPresent);

// name in the first of GameFolders() that has it; the bare name (the working folder's) when
// none does.
std::string FindGameFile(const std::string& name);

// name inside folder, as it is opened.
std::string PathIn(const std::string& folder, const std::string& name);

// path as a person reads it: one in the working folder by its full path.
std::string ShownPath(const std::string& path);

// The folders as a person reads them: the working folder by its full path, each folder
// once, "a, b and c".
std::string DescribeFolders(const std::vector<std::string>& folders);

#include "input/FileSearch.h"
#include "input/InputList.h"

namespace tessaro {

void AddFolderToList(FolderScanHost& host, InputList& list, MessagePump& pump)
{
    std::string folder;
    const bool chosen = host.chooseFolder("选择一个文件夹:", folder);

    // The hint panel shows the search caption even when the chooser was
    // cancelled; nothing brings the earlier caption back.
    host.showHint("搜索文件...");
    list.setHintVisible(true);

    if (chosen && !folder.empty()) {
        std::vector<std::string> lstAddFolder;
        SearchFolder(folder, lstAddFolder, pump);
        for (const std::string& path : lstAddFolder)
            list.append(path, InputList::Source::Scan);
    }
    list.updateHint();
}

}  // namespace tessaro

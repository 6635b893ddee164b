#include "shared/pages/work_folder.h"

#include "platform/fs/program_folder.h"

namespace tv::pages {

std::filesystem::path WorkFolder() { return plat::fs::privateFolder(kWorkFolderName); }

}  // namespace tv::pages
